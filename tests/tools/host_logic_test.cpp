// The host stand-in's pure parts: how it decodes a document, reads its
// command line, lists calls and judges a run.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "document_text.h"
#include "host_options.h"
#include "host_records.h"
#include "text/utf.h"

namespace tarnweld::host {
namespace {

TEST(DocumentDecoding, FollowsMarkThenDeclarationThenUtf8) {
  struct Row {
    const char* what;
    std::string bytes;
    std::u16string text;  // empty with an error expected
    std::string errorPart;
  };
  const std::vector<Row> rows = {
      {"plain UTF-8", "<a>\xC3\xA9</a>", u"<a>\u00E9</a>", ""},
      {"UTF-8 mark is not text", "\xEF\xBB\xBFx", u"x", ""},
      {"UTF-16 LE mark", std::string("\xFF\xFEx\0", 4), u"x", ""},
      {"UTF-16 BE mark", std::string("\xFE\xFF\0x", 4), u"x", ""},
      {"UTF-16 LE without mark", std::string("<\0?\0", 4), u"<?", ""},
      {"lone surrogate kept", std::string("\xFF\xFE\x00\xD8", 4), std::u16string(1, char16_t{0xD800}), ""},
      {"mark beats declaration", "\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?>\xC3\xA9",
       u"<?xml version='1.0' encoding='ISO-8859-1'?>\u00E9", ""},
      {"latin1 alias", "<?xml version=\"1.0\" encoding = 'latin1' ?>\xE9",
       u"<?xml version=\"1.0\" encoding = 'latin1' ?>\u00E9", ""},
      {"declared utf-8 lower case", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\xC3\xA9",
       u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\u00E9", ""},
      {"no declaration, so UTF-8", "\xE9", u"", "not valid UTF-8"},
      {"declaration not at the start", " <?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\xE9", u"", "not valid UTF-8"},
      {"UTF-16 declared in 8-bit bytes", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>", u"", "byte-order mark"},
#ifndef _WIN32
      // iconv's verdicts; Windows' code pages decode 0x81 and name no offset.
      {"undefined windows-1252 byte", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\x81", u"", "byte offset 45"},
      {"truncated Shift_JIS", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\x82", u"", "incomplete"},
#endif
  };
  for (const Row& row : rows) {
    const DecodedDocument decoded = decodeDocument(row.bytes);
    // The shortcut for UTF-8 serves the very text the decoding gives, or
    // leaves the document to it.
    const std::optional<std::string_view> utf8 = utf8TextOf(row.bytes);
    if (utf8) {
      ASSERT_TRUE(decoded.text) << row.what;
      EXPECT_EQ(*utf8, toUtf8(*decoded.text)) << row.what;
    }
    if (row.errorPart.empty()) {
      ASSERT_TRUE(decoded.text) << row.what << ": " << decoded.error;
      EXPECT_EQ(*decoded.text, row.text) << row.what;
    } else {
      EXPECT_FALSE(decoded.text) << row.what;
      EXPECT_NE(decoded.error.find(row.errorPart), std::string::npos) << row.what << ": " << decoded.error;
    }
  }
}

TEST(HostOptions, ReadValuesInBothFormsAndAnyOrder) {
  const std::vector<std::string_view> args = {
      "--timeout=2.5", "run", "--plugin", "/p", "-", "--reject", "hkp_DataGet:FILE_NAME", "--file-name=C:\\d\\r.xml",
      "--stats"};
  const ParsedOptions parsed = parseOptions(args);
  ASSERT_TRUE(parsed.options) << parsed.error;
  const Options& o = *parsed.options;
  EXPECT_EQ(o.command, Command::Run);
  EXPECT_EQ(o.document, "-");
  EXPECT_EQ(o.plugin, "/p");
  EXPECT_EQ(o.timeoutSeconds, 2.5);
  EXPECT_EQ(o.fileName, "C:\\d\\r.xml");
  EXPECT_TRUE(o.stats);
  ASSERT_EQ(o.rejects.size(), 1u);
  EXPECT_TRUE(rejects(o.rejects[0], "hkp_DataGet", "FILE_NAME"));
  EXPECT_FALSE(rejects(o.rejects[0], "hkp_DataGet", "INPUT"));
  EXPECT_FALSE(rejects(o.rejects[0], "hkp_DataAdd", "FILE_NAME"));
}

TEST(HostRecords, CallsAreListedWithKeyKindAndEscapes) {
  struct Row {
    HostCall call;
    std::string line;
  };
  const std::vector<Row> rows = {
      {{"hkp_DataSetGlobalSuffix", "", std::string("_1"), false}, "(suffix \"_1\")"},
      {{"hkp_DataAdd", "URL_HOME_1", std::string(), false}, "URL_HOME_1 = \"\""},
      {{"hkp_DataAdd", "MODE_1", std::int16_t{-3}, false}, "MODE_1 = -3 (int16)"},
      {{"hkp_DataAddInt", "MODE_OUTPUT", std::int16_t{7}, true}, "MODE_OUTPUT = 7 (int16) (rejected)"},
      {{"hkp_DataGet", "INPUT", std::string(), false}, "(get \"INPUT\")"},
      {{"hkp_DataAdd", "K", std::string("a\"b\\c\r\n\t\x01\xC3\xA9"), false},
       "K = \"a\\\"b\\\\c\\r\\n\\t\\u0001\xC3\xA9\""},
  };
  for (const Row& row : rows) EXPECT_EQ(formatCall(row.call), row.line);
}

TEST(HostRecords, RunSucceedsOnlyWithOutputAndModeSevenAfterANormalEnd) {
  const RecordValue text = std::string("out");
  const RecordValue seven = std::int16_t{7};
  const RecordValue three = std::int16_t{3};
  const PluginEnd normal{PluginEnd::Kind::Exited, 0};
  struct Row {
    const char* what;
    PluginEnd end;
    const RecordValue* output;
    const RecordValue* mode;
    int exitStatus;
    std::string reasonPart;
  };
  const std::vector<Row> rows = {
      {"complete", normal, &text, &seven, kExitSuccess, ""},
      {"no mode", normal, &text, nullptr, kExitPluginFailed, "without sending MODE_OUTPUT"},
      {"wrong mode", normal, &text, &three, kExitPluginFailed, "MODE_OUTPUT 3, not 7"},
      {"output not text", normal, &seven, &seven, kExitPluginFailed, "without sending OUTPUT"},
#ifndef _WIN32  // signal names are POSIX's
      {"crash after the hand-back", {PluginEnd::Kind::Signaled, 6}, &text, &seven, kExitPluginFailed, "SIGABRT"},
#endif
      {"timeout", {PluginEnd::Kind::TimedOut, 9}, &text, &seven, kExitPluginFailed, "within 1.5 s"},
      {"failure status", {PluginEnd::Kind::Exited, 4}, &text, &seven, kExitPluginFailed, "status 4"},
  };
  for (const Row& row : rows) {
    const Verdict verdict = judgeRun(row.end, 1.5, row.output, row.mode);
    EXPECT_EQ(verdict.exitStatus, row.exitStatus) << row.what;
    EXPECT_NE(verdict.reason.find(row.reasonPart), std::string::npos) << row.what << ": " << verdict.reason;
    EXPECT_EQ(verdict.reason.empty(), row.reasonPart.empty()) << row.what;
  }
}

}  // namespace
}  // namespace tarnweld::host
