// StylesheetLocator: finds the stylesheet of a run. It derives the default
// path from the document's file name, takes the href of the document's first
// xml-stylesheet instruction in its place, and places that reference against
// the document's directory. It keeps no state; everything but the host read
// of deriveDefaultPath is a pure function of text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"

#include "host/plugin_host.h"
#include "run/run_request.h"

namespace tarnweld {

class StylesheetLocator {
 public:
  // Reads the host record "FILE_NAME" into the request's file name (left
  // empty when the read fails) and derives the other path fields from it.
  static void deriveDefaultPath(PluginHost& host, RunRequest& request);

  // Fills directory part, file part, base name and stylesheet path from the
  // request's file name. Only "\" separates directories; only the last "." of
  // the file part starts the extension.
  static void deriveDefaultPath(RunRequest& request);

  // Looks for the first "<?xml-stylesheet" in `text` by plain text search (no
  // XML parsing: an instruction inside a comment counts) and returns the
  // value of the first "href" after it: double-quoted, single-quoted or
  // unquoted. Returns nothing when no value can be taken; a returned value
  // is never empty and is a piece of `text`.
  static std::optional<TextView> scanInstruction(TextView text);

  // Places the stylesheet reference `reference` against `directoryPart` by
  // textual rules: a bare name goes under the directory; ".." steps climb it
  // one level each; a reference with a colon is complete and stays as it is;
  // any other reference loses one leading separator and goes under the
  // directory. "\" and "/" both separate, and are never converted.
  static Text resolvePath(TextView directoryPart, TextView reference);
};

}  // namespace tarnweld
