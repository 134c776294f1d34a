// The entry procedure, registration and the run driver against the fake host
// and parser: which calls reach the host, in what order and with what kinds.
// What each failing call leads to is in fault_injection_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>

#include "fakes/fake_host.h"
#include "fakes/fake_parser.h"
#include "main/mod_main.h"
#include "register/registration_records.h"
#include "run/run_driver.h"
#include "text/utf.h"

namespace tarnweld {
namespace {

using fakes::intArg;
using fakes::RecordedArg;
using fakes::refArg;
using fakes::stringArg;

struct Program {
  fakes::CallLog log;
  fakes::FakeHost host{log};
  fakes::FakeParser parser{log};

  void start(TextView arguments) { modMain::entry(arguments, {host, parser}); }

  const Text* output() const {
    for (auto it = host.calls.rbegin(); it != host.calls.rend(); ++it) {
      if (it->name == "hkp_DataAdd" && it->succeeded && it->args.at(0).text == TXT("OUTPUT")) return &it->args[1].text;
    }
    return nullptr;
  }

  std::vector<std::string> hostCalls() const {
    std::vector<std::string> labels;
    std::copy_if(log.entries.begin(), log.entries.end(), std::back_inserter(labels),
                 [](const std::string& label) { return label.starts_with("host."); });
    return labels;
  }
};

TEST(EntryTest, OnlyTheExactSwitchesSelectAMode) {
  const struct {
    TextView arguments;
    const char* firstCall;  // nullptr: no mode, nothing created
  } cases[] = {
      {TXT("/hkpreg"), "host.create"}, {TXT("/hkprun"), "host.create"}, {TXT(""), nullptr},
      {TXT("/HKPREG"), nullptr},       {TXT("/HkpRun"), nullptr},       {TXT("/hkprun "), nullptr},
      {TXT(" /hkpreg"), nullptr},      {TXT("-hkprun"), nullptr},       {TXT("/hkpreg /hkprun"), nullptr},
      {TXT("/hkpre"), nullptr},        {TXT("hkprun"), nullptr},
  };
  for (const auto& row : cases) {
    Program program;
    program.start(row.arguments);
    SCOPED_TRACE("arguments: \"" + textToUtf8(row.arguments) + "\"");
    if (row.firstCall) {
      ASSERT_FALSE(program.log.entries.empty());
      EXPECT_EQ(program.log.entries.front(), row.firstCall);
    } else {
      EXPECT_TRUE(program.log.entries.empty());
    }
  }
}

TEST(RegistrationTest, MakesTheThirteenCallsInOrderWithTheirKinds) {
  Program program;
  program.start(TXT("/hkpreg"));

  const std::vector<std::pair<std::string, std::vector<RecordedArg>>> expected = {
      {"hkp_DataSetGlobalSuffix", {stringArg(TXT("_1"))}},
      {"hkp_DataAdd", {stringArg(TXT("NAME")), stringArg(TXT("Tarnweld"))}},
      {"hkp_DataAdd", {stringArg(TXT("SECTION")), stringArg(TXT("Tools"))}},
      {"hkp_DataAdd", {stringArg(TXT("VERSION")), stringArg(TXT("1.0"))}},
      {"hkp_DataAdd", {stringArg(TXT("AUTHOR")), stringArg(TXT("The Tarnweld Project"))}},
      {"hkp_DataAdd", {stringArg(TXT("EMAIL")), stringArg(TXT("tarnweld@example.org"))}},
      {"hkp_DataAdd", {stringArg(TXT("URL_HOME")), stringArg(TXT(""))}},
      {"hkp_DataAdd",
       {stringArg(TXT("DESCRIPTION")),
        stringArg(TXT("Transform an XML (eXtensible Markup Language) file with an XSL "
                      "(eXtensible Stylesheet Language) file using Microsoft's XML 3.0 parser"))}},
      {"hkp_DataAdd",
       {stringArg(TXT("HINT")), stringArg(TXT("Transform an XML file with an XSL file using MSXML 3.0"))}},
      {"hkp_DataAdd", {stringArg(TXT("MODE_SHOW_STATUS")), intArg(1)}},
      {"hkp_DataAdd", {stringArg(TXT("MODE_IN_TEXT_FULL")), intArg(1)}},
      {"hkp_DataAdd", {stringArg(TXT("MODE_ADD_MENU_SHORTCUTS")), intArg(1)}},
      {"hkp_DataSetGlobalSuffix", {stringArg(TXT(""))}},
  };
  ASSERT_EQ(program.host.calls.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("call " + std::to_string(i + 1));
    EXPECT_EQ(program.host.calls[i].name, expected[i].first);
    EXPECT_EQ(program.host.calls[i].args, expected[i].second);
  }
  EXPECT_EQ(program.host.createdProgId, TXT("htmlkit.HTMLKitPluginsCore"));
  EXPECT_EQ(program.log.entries.back(), "host.release");
  // Registration creates no parser document.
  EXPECT_EQ(std::count_if(program.log.entries.begin(), program.log.entries.end(),
                          [](const std::string& e) { return e.ends_with(".create") && !e.starts_with("host"); }),
            0);
}

TEST(RunDriverTest, ReadsTransformsAndHandsBackInOrder) {
  Program program;
  program.host.records = {{TXT("INPUT"), TXT("<doc/>")}, {TXT("FILE_NAME"), TXT("C:\\docs\\report.xml")}};
  program.parser.xml.transformResult = TXT("<html>done</html>");
  program.start(TXT("/hkprun"));

  EXPECT_EQ(program.hostCalls(),
            (std::vector<std::string>{"host.create", "host.hkp_DataGet(INPUT)", "host.hkp_DataGet(FILE_NAME)",
                                      "host.hkp_DataAdd(OUTPUT)", "host.hkp_DataAddInt(MODE_OUTPUT)", "host.release"}));
  const auto& calls = program.host.calls;
  EXPECT_EQ(calls[0].args, (std::vector{stringArg(TXT("INPUT")), refArg(TXT(""))}));
  EXPECT_EQ(calls[1].args, (std::vector{stringArg(TXT("FILE_NAME")), refArg(TXT(""))}));
  EXPECT_EQ(calls[2].args, (std::vector{stringArg(TXT("OUTPUT")), refArg(TXT("<html>done</html>"))}));
  EXPECT_EQ(calls[3].args, (std::vector{stringArg(TXT("MODE_OUTPUT")), intArg(7)}));
  EXPECT_EQ(program.parser.loadedText, TXT("<doc/>"));
  EXPECT_EQ(program.parser.loadedPath, TXT("C:\\docs\\report.xsl"));
  // The documents go first, the stylesheet before the source, then the session.
  const std::vector<std::string> tail(program.log.entries.end() - 3, program.log.entries.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"xsl.release", "xml.release", "host.release"}));
}

