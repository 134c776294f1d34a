// The program's text where it lies in a sealed memory file (Linux, where the
// text is UTF-8): mapped read-only, checked once, and held with the file, so
// that a channel that takes memory files passes the file on as it is.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "core/result.h"
#include "platform/posix/errno_text.h"
#include "platform/posix/fd.h"
#include "platform/posix/sealed_memfd.h"
#include "text/text.h"
#include "text/utf.h"

namespace tarnweld::posix {

static_assert(!TARNWELD_TEXT_UTF16, "a memory file holds the program's text as it stands only in UTF-8");

// A text that lies in a sealed memory file, mapped read-only: the file's
// descriptor (a duplicate the storage owns) goes with it, so that a channel
// that takes memory files hands the file over as it is, with no copy. The
// mapping and the descriptor go with the last text made from it.
class SealedFileText final : public TextStorage {
 public:
  SealedFileText(Fd file, MappedBytes mapped) : file_(std::move(file)), mapped_(std::move(mapped)) {}
  std::string_view bytes() const override { return mapped_.bytes(); }
  int fd() const { return file_.get(); }

 private:
  Fd file_;
  MappedBytes mapped_;
};

// The text of the memory file `fd`, which must carry kTextSeals, left where
// it lies: mapped, checked once and counted in the same pass (textHeldIn).
// The caller keeps `fd`; the text holds a duplicate. Fails when it is not
// such a file, cannot be mapped, or is not a text textHeldIn takes.
inline Result<Text> readSealedText(int fd, tarnweld::NulBytes nul) {
  // Every unit takes at least one byte and at most kMaxUtf8BytesPerUnit, so
  // a larger file can only hold a text that is too long: refused by its size
  // before a page of it is read.
  struct stat status {};
  if (fstat(fd, &status) != 0) return fail("cannot read the text file: " + errnoText(errno));
  if (static_cast<std::uint64_t>(status.st_size) > std::uint64_t{kMaxTextUnits} * kMaxUtf8BytesPerUnit) {
    return fail("the text file holds " + std::to_string(status.st_size) + " bytes, more than a text of at most " +
                std::to_string(kMaxTextUnits) + " characters can take");
  }
  MappedBytes mapped;
  if (!mapSealedMemfd(fd, mapped)) return fail("the text is not a memory file sealed against change");
  Fd own(fcntl(fd, F_DUPFD_CLOEXEC, 0));
  if (!own) return fail("cannot keep the text file: " + errnoText(errno));
  HeldText held = textHeldIn(std::make_shared<const SealedFileText>(std::move(own), std::move(mapped)), nul);
  if (!held.text) return fail(std::move(held.refusal));
  return std::move(*held.text);
}

// The sealed memory file `text` lies in, when it lies in one; else -1.
inline int sealedFileOf(const Text& text) {
  const auto* file = dynamic_cast<const SealedFileText*>(text.storage());
  return file ? file->fd() : -1;
}

}  // namespace tarnweld::posix
