// The whole program against the fake host and parser, with every call it
// makes failed in turn: the program always ends normally, releases what it
// created in order, and hands back what the failed step leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/failure_policy.h"
#include "fakes/fake_host.h"
#include "fakes/fake_parser.h"
#include "main/mod_main.h"
#include "text/utf.h"

namespace tarnweld {
namespace {

struct Outcome {
  std::vector<std::string> log;
  std::optional<Text> output;  // OUTPUT as the host stored it
  bool modeHandedBack = false;
};

// Runs the program with `failing` failed; `script` sets up the scenario.
template <typename Script>
Outcome start(TextView mode, const std::set<std::string>& failing, Script script) {
  fakes::CallLog log;
  fakes::FakeHost host(log);
  fakes::FakeParser parser(log);
  host.records = {{TXT("INPUT"), TXT("<doc/>")}, {TXT("FILE_NAME"), TXT("C:\\d\\doc.xml")}};
  script(parser);
  log.failing = failing;
  modMain::entry(mode, {host, parser});

  Outcome outcome{log.entries, std::nullopt};
  for (const auto& call : host.calls) {
    if (!call.succeeded) continue;
    if (call.name == "hkp_DataAdd" && call.args[0].text == TXT("OUTPUT")) outcome.output = call.args[1].text;
    if (call.name == "hkp_DataAddInt") outcome.modeHandedBack = call.args[1].number == 7;
  }
  return outcome;
}

// Every object created is released once, at the very end: the stylesheet
// document, then the XML document, then the host session.
void expectReleasedInOrder(const std::vector<std::string>& log, const std::string& failing) {
  std::vector<std::string> expected;
  for (const std::string object : {"xsl", "xml", "host"}) {
    if (object + ".create" != failing && std::find(log.begin(), log.end(), object + ".create") != log.end()) {
      expected.push_back(object + ".release");
    }
  }
  ASSERT_GE(log.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(log.end() - static_cast<std::ptrdiff_t>(expected.size()), log.end()), expected);
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& e) { return e.ends_with(".release"); }),
            static_cast<std::ptrdiff_t>(expected.size()));
}

const Text kXml = TXT("Tarnweld Error - The XML Source Did Not Validate!\r\n\r\n");
const Text kXsl = TXT("Tarnweld Error - The XSL File (C:\\d\\doc.xsl) Did Not Validate!\r\n\r\n");
const Text kTransform =
    TXT("Tarnweld Error - The XML Source Did Not Transform With XSL File (C:\\d\\doc.xsl)!\r\n\r\n");
const Text kRecord = TXT("Reason: why\r\nLine: 2 Column: 3\r\n\r\nText: src");

struct Scenario {
  const char* name;
  void (*script)(fakes::FakeParser&);
  // What OUTPUT holds when each call fails; a call not listed is one whose
  // failure leaves the baseline output. No entry may name a call the
  // scenario does not make.
  std::map<std::string, std::optional<Text>> outputWhenFailing;
  Text baseline;
};

void record(fakes::FakeDocumentScript& d) { d.reason = TXT("why"), d.srcText = TXT("src"), d.line = 2, d.linepos = 3; }

