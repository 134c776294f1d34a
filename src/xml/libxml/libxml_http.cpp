#include "xml/libxml/libxml_http.h"

// Only the types and constants: the functions are found at run time.
#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/posix/shared_library.h"
#include "xml/libxml/libxml_resources.h"

namespace tarnweld::xml {
namespace {

constexpr char kCurlLibrary[] = "libcurl.so.4";
constexpr long kMaxRedirects = 5;
// Only these are read, first or after a redirect: never file:, ftp: and the rest.
constexpr char kProtocols[] = "http,https";
constexpr long kHttpNotFound = 404;
constexpr long kHttpGone = 410;

constexpr std::string_view kTimeoutReason = "the server did not answer in full within the time allowed";
constexpr std::string_view kUnreachableReason = "the server cannot be reached";
constexpr std::string_view kTooLargeReason = "the answer is larger than the limit";
constexpr std::string_view kRedirectsReason = "the server redirects too often";
constexpr std::string_view kSchemeReason = "it redirects to a URI scheme that is not read";
constexpr std::string_view kMalformedReason = "it is not a valid URI";
constexpr std::string_view kEscapedControlReason = "its name holds an escaped control character";
constexpr std::string_view kCertificateReason = "the server's certificate is not trusted";
constexpr std::string_view kSecureReason = "no secure connection to the server could be made";
// A machine without the ca-certificates package has nothing to check any
// server against: the way out is to install it, not to look at the server.
constexpr std::string_view kNoAuthoritiesReason =
    "no certificate authorities are installed on this machine to check the server's certificate against";
constexpr std::string_view kNoLibraryReason = "the HTTP library (libcurl) is not installed";

// The libcurl functions the client calls, found once per process.
struct Curl {
  posix::SharedLibrary library;
  decltype(&curl_global_init) globalInit = nullptr;
  decltype(&curl_easy_init) init = nullptr;
  decltype(&curl_easy_setopt) setopt = nullptr;
  decltype(&curl_easy_perform) perform = nullptr;
  decltype(&curl_easy_getinfo) getinfo = nullptr;
  decltype(&curl_easy_cleanup) cleanup = nullptr;
};

Result<Curl> loadCurl() {
  Result<posix::SharedLibrary> library = posix::openSharedLibrary(kCurlLibrary);
  if (!library) return fail(std::string(kNoLibraryReason));
  Curl curl;
  curl.library = std::move(*library);
  bool found = true;
  const auto find = [&](auto& function, const char* name) {
    auto symbol = posix::functionOf<std::remove_reference_t<decltype(function)>>(curl.library, name);
    if (symbol) function = *symbol;
    found = found && symbol.ok();
  };
  find(curl.globalInit, "curl_global_init");
  find(curl.init, "curl_easy_init");
  find(curl.setopt, "curl_easy_setopt");
  find(curl.perform, "curl_easy_perform");
  find(curl.getinfo, "curl_easy_getinfo");
  find(curl.cleanup, "curl_easy_cleanup");
  if (!found || curl.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) return fail(std::string(kNoLibraryReason));
  return curl;
}

// Loaded on the first read and kept to the end of the process, as libcurl's
// global state must be.
const Result<Curl>& curl() {
  static const Result<Curl> loaded = loadCurl();
  return loaded;
}

std::mutex authoritiesMutex;
std::string testAuthorities;

std::string certificateAuthorities() {
  const std::lock_guard lock(authoritiesMutex);
  return testAuthorities;
}

// The body as it arrives, refused once it would pass the limit.
struct Body {
  std::string bytes;
  std::size_t maxBytes = 0;
  bool tooLarge = false;