TEST(RunDriverTest, AnOutputTheHostCannotTakeWholeIsReplacedByAReportThatSaysWhy) {
  const Text result(11, TXT('r'));
  const struct {
    std::size_t limit;
    Text expected;
  } cases[] = {
      {11, result},
      {10, TXT("Tarnweld Error - The XML Source Did Not Transform With XSL File (C:\\d\\doc.xsl)!\r\n\r\n"
               "Reason: 11 characters, over the limit of 10\r\nLine: 0 Column: 0\r\n\r\nText: ")},
  };
  for (const auto& row : cases) {
    Program program;
    program.host.records = {{TXT("INPUT"), TXT("<doc/>")}, {TXT("FILE_NAME"), TXT("C:\\d\\doc.xml")}};
    program.host.textLimit = row.limit;
    program.parser.xml.transformResult = result;
    program.start(TXT("/hkprun"));
    ASSERT_NE(program.output(), nullptr) << row.limit;
    EXPECT_EQ(textToUtf8(*program.output()), textToUtf8(row.expected)) << row.limit;
    EXPECT_EQ(program.host.calls.back().args, (std::vector{stringArg(TXT("MODE_OUTPUT")), intArg(7)})) << row.limit;
  }
}

#if !TARNWELD_TEXT_UTF16
// The host holds no text of more than kMaxTextUnits characters: a result
// counted longer (by the pass that checked it) gets the report in its place.
TEST(RunDriverTest, AResultOverTheHostsCharacterLimitIsReplacedByAReport) {
  for (const std::size_t units : {kMaxTextUnits, kMaxTextUnits + 1}) {
    Program program;
    program.host.records = {{TXT("INPUT"), TXT("<doc/>")}, {TXT("FILE_NAME"), TXT("C:\\d\\doc.xml")}};
    program.parser.xml.transformResult = Text::trusted("rrr", units);
    program.start(TXT("/hkprun"));
    ASSERT_NE(program.output(), nullptr) << units;
    const std::string output = textToUtf8(*program.output());
    if (units == kMaxTextUnits) {
      EXPECT_EQ(output, "rrr");
    } else {
      EXPECT_NE(output.find("Reason: the result is 2147483648 characters, over the host's limit of 2147483647"),
                std::string::npos)
          << output;
    }
  }
}
#endif

