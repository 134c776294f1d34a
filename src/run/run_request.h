// RunRequest: the state of one transformation run, filled step by step from
// the host's records to the output text handed back.
#pragma once

#include <string>

namespace tarnweld {

struct RunRequest {
  std::u16string inputText;       // the document's full text, from the record "INPUT"
  std::u16string fileName;        // the document's path, from the record "FILE_NAME"
  std::u16string directoryPart;   // the file name up to and including its last "\"
  std::u16string filePart;        // the file name after its last "\"
  std::u16string baseName;        // the file part without its last extension
  std::u16string stylesheetPath;  // where the stylesheet is loaded from
  std::u16string outputText;      // what is handed back as the record "OUTPUT"
};

}  // namespace tarnweld
