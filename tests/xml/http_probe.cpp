// Reads one URL with the backend's HTTP client and prints what it got: for
// the tests that start it with a fake libcurl first on the library path.
#include <chrono>
#include <cstdio>

#include "xml/libxml/libxml_http.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const tarnweld::Result<std::string> body = tarnweld::xml::httpGet(argv[1], std::chrono::seconds(1), 1024);
  std::fputs(body ? "read" : body.reason().c_str(), stdout);
  return 0;
}
