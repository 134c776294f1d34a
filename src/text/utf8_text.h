// The program's text on Linux: UTF-8 that is well-formed and holds no NUL,
// by construction. A `Text` is made only where bytes are checked once (the
// edges: textFromUtf8, textHeldIn and their kin in text.h), from a literal
// checked when it is compiled, or by an operation that cannot break the form
// (joining two texts, cutting one between characters). Everything past an
// edge trusts it: no text is checked again on its way through the program,
// and its UTF-16 length, counted in the pass that checked it, goes with it.
//
// A text may lie in bytes the heap does not hold (a sealed memory file,
// mapped read-only): `TextStorage` is such a place, shared by every text
// made from it and released with the last of them. Changing such a text
// first copies it to the heap.
#pragma once

#include <compare>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "text/utf8_decode.h"

namespace tarnweld {

using TextUnit = char;

namespace text_detail {

// Where a cut at byte `at` of well-formed UTF-8 must fall so that no
// character is split: at the start of the character `at` is inside.
constexpr std::size_t characterStart(std::string_view bytes, std::size_t at) {
  while (at > 0 && at < bytes.size() && (static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80) --at;
  return at;
}

// A literal is checked when it is compiled: well-formed UTF-8 without NUL.
// A bad one is a call to this function, which is not constexpr, and so a
// compile error where the literal stands.
void literalIsNotWellFormedUtf8();

consteval bool literalIsWellFormed(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t cp = 0;
    const std::size_t length = utf8::decodeCharacter(bytes, i, cp);
    if (length == 0 || cp == 0) return false;
    i += length;
  }
  return true;
}

}  // namespace text_detail

// A view of a text: of a Text, of a literal, or a part of either cut between
// characters. A cut asked for inside a character falls at its start, so a
// view is never anything but text.
class TextView {
 public:
  using value_type = char;
  using size_type = std::size_t;
  using const_iterator = std::string_view::const_iterator;
  using iterator = const_iterator;
  static constexpr std::size_t npos = std::string_view::npos;

  constexpr TextView() = default;

  // For code that has checked `bytes`, or made them so that they cannot be
  // anything but text (the edges in text.cpp, a sealed file's check, a
  // fixed ASCII name). Nothing else builds a view from bytes.
  static constexpr TextView trusted(std::string_view bytes) {
    TextView view;
    view.bytes_ = bytes;
    return view;
  }
  // A literal, checked when it is compiled: "abc" where a view is wanted.
  template <std::size_t N>
  consteval TextView(const char (&bytes)[N]) : TextView(literal(bytes)) {}
  // The same, named (see TXT in text.h).
  template <std::size_t N>
  static consteval TextView literal(const char (&bytes)[N]) {
    const std::string_view view(bytes, N - 1);
    if (!text_detail::literalIsWellFormed(view)) text_detail::literalIsNotWellFormedUtf8();
    return trusted(view);
  }

  // The text's bytes: reading them as bytes needs no check.
  constexpr std::string_view bytes() const { return bytes_; }

  constexpr std::size_t size() const { return bytes_.size(); }
  constexpr std::size_t length() const { return bytes_.size(); }
  constexpr bool empty() const { return bytes_.empty(); }
  constexpr const char* data() const { return bytes_.data(); }
  constexpr char operator[](std::size_t at) const { return bytes_[at]; }
  constexpr char front() const { return bytes_.front(); }
  constexpr char back() const { return bytes_.back(); }
  constexpr const_iterator begin() const { return bytes_.begin(); }
  constexpr const_iterator end() const { return bytes_.end(); }

  constexpr std::size_t find(TextView what, std::size_t from = 0) const { return bytes_.find(what.bytes_, from); }
  constexpr std::size_t find(char what, std::size_t from = 0) const { return bytes_.find(what, from); }
  constexpr std::size_t rfind(TextView what, std::size_t from = npos) const { return bytes_.rfind(what.bytes_, from); }
  constexpr std::size_t rfind(char what, std::size_t from = npos) const { return bytes_.rfind(what, from); }
  constexpr std::size_t find_first_of(TextView set, std::size_t from = 0) const {
    return bytes_.find_first_of(set.bytes_, from);
  }
  constexpr std::size_t find_last_of(TextView set, std::size_t from = npos) const {
    return bytes_.find_last_of(set.bytes_, from);
  }
  constexpr bool starts_with(TextView start) const { return bytes_.starts_with(start.bytes_); }
  constexpr bool starts_with(char start) const { return bytes_.starts_with(start); }
  constexpr bool ends_with(TextView end) const { return bytes_.ends_with(end.bytes_); }
  constexpr bool ends_with(char end) const { return bytes_.ends_with(end); }

  constexpr TextView substr(std::size_t from, std::size_t count = npos) const {
    const std::string_view rest = bytes_.substr(from);
    const std::size_t start = text_detail::characterStart(bytes_, from);
    const std::size_t stop = text_detail::characterStart(bytes_, from + std::min(count, rest.size()));
    return trusted(bytes_.substr(start, stop - start));
  }
  constexpr void remove_prefix(std::size_t count) { *this = substr(count); }
  constexpr void remove_suffix(std::size_t count) { *this = substr(0, size() - count); }

  constexpr int compare(TextView other) const { return bytes_.compare(other.bytes_); }
  friend constexpr bool operator==(TextView a, TextView b) { return a.bytes_ == b.bytes_; }
  friend constexpr std::strong_ordering operator<=>(TextView a, TextView b) { return a.bytes_ <=> b.bytes_; }

