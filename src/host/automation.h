// The host editor's plug-in core object as this program reaches it: an object
// created by ProgID whose methods are called by name with variant arguments.
// One backend per platform (the session bus on Linux, COM on Windows), and an
// in-memory fake for the tests. Nothing above this
// interface knows which backend it has.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "text/text.h"

namespace tarnweld {

// A string argument passed by reference: the host may overwrite it. The text
// may lie outside the heap (on Linux, in a sealed memory file the text holds,
// see text.h): a backend that can hand such a file over as it is does so,
// and a text written back may come so too, holding the host's file mapped
// until the last copy of the text goes.
struct StringRef {
  Text* target;
};

// One argument of a host call. The host understands three kinds: a string, a
// 16-bit signed integer, and a string by reference.
using AutomationArg = std::variant<TextView, std::int16_t, StringRef>;

// A live automation object. Destroying it releases it.
class AutomationObject {
 public:
  virtual ~AutomationObject() = default;

  // Calls the method `name` with `args`, in order, and waits for it to return.
  // Returns true when the host accepted the call; each by-reference argument
  // then holds what the host wrote into it, or its earlier value when the host
  // wrote nothing. Returns false when the call failed (the host rejected it,
  // the connection was lost, no reply came in time); every by-reference
  // argument then keeps its earlier value.
  virtual bool invoke(TextView name, std::span<const AutomationArg> args) = 0;

  // Returns why `text` cannot reach the host whole as one argument (its size
  // and the limit it passes), or nothing when it can. Asked before a large
  // text is handed over, so that it is not lost without a word. Makes no
  // host call. By default there is no limit.
  virtual std::optional<Text> refusesText(const Text& text) const {
    static_cast<void>(text);
    return std::nullopt;
  }
};

// Creates automation objects.
class AutomationBackend {
 public:
  virtual ~AutomationBackend() = default;

  // Returns a live object for `progId` on the local machine, or nullptr when
  // none can be had (the host is not running, no bus). Makes no retry.
  virtual std::unique_ptr<AutomationObject> create(TextView progId) = 0;
};

}  // namespace tarnweld
