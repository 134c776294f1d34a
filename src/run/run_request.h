// RunRequest: the state of one transformation run, filled step by step from
// the host's records to the output text handed back.
#pragma once

#include <string>

#include "text/text.h"

namespace tarnweld {

struct RunRequest {
  Text inputText;       // the document's full text, from the record "INPUT"
  Text fileName;        // the document's path, from the record "FILE_NAME"
  Text directoryPart;   // the file name up to and including its last "\"
  Text filePart;        // the file name after its last "\"
  Text baseName;        // the file part without its last extension
  Text stylesheetPath;  // where the stylesheet is loaded from
  Text outputText;      // what is handed back as the record "OUTPUT"
};

}  // namespace tarnweld
