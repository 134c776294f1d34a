// Large texts between two processes as sealed memory files: the writer fills
// a memfd through a mapping and seals it, so the reader may map it knowing
// its contents and size can no longer change under it. The bus passes such a
// descriptor instead of the text itself (see src/host/dbus/CONTRACT.md), so
// the text is copied neither into a message nor through the bus daemon.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/result.h"
#include "platform/posix/errno_text.h"
#include "platform/posix/fd.h"
#include "text/utf.h"

namespace tarnweld::posix {

// The seals a reader requires before it maps a memory file: without them the
// writer could shrink the file under the mapping (a fault in the reader) or
// change the text while it is read.
inline constexpr int kTextSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;

// A new, empty memory file that may be sealed, closed on exec; empty (errno
// set) when none can be made. Every memory file of the program and its tools
// is made here.
inline Fd makeMemoryFile(const char* name) { return Fd(memfd_create(name, MFD_CLOEXEC | MFD_ALLOW_SEALING)); }

// Seals the memory file `fd` against any change (kTextSeals, and further
// seals): from here its readers may map it. False (errno set) when it cannot.
inline bool sealText(int fd) { return fcntl(fd, F_ADD_SEALS, kTextSeals | F_SEAL_SEAL) == 0; }

// A read-only mapping, unmapped when its owner goes.
class MappedBytes {
 public:
  MappedBytes() = default;
  MappedBytes(void* address, std::size_t size) : address_(address), size_(size) {}
  MappedBytes(MappedBytes&& other) noexcept
      : address_(std::exchange(other.address_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  MappedBytes& operator=(MappedBytes&& other) noexcept {
    if (this != &other) {
      unmap();
      address_ = std::exchange(other.address_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  MappedBytes(const MappedBytes&) = delete;
  MappedBytes& operator=(const MappedBytes&) = delete;
  ~MappedBytes() { unmap(); }

  std::string_view bytes() const { return {static_cast<const char*>(address_), size_}; }

 private:
  void unmap() {
    if (address_) munmap(address_, size_);
  }
  void* address_ = nullptr;
  std::size_t size_ = 0;
};

// Writes a memory file a piece at a time through write(), then seals it. The
// pages written belong to the file and are never mapped into the writer, so
// a large text costs the writer no memory beyond the piece in hand.
class SealedMemfdWriter {
 public:
  SealedMemfdWriter() : file_(makeMemoryFile("tarnweld-text")) {}

  // False, and the file is given up, when the piece cannot be written whole.
  bool append(std::string_view bytes) {
    if (file_ && !writeAll(file_.get(), bytes)) file_.reset();
    return static_cast<bool>(file_);
  }

  // The file, sealed against any change; empty (errno set) when it could not
  // be made, written or sealed.
  Fd seal() && {
    if (file_ && !sealText(file_.get())) file_.reset();
    return std::move(file_);
  }

 private:
  Fd file_;
};

// Maps the whole of the memory file `fd`, which must carry kTextSeals. Returns
// false when it is not such a file or cannot be mapped.
inline bool mapSealedMemfd(int fd, MappedBytes& mapped) {
  struct stat status {};
  const int seals = fcntl(fd, F_GET_SEALS);
  if (seals < 0 || (seals & kTextSeals) != kTextSeals || fstat(fd, &status) != 0 || status.st_size < 0) return false;
  const auto size = static_cast<std::size_t>(status.st_size);
  if (size == 0) {
    mapped = MappedBytes();
    return true;
  }
  void* address = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (address == MAP_FAILED) return false;
  mapped = MappedBytes(address, size);
  return true;
}

}  // namespace tarnweld::posix
