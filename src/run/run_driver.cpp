#include "run/run_driver.h"

#include "core/failure_policy.h"
#include "core/names.h"
#include "run/stylesheet_locator.h"
#include "run/transformation.h"

namespace tarnweld {
namespace {

// Finds the stylesheet: the document's own instruction when it names one,
// placed against the document's directory; else the default path beside the
// document, taken as it stands (so a network-share or POSIX path keeps its
// directory once).
void locateStylesheet(PluginHost& host, RunRequest& request) {
  StylesheetLocator::deriveDefaultPath(host, request);
  if (auto reference = StylesheetLocator::scanInstruction(request.inputText)) {
    request.stylesheetPath = StylesheetLocator::resolvePath(request.directoryPart, *reference);
  }
}

}  // namespace

void runTransformation(RunContext& context, Backends backends) {
  PluginHost& host = context.host;
  RunRequest& request = context.request;

  runStep([&] { return host.create(backends.automation); });
  runStep([&] { return host.dataGet(run_key::kInput.text(), request.inputText); });

  // Every step that allocates runs under the policy: memory that runs out
  // anywhere before the hand-back costs that step, never OUTPUT and
  // MODE_OUTPUT.
  if (request.inputText.empty()) {
    runStep([&] { request.outputText = kEmptyInputMessage.text(); });
  } else {
    // The output text is not seeded with a copy of the document: the
    // transformation replaces it on every path, with the result or a report,
    // so a copy would only cost a large document's size once more.
    runStep([&] { locateStylesheet(host, request); });
    runStep(
        [&] { transformWithStylesheet(request, backends.parser, context.xmlDocument, context.stylesheetDocument); });
  }

  // A text the host cannot take whole would be lost without a word; the
  // transform report says why in its place.
  const auto replaceRefusedOutput = [&] {
    std::optional<Text> refusal;
    runStep(refusal, [&] { return host.refusesText(request.outputText); });
    if (!refusal) return false;
    runStep([&] {
      writeReport(request.outputText, ReportKind::Transform, request.stylesheetPath,
                  ParseErrorValues{std::move(refusal), TXT(""), 0, 0});
    });
    return true;
  };
  replaceRefusedOutput();

  // Both records go back on every run, whatever the output text holds. A
  // host may refuse the form a text went in only when it gets it; the output
  // text is then asked about again and, when that host cannot take it in the
  // other form either, the report goes in its place.
  bool handedBack = false;
  runStep(handedBack, [&] { return host.dataAddByRef(run_key::kOutput.text(), request.outputText); });
  if (!handedBack && replaceRefusedOutput()) {
    runStep([&] { return host.dataAddByRef(run_key::kOutput.text(), request.outputText); });
  }
  runStep([&] { return host.dataAddInt(run_key::kOutputMode.text(), kOutputMode); });
}

}  // namespace tarnweld