 private:
  std::string_view bytes_;
};

// Bytes that hold a text outside the heap, checked when they were made into
// one. They stay where they are, unchanged, as long as the storage lives.
class TextStorage {
 public:
  virtual ~TextStorage() = default;
  virtual std::string_view bytes() const = 0;
};

class Text {
 public:
  using value_type = char;
  using size_type = std::size_t;
  using const_iterator = std::string::const_iterator;
  static constexpr std::size_t npos = std::string::npos;

  Text() = default;
  // A copy of the viewed text.
  Text(TextView view) : own_(view.bytes()) {}
  // A string literal, checked when the text is made (each bad sequence
  // becomes U+FFFD): for tables of fixed texts, in tests above all.
  template <std::size_t N>
  Text(const char (&literal)[N]) : Text(checked(std::string_view(literal, N - 1))) {}
  // `count` times the ASCII character `c` (TXT('x')); anything else is
  // written as U+FFFD.
  Text(std::size_t count, char c) {
    if (c > 0 && static_cast<unsigned char>(c) < 0x80) {
      own_.assign(count, c);
    } else {
      own_.reserve(3 * count);
      for (std::size_t i = 0; i < count; ++i) own_.append("\xEF\xBF\xBD");
    }
  }

  // For the edges in text.cpp only: `bytes` checked already, `units` their
  // UTF-16 length (kUnknownUnits when not counted).
  static constexpr std::size_t kUnknownUnits = npos;
  static Text trusted(std::string bytes, std::size_t units) {
    Text text;
    text.own_ = std::move(bytes);
    text.units_ = units;
    return text;
  }
  static Text trusted(std::shared_ptr<const TextStorage> storage, std::size_t units) {
    Text text;
    text.held_ = storage->bytes();
    text.storage_ = std::move(storage);
    text.units_ = units;
    return text;
  }

  // Where the text lies when it is not on the heap, for a channel that can
  // hand the storage over as it is (a memory file over the bus); null when
  // the text is on the heap.
  const TextStorage* storage() const { return storage_.get(); }
  // The UTF-16 length when the pass that made the text counted it, else
  // kUnknownUnits.
  std::size_t knownUtf16Units() const { return units_; }

  std::string_view bytes() const { return storage_ ? held_ : std::string_view(own_); }
  TextView view() const { return TextView::trusted(bytes()); }
  operator TextView() const { return view(); }

  std::size_t size() const { return bytes().size(); }
  std::size_t length() const { return size(); }
  bool empty() const { return size() == 0; }
  const char* data() const { return bytes().data(); }
  char operator[](std::size_t at) const { return bytes()[at]; }
  char front() const { return bytes().front(); }
  char back() const { return bytes().back(); }
  std::string_view::const_iterator begin() const { return bytes().begin(); }
  std::string_view::const_iterator end() const { return bytes().end(); }

  std::size_t find(TextView what, std::size_t from = 0) const { return view().find(what, from); }
  std::size_t find(char what, std::size_t from = 0) const { return view().find(what, from); }
  std::size_t rfind(TextView what, std::size_t from = npos) const { return view().rfind(what, from); }
  std::size_t rfind(char what, std::size_t from = npos) const { return view().rfind(what, from); }
  std::size_t find_first_of(TextView set, std::size_t from = 0) const { return view().find_first_of(set, from); }
  bool starts_with(TextView start) const { return view().starts_with(start); }
  bool ends_with(TextView end) const { return view().ends_with(end); }
  Text substr(std::size_t from, std::size_t count = npos) const { return Text(view().substr(from, count)); }
  int compare(TextView other) const { return view().compare(other); }

  // Changes, each of which keeps the form.
  Text& append(TextView more) {
    ownBytes().append(more.bytes());
    return *this;
  }
  Text& operator+=(TextView more) { return append(more); }
  // Keeps the first `count` bytes, cut at the start of the character that
  // byte `count` is inside.
  void truncate(std::size_t count) {
    if (count >= size()) return;
    ownBytes().resize(text_detail::characterStart(bytes(), count));
  }
  void erase(std::size_t from, std::size_t count = npos) {
    const TextView whole = view();
    Text kept(whole.substr(0, from));
    if (count != npos && from + count < whole.size()) kept.append(whole.substr(from + count));
    *this = std::move(kept);
  }
  void clear() { *this = Text(); }
  void reserve(std::size_t bytes) { ownBytes().reserve(bytes); }
  void swap(Text& other) noexcept {
    own_.swap(other.own_);
    std::swap(held_, other.held_);
    storage_.swap(other.storage_);
    std::swap(units_, other.units_);
  }

  friend Text operator+(TextView a, TextView b) { return Text(a).append(b); }
  friend bool operator==(const Text& a, const Text& b) { return a.bytes() == b.bytes(); }
  friend bool operator==(const Text& a, TextView b) { return a.bytes() == b.bytes(); }
  template <std::size_t N>
  friend bool operator==(const Text& a, const char (&b)[N]) {
    return a.bytes() == std::string_view(b, N - 1);
  }
  friend std::strong_ordering operator<=>(const Text& a, const Text& b) { return a.bytes() <=> b.bytes(); }

 private:
  // The text of `bytes`, mended where they are not text (text.cpp).
  static Text checked(std::string_view bytes);

  // The heap's copy of the text, made before the first change; the count of
  // units is no longer known once it is changed.
  std::string& ownBytes() {
    if (storage_) {
      own_.assign(held_);
      held_ = {};
      storage_.reset();
    }
    units_ = kUnknownUnits;
    return own_;
  }

  std::string own_;
  std::string_view held_;
  std::shared_ptr<const TextStorage> storage_;
  std::size_t units_ = kUnknownUnits;
};

}  // namespace tarnweld
