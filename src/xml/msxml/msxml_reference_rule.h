// The one rule every reference the Windows parser documents read passes,
// whatever its spelling: the stylesheet path the run hands over, and every
// address MSXML asks the URL handlers for (imports, includes, document(),
// DTDs, entities). A reference that reaches another machine by name is a
// share, and a share is the network: opening it sends the user's credentials
// to whatever host the reference names, so no read ever opens one. A drive
// letter is local, whatever the drive is mapped to: the user chose its server.
// The rule is a pure function of the text, so it can be held against every
// spelling.
#pragma once

#include <string>
#include <string_view>

namespace tarnweld::xml {

enum class ReferenceKind {
  kLocal,        // a drive path, a rooted or relative path, file:///C:/..., file://localhost/...
  kShare,        // another machine: \\host\share, //host/share, \\?\UNC\..., \\host@SSL\..., file://host/...
  kNetwork,      // http, https or ftp
  kOtherScheme,  // any other scheme
  kMalformed,    // holds a control character, escaped or not
};

// What `reference` reaches. Escapes (%5C, %2F, escaped twice) are decoded and
// "\" read as "/" before anything is decided, so no spelling hides a share.
ReferenceKind classifyReference(std::u16string_view reference);

// The reason a report gives for a read of `reference` refused as `kind`
// (kShare, kOtherScheme, kMalformed, or kNetwork outside the stylesheet
// tree): "Cannot read REFERENCE: WHY".
std::u16string refusalReason(std::u16string_view reference, ReferenceKind kind);

}  // namespace tarnweld::xml
