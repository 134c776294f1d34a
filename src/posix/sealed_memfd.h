// Large texts between two processes as sealed memory files: the writer fills
// a memfd through a mapping and seals it, so the reader may map it knowing
// its contents and size can no longer change under it. The bus passes such a
// descriptor instead of the text itself (see src/host/dbus/CONTRACT.md), so
// the text is copied neither into a message nor through the bus daemon.
#pragma once

#include <sys/mman.h>
#include <sys/stat.h>

#include <cstddef>
#include <string_view>
#include <utility>

#include "posix/fd.h"

namespace tarnweld::posix {

// The seals a reader requires before it maps a memory file: without them the
// writer could shrink the file under the mapping (a fault in the reader) or
// change the text while it is read.
inline constexpr int kTextSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;

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

// Makes a sealed memory file of `size` bytes that `fill(char* bytes)` writes
// (it must not throw). Returns an empty Fd (errno set) when the file cannot
// be made, sized, mapped or sealed.
template <class Fill>
Fd makeSealedMemfd(std::size_t size, Fill&& fill) {
  Fd file(memfd_create("tarnweld-text", MFD_CLOEXEC | MFD_ALLOW_SEALING));
  if (!file || ftruncate(file.get(), static_cast<off_t>(size)) != 0) return Fd();
  if (size > 0) {
    void* address = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, file.get(), 0);
    if (address == MAP_FAILED) return Fd();
    fill(static_cast<char*>(address));
    munmap(address, size);
  }
  if (fcntl(file.get(), F_ADD_SEALS, kTextSeals | F_SEAL_SEAL) != 0) return Fd();
  return file;
}

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
