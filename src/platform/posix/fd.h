// An owning file descriptor: closed when its owner goes, unless released.
// Every descriptor the Linux backends and the tools open is held in one from
// the moment it exists.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <utility>

namespace tarnweld::posix {

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }

  // -1 when it holds nothing.
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

  // Closes what it holds and takes `fd` instead.
  void reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }
  // Hands the descriptor over without closing it.
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_ = -1;
};

// Writes all of `bytes` to `fd`, resuming after a signal or a short write.
// False (errno set) when the descriptor takes no more.
inline bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// The two ends of a close-on-exec pipe.
struct Pipe {
  Fd read;
  Fd write;
};

// Opens a pipe with both ends close-on-exec; false (errno set) when it cannot.
inline bool openPipe(Pipe& pipe) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  pipe.read.reset(ends[0]);
  pipe.write.reset(ends[1]);
  return true;
}

}  // namespace tarnweld::posix
