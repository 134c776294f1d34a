#include "xml/libxml/libxml_http.h"

#include <libxml/uri.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "text/ascii.h"
#include "xml/libxml/libxml_owners.h"

namespace tarnweld::xml {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxRedirects = 5;
constexpr int kDefaultPort = 80;
constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr std::size_t kReadChunkBytes = 64 * 1024;
constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kLocationHeader = "location:";

constexpr std::string_view kTimeoutReason = "the server did not answer in full within the time allowed";
constexpr std::string_view kUnreachableReason = "the server cannot be reached";
constexpr std::string_view kBadAnswerReason = "the server's answer is not HTTP";
constexpr std::string_view kTooLargeReason = "the answer is larger than the limit";
constexpr std::string_view kRedirectsReason = "the server redirects too often";

struct AddrInfoFree {
  void operator()(addrinfo* info) const { freeaddrinfo(info); }
};
using AddrInfoPtr = std::unique_ptr<addrinfo, AddrInfoFree>;
using UriPtr = std::unique_ptr<xmlURI, FreeWith<xmlFreeURI>>;

// Waits for `events` on `fd` until `deadline`; false when it passed.
bool waitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(left));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

Fd connectTo(const addrinfo& address, Clock::time_point deadline) {
  Fd fd(::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol));
  if (!fd) return {};
  if (::connect(fd.get(), address.ai_addr, address.ai_addrlen) != 0) {
    if (errno != EINPROGRESS || !waitFor(fd.get(), POLLOUT, deadline)) return {};
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) return {};
  }
  return fd;
}

// The raw answer to one GET, or why there is none.
struct Exchange {
  std::string answer;
  std::string failure;
};

Exchange exchange(const xmlURI& uri, const std::string& target, Clock::time_point deadline, std::size_t maxBytes) {
  Exchange result;
  const std::string host = uri.server ? uri.server : "";
  const std::string port = std::to_string(uri.port > 0 ? uri.port : kDefaultPort);
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (host.empty() || ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) {
    result.failure = kUnreachableReason;
    return result;
  }
  const AddrInfoPtr addresses(found);
  Fd fd;
  for (const addrinfo* address = found; address && !fd; address = address->ai_next) fd = connectTo(*address, deadline);
  if (!fd) {
    result.failure = Clock::now() >= deadline ? kTimeoutReason : kUnreachableReason;
    return result;
  }
  const std::string request = "GET " + target + " HTTP/1.0\r\nHost: " + host +
                              (uri.port > 0 ? ":" + port : std::string()) + "\r\nConnection: close\r\n\r\n";
  for (std::size_t sent = 0; sent < request.size();) {
    if (!waitFor(fd.get(), POLLOUT, deadline)) {
      result.failure = kTimeoutReason;
      return result;
    }
    const ssize_t count = ::send(fd.get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (count < 0 && errno != EINTR && errno != EAGAIN) {
      result.failure = kUnreachableReason;
      return result;
    }
    if (count > 0) sent += static_cast<std::size_t>(count);
  }
  char chunk[kReadChunkBytes];
  for (;;) {
    if (!waitFor(fd.get(), POLLIN, deadline)) {
      result.failure = kTimeoutReason;
      return result;
    }
    const ssize_t count = ::recv(fd.get(), chunk, sizeof chunk, 0);
    if (count == 0) return result;
    if (count < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      result.failure = kUnreachableReason;
      return result;
    }
    if (result.answer.size() + static_cast<std::size_t>(count) > maxBytes + kMaxHeaderBytes) {
      result.failure = kTooLargeReason;
      return result;
    }
    result.answer.append(chunk, static_cast<std::size_t>(count));
  }
}

// The path and query of an http: URI, as the request line carries them.
std::string requestTarget(std::string_view uri) {
  const std::size_t authority = uri.find("//");
  std::size_t path = authority == std::string_view::npos ? std::string_view::npos : uri.find('/', authority + 2);
  const std::size_t query = uri.find('?', authority == std::string_view::npos ? 0 : authority + 2);
  if (query != std::string_view::npos && (path == std::string_view::npos || query < path)) path = query;
  std::string target = path == std::string_view::npos ? "/" : std::string(uri.substr(path));
  if (const std::size_t fragment = target.find('#'); fragment != std::string::npos) target.erase(fragment);
  if (target.empty() || target.front() == '?') target.insert(0, "/");
  return target;
}

std::string_view headerValue(std::string_view headers, std::string_view name) {
  for (std::size_t start = headers.find("\r\n"); start != std::string_view::npos;) {
    start += 2;
    const std::size_t end = headers.find("\r\n", start);
    const std::string_view line = headers.substr(start, end - start);
    if (startsWithIgnoringAsciiCase(line, name)) {
      std::string_view value = line.substr(name.size());
      while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      return value;
    }
    start = end;
  }
  return {};
}

}  // namespace

HttpAnswer httpGet(const std::string& uri, Clock::duration limit, std::size_t maxBytes) {
  const Clock::time_point deadline = Clock::now() + limit;
  HttpAnswer answer;
  std::string current = uri;
  for (int redirect = 0; redirect <= kMaxRedirects; ++redirect) {
    const UriPtr parsed(xmlParseURI(current.c_str()));
    if (!parsed || !parsed->scheme ||
        !equalsIgnoringAsciiCase(std::string_view(parsed->scheme), std::string_view("http"))) {
      answer.failure = kUnreachableReason;
      return answer;
    }
    Exchange got = exchange(*parsed, requestTarget(current), deadline, maxBytes);
    if (!got.failure.empty()) {
      answer.failure = std::move(got.failure);
      return answer;
    }
    const std::size_t headerEnd = got.answer.find(kHeaderEnd);
    const std::string_view text(got.answer);
    if (!text.starts_with("HTTP/") || headerEnd == std::string::npos || text.find(' ') > headerEnd) {
      answer.failure = kBadAnswerReason;
      return answer;
    }
    const std::string_view headers = text.substr(0, headerEnd);
    answer.status = std::atoi(std::string(headers.substr(headers.find(' ') + 1, 3)).c_str());
    const std::string_view location = headerValue(headers, kLocationHeader);
    if (answer.status >= 300 && answer.status < 400 && !location.empty()) {
      XmlCharPtr next(xmlBuildURI(reinterpret_cast<const xmlChar*>(std::string(location).c_str()),
                                  reinterpret_cast<const xmlChar*>(current.c_str())));
      if (!next) break;
      current = reinterpret_cast<const char*>(next.get());
      continue;
    }
    if (answer.status < 200 || answer.status > 299) {
      answer.failure = "the server answered with status " + std::to_string(answer.status);
      return answer;
    }
    if (got.answer.size() - headerEnd - kHeaderEnd.size() > maxBytes) {
      answer.failure = kTooLargeReason;
      return answer;
    }
    answer.body = got.answer.substr(headerEnd + kHeaderEnd.size());
    return answer;
  }
  answer.failure = kRedirectsReason;
  return answer;
}

}  // namespace tarnweld::xml
