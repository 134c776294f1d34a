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

  void start(std::u16string_view arguments) { modMain::entry(arguments, {host, parser}); }

  const std::u16string* output() const {
    for (auto it = host.calls.rbegin(); it != host.calls.rend(); ++it) {
      if (it->name == "hkp_DataAdd" && it->succeeded && it->args.at(0).text == u"OUTPUT") return &it->args[1].text;
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
    std::u16string_view arguments;
    const char* firstCall;  // nullptr: no mode, nothing created
  } cases[] = {
      {u"/hkpreg", "host.create"},   {u"/hkprun", "host.create"}, {u"", nullptr},         {u"/HKPREG", nullptr},
      {u"/HkpRun", nullptr},         {u"/hkprun ", nullptr},      {u" /hkpreg", nullptr}, {u"-hkprun", nullptr},
      {u"/hkpreg /hkprun", nullptr}, {u"/hkpre", nullptr},        {u"hkprun", nullptr},
  };
  for (const auto& row : cases) {
    Program program;
    program.start(row.arguments);
    SCOPED_TRACE("arguments: \"" + toUtf8(row.arguments) + "\"");
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
  program.start(u"/hkpreg");

  const std::vector<std::pair<std::string, std::vector<RecordedArg>>> expected = {
      {"hkp_DataSetGlobalSuffix", {stringArg(u"_1")}},
      {"hkp_DataAdd", {stringArg(u"NAME"), stringArg(u"Tarnweld")}},
      {"hkp_DataAdd", {stringArg(u"SECTION"), stringArg(u"Tools")}},
      {"hkp_DataAdd", {stringArg(u"VERSION"), stringArg(u"1.0")}},
      {"hkp_DataAdd", {stringArg(u"AUTHOR"), stringArg(u"The Tarnweld Project")}},
      {"hkp_DataAdd", {stringArg(u"EMAIL"), stringArg(u"tarnweld@example.org")}},
      {"hkp_DataAdd", {stringArg(u"URL_HOME"), stringArg(u"")}},
      {"hkp_DataAdd",
       {stringArg(u"DESCRIPTION"),
        stringArg(u"Transform an XML (eXtensible Markup Language) file with an XSL "
                  u"(eXtensible Stylesheet Language) file using Microsoft's XML 3.0 parser")}},
      {"hkp_DataAdd", {stringArg(u"HINT"), stringArg(u"Transform an XML file with an XSL file using MSXML 3.0")}},
      {"hkp_DataAdd", {stringArg(u"MODE_SHOW_STATUS"), intArg(1)}},
      {"hkp_DataAdd", {stringArg(u"MODE_IN_TEXT_FULL"), intArg(1)}},
      {"hkp_DataAdd", {stringArg(u"MODE_ADD_MENU_SHORTCUTS"), intArg(1)}},
      {"hkp_DataSetGlobalSuffix", {stringArg(u"")}},
  };
  ASSERT_EQ(program.host.calls.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("call " + std::to_string(i + 1));
    EXPECT_EQ(program.host.calls[i].name, expected[i].first);
    EXPECT_EQ(program.host.calls[i].args, expected[i].second);
  }
  EXPECT_EQ(program.host.createdProgId, u"htmlkit.HTMLKitPluginsCore");
  EXPECT_EQ(program.log.entries.back(), "host.release");
  // Registration creates no parser document.
  EXPECT_EQ(std::count_if(program.log.entries.begin(), program.log.entries.end(),
                          [](const std::string& e) { return e.ends_with(".create") && !e.starts_with("host"); }),
            0);
}

TEST(RunDriverTest, ReadsTransformsAndHandsBackInOrder) {
  Program program;
  program.host.records = {{u"INPUT", u"<doc/>"}, {u"FILE_NAME", u"C:\\docs\\report.xml"}};
  program.parser.xml.transformResult = u"<html>done</html>";
  program.start(u"/hkprun");

  EXPECT_EQ(program.hostCalls(),
            (std::vector<std::string>{"host.create", "host.hkp_DataGet(INPUT)", "host.hkp_DataGet(FILE_NAME)",
                                      "host.hkp_DataAdd(OUTPUT)", "host.hkp_DataAddInt(MODE_OUTPUT)", "host.release"}));
  const auto& calls = program.host.calls;
  EXPECT_EQ(calls[0].args, (std::vector{stringArg(u"INPUT"), refArg(u"")}));
  EXPECT_EQ(calls[1].args, (std::vector{stringArg(u"FILE_NAME"), refArg(u"")}));
  EXPECT_EQ(calls[2].args, (std::vector{stringArg(u"OUTPUT"), refArg(u"<html>done</html>")}));
  EXPECT_EQ(calls[3].args, (std::vector{stringArg(u"MODE_OUTPUT"), intArg(7)}));
  EXPECT_EQ(program.parser.loadedText, u"<doc/>");
  EXPECT_EQ(program.parser.loadedPath, u"C:\\docs\\report.xsl");
  // The documents go first, the stylesheet before the source, then the session.
  const std::vector<std::string> tail(program.log.entries.end() - 3, program.log.entries.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"xsl.release", "xml.release", "host.release"}));
}

