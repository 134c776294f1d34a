#include "xml/libxml/libxml_http.h"

// Only the types and constants: the functions are found at run time.
#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>
// Only the names of the certificate checks libcurl reports as failed.
#include <openssl/x509_vfy.h>

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
constexpr std::string_view kExpiredReason = "the server's certificate has expired or is not yet valid";
constexpr std::string_view kOtherHostReason = "the server's certificate is for another host name";
constexpr std::string_view kUnknownAuthorityReason =
    "the server's certificate is not signed by an authority this machine trusts";
constexpr std::string_view kWeakReason = "the server's certificate has a key or signature too weak to trust";
constexpr std::string_view kNotHttpReason = "the server's answer is not HTTP";
constexpr std::string_view kCutShortReason = "the server's answer ended before its stated length";
constexpr std::string_view kNoAnswerReason = "the server closed the connection without an answer";
constexpr std::string_view kTlsOnlyReason = "the server speaks only https, not http";
constexpr std::string_view kProxyRefusedReason = "the proxy refused the connection with status ";
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

// Which check of the server's certificate failed, as OpenSSL reports it.
std::string certificateReason(long verifyResult) {
  switch (verifyResult) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return std::string(kExpiredReason);
    // libcurl checks the name itself once OpenSSL found the chain good, and
    // leaves the result unspecified when the name is not the server's.
    case X509_V_OK:
    case X509_V_ERR_UNSPECIFIED:
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return std::string(kOtherHostReason);
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
      return std::string(kUnknownAuthorityReason);
    case X509_V_ERR_EE_KEY_TOO_SMALL:
    case X509_V_ERR_CA_KEY_TOO_SMALL:
    case X509_V_ERR_CA_MD_TOO_WEAK:
      return std::string(kWeakReason);
    default:
      return std::string(kCertificateReason);
  }
}

// What a finished read learned: libcurl's code, and what it knows of the
// answer, the proxy and the certificate.
struct Outcome {
  CURLcode code = CURLE_OK;
  long status = 0;        // the server's HTTP status; 0 when it sent none
  long proxyStatus = 0;   // the proxy's answer to CONNECT; 0 when none
  long verifyResult = 0;  // OpenSSL's result for the server's certificate
  bool tooLarge = false;
};

std::string reasonFor(const Outcome& outcome) {
  if (outcome.tooLarge) return std::string(kTooLargeReason);
  if (outcome.proxyStatus >= 300) return std::string(kProxyRefusedReason) + std::to_string(outcome.proxyStatus);
  switch (outcome.code) {
    case CURLE_OPERATION_TIMEDOUT:
      return std::string(kTimeoutReason);
    case CURLE_FILESIZE_EXCEEDED:
      return std::string(kTooLargeReason);
    case CURLE_TOO_MANY_REDIRECTS:
      return std::string(kRedirectsReason);
    // A redirect to another scheme, or an answer without a status line
    // (HTTP/0.9, or no HTTP at all), which libcurl refuses alike.
    case CURLE_UNSUPPORTED_PROTOCOL:
      return std::string(outcome.status >= 300 && outcome.status <= 399 ? kSchemeReason : kNotHttpReason);
    case CURLE_WEIRD_SERVER_REPLY:
      return std::string(kNotHttpReason);
    case CURLE_PARTIAL_FILE:
      return std::string(kCutShortReason);
    case CURLE_GOT_NOTHING:
      return std::string(kNoAnswerReason);
    // A chunk that does not parse: the body is not what HTTP says it is.
    case CURLE_RECV_ERROR:
      return std::string(outcome.status != 0 ? kNotHttpReason : kUnreachableReason);
    case CURLE_URL_MALFORMAT:
      return std::string(kMalformedReason);
    case CURLE_PEER_FAILED_VERIFICATION:
      return certificateReason(outcome.verifyResult);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
      return std::string(kSecureReason);
    case CURLE_SSL_CACERT_BADFILE:
      return std::string(kNoAuthoritiesReason);
    case CURLE_HTTP_RETURNED_ERROR:
      if (outcome.status != 0) return "the server answered with status " + std::to_string(outcome.status);
      return std::string(kUnreachableReason);
    default:
      return std::string(kUnreachableReason);
  }
}

// Whether the server of an http: URL that gave no HTTP answer speaks TLS on
// that port: a TLS handshake alone, nothing read. Its certificate is not
// what is asked.
bool speaksTls(const Curl& api, const std::string& uri, long milliseconds) {
  if (uri.compare(0, 5, "http:") != 0) return false;
  const std::unique_ptr<CURL, decltype(api.cleanup)> handle(api.init(), api.cleanup);
  if (!handle) return false;
  CURL* easy = handle.get();
  const std::string secure = "https:" + uri.substr(5);
  const bool set = api.setopt(easy, CURLOPT_URL, secure.c_str()) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_PROTOCOLS_STR, "https") == CURLE_OK &&
                   api.setopt(easy, CURLOPT_CONNECT_ONLY, 1L) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_TIMEOUT_MS, milliseconds) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED)) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L) == CURLE_OK &&
                   api.setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L) == CURLE_OK;
  return set && api.perform(easy) == CURLE_OK;
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

  const auto start = std::chrono::steady_clock::now();
  Outcome outcome;
  outcome.code = api.perform(easy);
  outcome.tooLarge = body.tooLarge;
  if (api.getinfo(easy, CURLINFO_RESPONSE_CODE, &outcome.status) != CURLE_OK) outcome.status = 0;
  if (api.getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &outcome.proxyStatus) != CURLE_OK) outcome.proxyStatus = 0;
  if (api.getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &outcome.verifyResult) != CURLE_OK) outcome.verifyResult = 0;
  const long status = outcome.status;
  if (outcome.code == CURLE_OK && status >= 200 && status <= 299) return std::move(body.bytes);
  const FailureKind kind =
      status == kHttpNotFound || status == kHttpGone ? FailureKind::kNotFound : FailureKind::kOther;
  if (outcome.code == CURLE_OK) return fail("the server answered with status " + std::to_string(status), kind);
  // No HTTP came back from an http: URL: a server that speaks only TLS
  // answers plain HTTP so, and is told apart by a handshake, within what
  // is left of the deadline.
  const bool noHttp = status == 0 && outcome.proxyStatus < 300 &&
                      (outcome.code == CURLE_GOT_NOTHING || outcome.code == CURLE_UNSUPPORTED_PROTOCOL ||
                       outcome.code == CURLE_WEIRD_SERVER_REPLY || outcome.code == CURLE_RECV_ERROR);
  const long left =
      milliseconds -
      static_cast<long>(
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
  if (noHttp && left > 0 && speaksTls(api, uri, left)) return fail(std::string(kTlsOnlyReason), kind);
  return fail(reasonFor(outcome), kind);
}

void useCertificateAuthoritiesForTests(const std::string& pemFile) {
  const std::lock_guard lock(authoritiesMutex);
  testAuthorities = pemFile;
}

}  // namespace tarnweld::xml
