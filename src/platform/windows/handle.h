// Owner of a kernel HANDLE: closed when the owner goes, never twice.
#pragma once

#include <windows.h>

#include <utility>

namespace tarnweld::win {

class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  Handle(Handle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  Handle& operator=(Handle o) noexcept {
    std::swap(h_, o.h_);
    return *this;
  }
  Handle(const Handle&) = delete;
  ~Handle() {
    if (h_) CloseHandle(h_);
  }

  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  HANDLE h_ = nullptr;
};

}  // namespace tarnweld::win