TEST(RunDriverTest, AnOutputTheHostCannotTakeWholeIsReplacedByAReportThatSaysWhy) {
  const std::u16string result(11, u'r');
  const struct {
    std::size_t limit;
    std::u16string expected;
  } cases[] = {
      {11, result},
      {10,
       u"Tarnweld Error - The XML Source Did Not Transform With XSL File (C:\\d\\doc.xsl)!\r\n\r\n"
       u"Reason: 11 characters, over the limit of 10\r\nLine: 0 Column: 0\r\n\r\nText: "},
  };
  for (const auto& row : cases) {
    Program program;
    program.host.records = {{u"INPUT", u"<doc/>"}, {u"FILE_NAME", u"C:\\d\\doc.xml"}};
    program.host.textLimit = row.limit;
    program.parser.xml.transformResult = result;
    program.start(u"/hkprun");
    ASSERT_NE(program.output(), nullptr) << row.limit;
    EXPECT_EQ(toUtf8(*program.output()), toUtf8(row.expected)) << row.limit;
    EXPECT_EQ(program.host.calls.back().args, (std::vector{stringArg(u"MODE_OUTPUT"), intArg(7)})) << row.limit;
  }
}

TEST(RunDriverTest, EmptyInputGivesTheMessageAndLooksForNoStylesheet) {
  Program program;
  program.host.records = {{u"INPUT", u""}, {u"FILE_NAME", u"C:\\a.xml"}};
  program.start(u"/hkprun");
  EXPECT_EQ(program.hostCalls(),
            (std::vector<std::string>{"host.create", "host.hkp_DataGet(INPUT)", "host.hkp_DataAdd(OUTPUT)",
                                      "host.hkp_DataAddInt(MODE_OUTPUT)", "host.release"}));
  ASSERT_NE(program.output(), nullptr);
  EXPECT_EQ(*program.output(), u"Tarnweld Error - Empty XML File Provided!");
}

TEST(RunDriverTest, OneBlankIsADocument) {
  Program program;
  program.host.records = {{u"INPUT", u" "}};
  program.start(u"/hkprun");
  EXPECT_EQ(program.parser.loadedText, u" ");
  EXPECT_EQ(program.parser.loadedPath, u".xsl");
}

TEST(RunDriverTest, AStylesheetInstructionIsResolvedAgainstTheDocumentDirectory) {
  Program program;
  program.host.records = {{u"INPUT", u"<?xml-stylesheet href=\"../styles/x.xsl\"?><doc/>"},
                          {u"FILE_NAME", u"C:\\site\\pages\\doc.xml"}};
  program.start(u"/hkprun");
  EXPECT_EQ(program.parser.loadedPath, u"C:\\site\\styles/x.xsl");
}

TEST(RunDriverTest, TheDefaultPathIsTakenAsItStands) {
  Program program;
  program.host.records = {{u"INPUT", u"<doc/>"}, {u"FILE_NAME", u"\\\\server\\share\\doc.xml"}};
  program.start(u"/hkprun");
  EXPECT_EQ(program.parser.loadedPath, u"\\\\server\\share\\doc.xsl");
}

TEST(RunDriverTest, WithNoHostNothingReachesAnythingAndTheProgramEnds) {
  for (const char16_t* mode : {u"/hkpreg", u"/hkprun"}) {
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