  static std::size_t write(char* data, std::size_t size, std::size_t count, void* context) {
    auto* body = static_cast<Body*>(context);
    const std::size_t length = size * count;
    if (length > body->maxBytes - body->bytes.size()) {
      body->tooLarge = true;
      return 0;  // libcurl ends the transfer with a write error
    }
    try {
      body->bytes.append(data, length);
    } catch (...) {
      return 0;
    }
    return length;
  }
};

std::string reasonFor(CURLcode code, long status, const Body& body) {
  if (body.tooLarge) return std::string(kTooLargeReason);
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
      return std::string(kTimeoutReason);
    case CURLE_FILESIZE_EXCEEDED:
      return std::string(kTooLargeReason);
    case CURLE_TOO_MANY_REDIRECTS:
      return std::string(kRedirectsReason);
    case CURLE_UNSUPPORTED_PROTOCOL:
      return std::string(kSchemeReason);
    case CURLE_URL_MALFORMAT:
      return std::string(kMalformedReason);
    case CURLE_PEER_FAILED_VERIFICATION:
      return std::string(kCertificateReason);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
      return std::string(kSecureReason);
    case CURLE_SSL_CACERT_BADFILE:
      return std::string(kNoAuthoritiesReason);
    case CURLE_HTTP_RETURNED_ERROR:
      return "the server answered with status " + std::to_string(status);
    default:
      return std::string(kUnreachableReason);
  }
}

}  // namespace

Result<std::string> httpGet(const std::string& uri, std::chrono::steady_clock::duration deadline,
                            std::size_t maxBytes) {
  // libcurl would unescape "%00" in a host and cut the name there.
  if (holdsEscapedControl(uri)) return fail(std::string(kEscapedControlReason));
  const Result<Curl>& loaded = curl();
  if (!loaded) return loaded.failure();
  const Curl& api = *loaded;
  const std::unique_ptr<CURL, decltype(api.cleanup)> handle(api.init(), api.cleanup);
  if (!handle) return fail(std::string(kUnreachableReason));
  CURL* easy = handle.get();

  const long milliseconds =
      std::max<long>(1, static_cast<long>(std::chrono::ceil<std::chrono::milliseconds>(deadline).count()));
  const std::string authorities = certificateAuthorities();
  Body body;
  body.maxBytes = maxBytes;
  // Every setting the read relies on is set here, not left to libcurl's
  // defaults: one deadline over the whole read (the threaded resolver keeps
  // name resolution inside it), no signals, counted redirects, the cap, and
  // https checked against the system's certificate authorities.
  const bool set = api.setopt(easy, CURLOPT_URL, uri.c_str()) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_PROTOCOLS_STR, kProtocols) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, kProtocols) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_TIMEOUT_MS, milliseconds) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_FAILONERROR, 1L) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes)) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_WRITEFUNCTION, &Body::write) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_WRITEDATA, &body) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED)) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
                   (authorities.empty() || (api.setopt(easy, CURLOPT_CAINFO, authorities.c_str()) == CURLE_OK &&
                                            api.setopt(easy, CURLOPT_CAPATH, nullptr) == CURLE_OK));
  if (!set) return fail(std::string(kUnreachableReason));
  // Without it, a read whose deadline passed while the resolver thread was
  // still asking would wait for that thread (up to the resolver's own 30 s
  // and more); with it the thread is left to end on its own. libcurl before
  // 7.87 does not know it, and then waits as before.
  static_cast<void>(api.setopt(easy, CURLOPT_QUICK_EXIT, 1L));

  const CURLcode code = api.perform(easy);
  long status = 0;
  if (api.getinfo(easy, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) status = 0;
  if (code == CURLE_OK && status >= 200 && status <= 299) return std::move(body.bytes);
  const FailureKind kind =
      status == kHttpNotFound || status == kHttpGone ? FailureKind::kNotFound : FailureKind::kOther;
  if (code == CURLE_OK) return fail("the server answered with status " + std::to_string(status), kind);
  return fail(reasonFor(code, status, body), kind);
}

void useCertificateAuthoritiesForTests(const std::string& pemFile) {
  const std::lock_guard lock(authoritiesMutex);
  testAuthorities = pemFile;
}

}  // namespace tarnweld::xml
