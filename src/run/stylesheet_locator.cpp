#include "run/stylesheet_locator.h"

#include <algorithm>

#include "core/failure_policy.h"
#include "core/names.h"
#include "text/ascii.h"

namespace tarnweld {
namespace {

constexpr TextView kStylesheetExtension = TXT(".xsl");

constexpr TextView kInstructionName = TXT("<?xml-stylesheet");
constexpr TextView kHref = TXT("href");
constexpr TextView kInstructionEnd = TXT("?>");
constexpr TextView kLineBreak = TXT("\r\n");
constexpr TextView kParentStep = TXT("..");
constexpr TextView kSeparators = TXT("\\/");
constexpr TextUnit kSpace = TXT(' ');
constexpr auto npos = TextView::npos;

bool isSeparator(TextUnit c) { return c == TXT('\\') || c == TXT('/'); }

// Removes the last directory level of `directory`: cuts after the last "\"
// before its final character, else after the last "/" there. A directory with
// no such separator (empty, one character, a drive root) stays as it is, so
// surplus parent steps stop at the top.
void climbOneLevel(Text& directory) {
  if (directory.size() < 2) return;
  const std::size_t lastBeforeFinal = directory.size() - 2;
  std::size_t cut = directory.rfind(TXT('\\'), lastBeforeFinal);
  if (cut == npos) cut = directory.rfind(TXT('/'), lastBeforeFinal);
  if (cut != npos) directory.erase(cut + 1);
}

}  // namespace

void StylesheetLocator::deriveDefaultPath(PluginHost& host, RunRequest& request) {
  runStep([&] { return host.dataGet(run_key::kFileName.text(), request.fileName); });
  deriveDefaultPath(request);
}

void StylesheetLocator::deriveDefaultPath(RunRequest& request) {
  const TextView fileName = request.fileName;
  const std::size_t lastBackslash = fileName.rfind(TXT('\\'));
  const std::size_t fileStart = lastBackslash == npos ? 0 : lastBackslash + 1;
  request.directoryPart = fileName.substr(0, fileStart);
  request.filePart = fileName.substr(fileStart);
  request.baseName = request.filePart.substr(0, request.filePart.rfind(TXT('.')));
  request.stylesheetPath = request.directoryPart + request.baseName + Text(kStylesheetExtension);
}

namespace {

constexpr TextView kType = TXT("type");
constexpr TextView kCssType = TXT("text/css");

// Positions below are 0-based; `end` is one past the last character the
// value may occupy. Every search is bounded by the text, so the scan ends
// and reads nothing outside it for any text.
//
// Reads the value that follows the "=" at `equals`: double-quoted,
// single-quoted or unquoted, up to the next "?>" (else the next CR LF, else
// the end of the text).
std::optional<TextView> valueAfter(TextView text, std::size_t equals) {
  const std::size_t length = text.size();
  if (equals == npos || equals + 1 >= length) return std::nullopt;

  std::size_t start = equals + 1;
  // A later "?>" wins over a nearer line break; CR or LF alone ends nothing.
  std::size_t end = text.find(kInstructionEnd, start);
  if (end == npos) end = text.find(kLineBreak, start);
  if (end == npos) end = length;

  // Only U+0020 counts as a space here; tabs and line breaks are value text.
  std::size_t first = start;
  while (first < end && text[first] == kSpace) ++first;
  if (first >= end) return std::nullopt;

  const TextUnit opening = text[first];
  if ((opening == TXT('"') || opening == TXT('\'')) && first + 1 < end) {
    start = first + 1;
    const std::size_t closing = text.find(opening, start);
    if (closing == npos || closing == start || closing >= end) return std::nullopt;
    return text.substr(start, closing - start);
  }

  // Unquoted, and also a lone quote standing at the end position: the value
  // runs to the first space or to the end position.
  const std::size_t space = text.substr(0, end).find(kSpace, first + 1);
  return text.substr(first, (space == npos ? end : space) - first);
}

bool isBlank(TextUnit c) { return c == TXT(' ') || c == TXT('\t') || c == TXT('\r') || c == TXT('\n'); }

// Whether the instruction whose name ends at `nameEnd` declares a CSS
// stylesheet: a "type" pseudo-attribute (a word of its own, then "=") inside
// the instruction, up to its "?>", whose value is "text/css" in any ASCII
// case. An instruction without a closing "?>" declares nothing.
bool declaresCss(TextView text, std::size_t nameEnd) {
  const std::size_t instructionEnd = text.find(kInstructionEnd, nameEnd);
  if (instructionEnd == npos) return false;
  const TextView body = text.substr(0, instructionEnd);
  for (std::size_t type = findIgnoringAsciiCase(body, kType, nameEnd); type != npos;
       type = findIgnoringAsciiCase(body, kType, type + 1)) {
    if (!isBlank(text[type - 1])) continue;
    std::size_t equals = type + kType.size();
    while (equals < instructionEnd && text[equals] == kSpace) ++equals;
    if (equals >= instructionEnd || text[equals] != TXT('=')) continue;
    const auto value = valueAfter(text, equals);
    return value && equalsIgnoringAsciiCase(*value, kCssType);
  }
  return false;
}

}  // namespace

std::optional<TextView> StylesheetLocator::scanInstruction(TextView text) {
  const std::size_t length = text.size();

  // An instruction that declares a CSS stylesheet is for a browser, not for
  // this transformation: the next instruction is taken in its place.
  std::size_t name = findIgnoringAsciiCase(text, kInstructionName, 0);
  while (name != npos && declaresCss(text, name + kInstructionName.size())) {
    name = findIgnoringAsciiCase(text, kInstructionName, text.find(kInstructionEnd, name) + kInstructionEnd.size());
  }
  if (name == npos || name + kInstructionName.size() >= length) return std::nullopt;

  // "href" is searched on past the end of the instruction and may stand
  // inside a longer word.
  const std::size_t href = findIgnoringAsciiCase(text, kHref, name + kInstructionName.size());
  if (href == npos || href + kHref.size() >= length) return std::nullopt;

  // Whatever stands between "href" and the next "=" is passed over.
  return valueAfter(text, text.find(TXT('='), href + kHref.size()));
}

Text StylesheetLocator::resolvePath(TextView directoryPart, TextView reference) {
  if (reference.find_first_of(kSeparators) == npos) {
    return Text(directoryPart) += reference;
  }

  if (reference.find(kParentStep) != npos) {
    Text directory(directoryPart);
    TextView rest = reference;
    // Each round drops everything through the first "..", then at most one
    // separator, and climbs one level: the loop ends after at most half the
    // reference's length rounds.
    for (std::size_t step; (step = rest.find(kParentStep)) != npos;) {
      rest.remove_prefix(step + kParentStep.size());
      if (!rest.empty() && isSeparator(rest.front())) rest.remove_prefix(1);
      climbOneLevel(directory);
    }
    return directory += rest;
  }

  // Only a colon marks a complete path (a drive, or a URI scheme).
  if (reference.find(TXT(':')) != npos) return Text(reference);
  if (isSeparator(reference.front())) reference.remove_prefix(1);
  return Text(directoryPart) += reference;
}

}  // namespace tarnweld
