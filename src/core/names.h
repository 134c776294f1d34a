// The names the program and its host editor share: the command-line switches,
// the ProgID, the host operations, the run's record keys, the report prefix
// and the output mode.
// Each is spelled once here. The program speaks them as its own text; the
// host stand-in, which keeps records in their wire form, speaks them as bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace tarnweld {

// A fixed ASCII name in both forms, made from one literal.
template <std::size_t N>
struct AsciiName {
  char bytes[N]{};
  TextUnit units[N]{};

  consteval AsciiName(const char (&literal)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
      // A name is ASCII, without NUL: a text as it stands on every platform.
      if (i + 1 < N && (literal[i] <= 0 || literal[i] > 0x7E)) throw "a name must be printable ASCII";
      bytes[i] = literal[i];
      units[i] = static_cast<TextUnit>(literal[i]);
    }
  }
  constexpr TextView text() const { return fixedAsciiText(units, N - 1); }
  constexpr std::string_view ascii() const { return {bytes, N - 1}; }
};

// `head` followed by `tail`, as one name: a fixed text built on another is
// still spelled once.
template <std::size_t N, std::size_t M>
consteval AsciiName<N + M - 1> operator+(const AsciiName<N>& head, const char (&tail)[M]) {
  char joined[N + M - 1]{};
  for (std::size_t i = 0; i + 1 < N; ++i) joined[i] = head.bytes[i];
  for (std::size_t i = 0; i < M; ++i) joined[N - 1 + i] = tail[i];
  return AsciiName<N + M - 1>(joined);
}

// The switches the host editor starts the program with, matched whole and
// case-sensitively: "/HKPRUN" or "/hkprun " selects nothing.
inline constexpr AsciiName kRegisterSwitch{"/hkpreg"};
inline constexpr AsciiName kRunSwitch{"/hkprun"};

// The ProgID under which the host editor publishes its plug-in core object.
inline constexpr AsciiName kPluginsCoreProgId{"htmlkit.HTMLKitPluginsCore"};

// The host operations, by the names the host binds them to.
namespace host_op {
inline constexpr AsciiName kDataSetGlobalSuffix{"hkp_DataSetGlobalSuffix"};
inline constexpr AsciiName kDataAdd{"hkp_DataAdd"};
inline constexpr AsciiName kDataAddInt{"hkp_DataAddInt"};
inline constexpr AsciiName kDataGet{"hkp_DataGet"};
}  // namespace host_op

// The records of a run: two read, two written.
namespace run_key {
inline constexpr AsciiName kInput{"INPUT"};
inline constexpr AsciiName kFileName{"FILE_NAME"};
inline constexpr AsciiName kOutput{"OUTPUT"};
inline constexpr AsciiName kOutputMode{"MODE_OUTPUT"};
}  // namespace run_key

// What every error report and message the program hands back as its output
// text starts with; the host stand-in tells a report from a result by it.
inline constexpr AsciiName kReportPrefix{"Tarnweld Error - "};

// The output mode handed back with every run's output text.
inline constexpr std::int16_t kOutputMode = 7;

}  // namespace tarnweld