TEST(RunDriverTest, EmptyInputGivesTheMessageAndLooksForNoStylesheet) {
  Program program;
  program.host.records = {{TXT("INPUT"), TXT("")}, {TXT("FILE_NAME"), TXT("C:\\a.xml")}};
  program.start(TXT("/hkprun"));
  EXPECT_EQ(program.hostCalls(),
            (std::vector<std::string>{"host.create", "host.hkp_DataGet(INPUT)", "host.hkp_DataAdd(OUTPUT)",
                                      "host.hkp_DataAddInt(MODE_OUTPUT)", "host.release"}));
  ASSERT_NE(program.output(), nullptr);
  EXPECT_EQ(*program.output(), TXT("Tarnweld Error - Empty XML File Provided!"));
}

TEST(RunDriverTest, OneBlankIsADocument) {
  Program program;
  program.host.records = {{TXT("INPUT"), TXT(" ")}};
  program.start(TXT("/hkprun"));
  EXPECT_EQ(program.parser.loadedText, TXT(" "));
  EXPECT_EQ(program.parser.loadedPath, TXT(".xsl"));
}

TEST(RunDriverTest, AStylesheetInstructionIsResolvedAgainstTheDocumentDirectory) {
  Program program;
  program.host.records = {{TXT("INPUT"), TXT("<?xml-stylesheet href=\"../styles/x.xsl\"?><doc/>")},
                          {TXT("FILE_NAME"), TXT("C:\\site\\pages\\doc.xml")}};
  program.start(TXT("/hkprun"));
  EXPECT_EQ(program.parser.loadedPath, TXT("C:\\site\\styles/x.xsl"));
}

TEST(RunDriverTest, TheDefaultPathIsTakenAsItStands) {
  Program program;
  program.host.records = {{TXT("INPUT"), TXT("<doc/>")}, {TXT("FILE_NAME"), TXT("\\\\server\\share\\doc.xml")}};
  program.start(TXT("/hkprun"));
  EXPECT_EQ(program.parser.loadedPath, TXT("\\\\server\\share\\doc.xsl"));
}

TEST(RunDriverTest, WithNoHostNothingReachesAnythingAndTheProgramEnds) {
  for (const TextView mode : {TXT("/hkpreg"), TXT("/hkprun")}) {
    Program program;
    program.log.failing = {"host.create"};
    program.start(mode);
    EXPECT_TRUE(program.host.calls.empty());
    // The run still composes its output (the empty-input message) but creates no document.
    EXPECT_EQ(program.log.entries, std::vector<std::string>{"host.create"});
  }
}

}  // namespace
}  // namespace tarnweld
