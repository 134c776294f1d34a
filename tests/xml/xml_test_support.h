// Helpers of the backend tests: a private directory, a working-directory
// switch, and calls made while stdout and stderr are watched, so that every
// test also proves the libraries printed nothing.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "support/temp_dir.h"
#include "xml/xml_document.h"

namespace tarnweld::xml::testing {

using test::TempDir;

// Makes `directory` the working directory until destroyed.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::filesystem::path& directory);
  ~WorkingDirectory();

 private:
  std::filesystem::path saved_;
};

// Runs `call` with stdout and stderr sent to a file; returns what was written.
class OutputWatch {
 public:
  OutputWatch();
  ~OutputWatch();
  std::string finish();

 private:
  int savedOut_ = -1, savedErr_ = -1;
  std::FILE* sink_ = nullptr;
};

template <typename Call>
auto silently(Call&& call) {
  OutputWatch watch;
  auto result = call();
  const std::string printed = watch.finish();
  EXPECT_EQ(printed, "") << "the libraries printed this";
  return result;
}

// The outcome of a load, read back from the document's record.
struct LoadOutcome {
  std::optional<bool> loaded;
  Text reason, srcText;
  std::int32_t line = -1, linepos = -1;
};
LoadOutcome outcomeOf(const XmlDocument& document, std::optional<bool> loaded);

// `load()` run by a user without privileges: as it is when the tests are
// not run as root, else in a child process that has become nobody, for
// which permissions apply (root reads any file). Gives the flag and reason.
LoadOutcome asUnprivilegedUser(const std::function<LoadOutcome()>& load);

// A TCP listener on 127.0.0.1 at a free port, to prove that nothing connects
// to it, or (with `trickle`) a server that answers any connection with one
// byte every 200 ms, to prove that a reader gives up on it.
class Listener {
 public:
  explicit Listener(bool trickle = false);
  ~Listener();
  int port() const { return port_; }
  bool wasContacted() const;

 private:
  int fd_ = -1;
  int port_ = 0;
  std::thread server_;
  std::atomic<bool> stop_{false};
};

// A scripted HTTP server on loopback (127.0.0.1, or ::1): each request for a
// path in `answers` gets those bytes as they stand (status line first), any
// other path a 404. It serves one connection at a time until destroyed.
class HttpServer {
 public:
  explicit HttpServer(std::map<std::string, std::string> answers, bool ipv6 = false);
  ~HttpServer();
  // The URL of `path` ("/x.xsl") on this server.
  std::string url(std::string_view path) const;

 private:
  std::map<std::string, std::string> answers_;
  bool ipv6_;
  int fd_ = -1;
  int port_ = 0;
  std::thread server_;
  std::atomic<bool> stop_{false};
};

// An answer with `status`, extra header lines (each ending in CRLF) and a
// body of known length.
std::string httpAnswer(std::string_view status, std::string_view headers, std::string_view body);

// An https server on 127.0.0.1 (openssl s_server) serving the files of
// `directory` with a certificate for 127.0.0.1 made for it; the file
// authority() names is the only authority that trusts it. The other kinds
// of certificate each fail one check: its dates, its name, its key.
enum class Certificate { kGood, kExpired, kOtherHost, kWeakKey };
class TlsServer {
 public:
  explicit TlsServer(const std::filesystem::path& directory, Certificate certificate = Certificate::kGood);
  ~TlsServer();
  std::string url(std::string_view path) const;
  std::string authority() const { return authority_.string(); }

 private:
  std::filesystem::path directory_;
  std::filesystem::path authority_;
  int pid_ = -1;
  std::string address_;
};

// Runs `check` in a child process with network and mount namespaces of its
// own (through a user namespace, so no privilege is needed): loopback only,
// and `resolvConf` as /etc/resolv.conf, with a name server on 127.0.0.1:53
// that takes every question and answers none. 0 when `check` held, 1 when
// not, kNoIsolation when the system allows no such namespaces.
inline constexpr int kNoIsolation = 77;
int withSilentNameServer(const std::filesystem::path& resolvConf, const std::function<bool()>& check);

// UTF-8 for readable failure messages.
std::string utf8(TextView text);

}  // namespace tarnweld::xml::testing
