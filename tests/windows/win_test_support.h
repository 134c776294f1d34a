// What the Windows tests share: the programs beside the test exe, the
// repository's files under their Windows path, and running a program to its
// end with its output captured.
#pragma once

// winsock2.h comes before windows.h.
// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tarnweld::test {

// `name` in the directory of the test exe, where the build puts every program.
std::u16string programPath(std::u16string_view name);

// `relative` (with "/") in the source tree, as a Windows path. The tests run
// under Wine, which shows the Linux root as drive Z:.
std::u16string sourcePath(std::string_view relative);

struct ProcessEnd {
  std::optional<DWORD> exitCode;  // nothing: not started, or still running after the limit
  std::string output;             // what it wrote to stdout
  std::string errors;             // what it wrote to stderr
  double seconds = 0;
};

// Runs `commandLine` with stdout and stderr captured, stdin empty, and waits
// at most `limitMs` for it to end.
ProcessEnd runProcess(std::u16string commandLine, DWORD limitMs = 30'000);

// True under Wine, whose msxml3 and COM differ from Windows' in the ways the
// skipped tests name.
bool underWine();

// An HTTP server on 127.0.0.1 that answers a request for a path given to
// `add` with that path's body, and every other request with `body`, and
// records each request line. It serves until it is destroyed; waiting for a
// connection is bounded, so it stops by itself with its owner.
class Listener {
 public:
  explicit Listener(std::string body);
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  bool ok() const { return port_ != 0; }
  void add(std::string path, std::string body);
  // `path` on this listener, as an http URL.
  std::u16string url(std::string_view path) const;
  // The request lines received so far.
  std::vector<std::string> requests();

 private:
  void serve();

  std::string body_;
  bool started_ = false;
  SOCKET socket_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> requests_;
  std::vector<std::pair<std::string, std::string>> bodies_;  // by path
  std::thread thread_;
};

}  // namespace tarnweld::test