TEST(FaultInjectionTest, EveryRunCallFailedInTurn) {
  const Scenario scenarios[] = {
      {"transformed",
       [](fakes::FakeParser& p) { record(p.xml), p.xml.transformResult = TXT("<out/>"); },
       {
           {"host.create", TXT("")},  // nothing is handed back at all
           {"host.hkp_DataGet(INPUT)", TXT("Tarnweld Error - Empty XML File Provided!")},
           {"host.hkp_DataGet(FILE_NAME)", TXT("<out/>")},
           {"xml.create", kXml},
           {"xml.loadXML", kXml + kRecord},
           {"xsl.create", kTransform + kRecord},
           // The flag stays true from the source load; the transformation then
           // fails on the unloaded stylesheet.
           {"xsl.load", kTransform + kRecord},
           {"xml.transformNode", kTransform + kRecord},
           {"host.hkp_DataAdd(OUTPUT)", std::nullopt},
       },
       TXT("<out/>")},
      {"source not loaded",
       [](fakes::FakeParser& p) { record(p.xml), p.xml.loadResult = false; },
       {
           {"host.create", TXT("")},
           {"host.hkp_DataGet(INPUT)", TXT("Tarnweld Error - Empty XML File Provided!")},
           {"xml.create", kXml},
           {"xml.parseError", kXml},
           {"xml.reason", kXml + TXT("Line: 2 Column: 3\r\n\r\nText: src")},
           {"xml.line", kXml + TXT("Reason: why\r\nText: src")},
           {"xml.linepos", kXml + TXT("Reason: why\r\nText: src")},
           {"xml.srcText", kXml + TXT("Reason: why\r\nLine: 2 Column: 3\r\n\r\n")},
           {"host.hkp_DataAdd(OUTPUT)", std::nullopt},
       },
       kXml + kRecord},
      {"stylesheet not loaded",
       [](fakes::FakeParser& p) { record(p.xsl), p.xsl.loadResult = false; },
       {
           {"host.create", TXT("")},
           {"host.hkp_DataGet(INPUT)", TXT("Tarnweld Error - Empty XML File Provided!")},
           {"host.hkp_DataGet(FILE_NAME)",
            TXT("Tarnweld Error - The XSL File (.xsl) Did Not Validate!\r\n\r\n") + kRecord},
           {"xml.create", kXml},
           {"xml.loadXML", kXml + TXT("Reason: \r\nLine: 0 Column: 0\r\n\r\nText: ")},
           {"xsl.create", kTransform + TXT("Reason: \r\nLine: 0 Column: 0\r\n\r\nText: ")},
           {"xsl.load", kTransform + TXT("Reason: \r\nLine: 0 Column: 0\r\n\r\nText: ")},
           {"xsl.parseError", kXsl + TXT("Reason: File was not found.\r\n\r\n")},
           {"xsl.reason", kXsl + TXT("Reason: File was not found.\r\n\r\nLine: 2 Column: 3\r\n\r\nText: src")},
           {"xsl.line", kXsl + TXT("Reason: why\r\nText: src")},
           {"xsl.linepos", kXsl + TXT("Reason: why\r\nText: src")},
           {"xsl.srcText", kXsl + TXT("Reason: why\r\nLine: 2 Column: 3\r\n\r\n")},
           {"host.hkp_DataAdd(OUTPUT)", std::nullopt},
       },
       kXsl + kRecord},
  };

  for (const Scenario& scenario : scenarios) {
    const Outcome baseline = start(TXT("/hkprun"), {}, scenario.script);
    ASSERT_EQ(baseline.output, scenario.baseline) << scenario.name;
    for (const auto& [label, output] : scenario.outputWhenFailing) {
      EXPECT_NE(std::find(baseline.log.begin(), baseline.log.end(), label), baseline.log.end())
          << scenario.name << ": makes no call " << label;
    }

    for (const std::string& label : baseline.log) {
      SCOPED_TRACE(std::string(scenario.name) + ", failing " + label);
      const Outcome outcome = start(TXT("/hkprun"), {label}, scenario.script);
      const auto listed = scenario.outputWhenFailing.find(label);
      std::optional<Text> expected = scenario.baseline;
      if (listed != scenario.outputWhenFailing.end()) expected = listed->second;
      if (expected == TXT("")) expected.reset();  // no host: nothing reaches it
      EXPECT_EQ(outcome.output.has_value(), expected.has_value());
      if (outcome.output && expected) {
        EXPECT_EQ(textToUtf8(*outcome.output), textToUtf8(*expected));
      }
      EXPECT_EQ(outcome.modeHandedBack, label != "host.create" && label != "host.hkp_DataAddInt(MODE_OUTPUT)");
      expectReleasedInOrder(outcome.log, label);
    }
  }
}

TEST(FaultInjectionTest, EveryRegistrationCallFailedInTurn) {
  const Outcome baseline = start(TXT("/hkpreg"), {}, [](fakes::FakeParser&) {});
  ASSERT_EQ(baseline.log.size(), 15u);  // create, thirteen calls, release
  for (const std::string& label : baseline.log) {
    SCOPED_TRACE("failing " + label);
    const Outcome outcome = start(TXT("/hkpreg"), {label}, [](fakes::FakeParser&) {});
    // Each call is independent: only the failed one is missing, or all of them without a host.
    EXPECT_EQ(outcome.log.size(), label == "host.create" ? 1u : 15u);
    expectReleasedInOrder(outcome.log, label);
  }
}

TEST(FaultInjectionTest, AStepStoresItsValueOnlyWhenItSucceeds) {
  const struct {
    const char* name;
    std::optional<Text> (*step)();
    Text expected;
  } cases[] = {
      {"succeeds", [] { return std::optional<Text>(TXT("new")); }, TXT("new")},
      {"succeeds with empty text", [] { return std::optional<Text>(TXT("")); }, TXT("")},
      {"fails", [] { return std::optional<Text>(); }, TXT("earlier")},
      {"throws", []() -> std::optional<Text> { throw std::bad_alloc(); }, TXT("earlier")},
  };
  for (const auto& row : cases) {
    Text target = TXT("earlier");
    runStep(target, row.step);
    EXPECT_EQ(textToUtf8(target), textToUtf8(row.expected)) << row.name;
  }
  bool ranOn = false;
  runStep([]() -> bool { throw std::runtime_error("x"); });
  runStep([&] { return ranOn = true; });
  EXPECT_TRUE(ranOn);
}

}  // namespace
}  // namespace tarnweld
