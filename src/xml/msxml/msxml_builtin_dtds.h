// The XHTML DTDs the Windows plug-in carries: XHTML 1.0 strict, transitional
// and frameset, and XHTML 1.1 with its modules, each with its entity sets.
// Windows has no XML catalogs, so without these a document that names them
// would fetch them from the web on every run; with them it validates offline,
// as on Linux where the system catalogs map the same addresses to local files.
#pragma once

#include <optional>
#include <string_view>

namespace tarnweld::xml {

struct BuiltInDtd {
  std::u16string_view systemId;  // the http address documents name it by
  std::string_view text;         // the file's bytes, as W3C publishes them
};

// The built-in file for `url`, or nothing. An https address names the same
// file as its http one; the host's case does not matter.
std::optional<std::string_view> builtInDtd(std::u16string_view url);

}  // namespace tarnweld::xml
