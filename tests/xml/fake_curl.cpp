// A stand-in for libcurl, for the tests that run the HTTP client in a child
// process with it first on the library path: built lacking
// curl_easy_perform, or with a curl_global_init that fails.
#include <cstdarg>

extern "C" {

int curl_global_init(long) {
#ifdef TARNWELD_FAKE_CURL_INIT_FAILS
  return 2;  // CURLE_FAILED_INIT
#else
  return 0;
#endif
}
void* curl_easy_init() {
  static int handle;
  return &handle;
}
int curl_easy_setopt(void*, int, ...) { return 0; }
int curl_easy_getinfo(void*, int, ...) { return 0; }
void curl_easy_cleanup(void*) {}
#ifdef TARNWELD_FAKE_CURL_INIT_FAILS
int curl_easy_perform(void*) { return 0; }
#endif
}
