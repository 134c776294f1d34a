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
#include "verdicts.h"

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
      {"half a UTF-16 code unit", std::string("\xFF\xFEx\0y", 5), u"", "ends in half a code unit"},
      {"a NUL is placed",
       std::string("<a>\n\xC3\xA9"
                   "b\0</a>",
                   12),
       u"", "NUL character (line 2, column 3)"},
      {"a NUL in UTF-16 is placed", std::string("\xFF\xFE\n\0\x3D\xD8\x00\xDE\0\0", 10), u"",
       "NUL character (line 2, column 3)"},
      {"mark beats declaration", "\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?>\xC3\xA9",
       u"<?xml version='1.0' encoding='ISO-8859-1'?>\u00E9", ""},
      {"latin1 alias", "<?xml version=\"1.0\" encoding = 'latin1' ?>\xE9",
       u"<?xml version=\"1.0\" encoding = 'latin1' ?>\u00E9", ""},
      {"declared utf-8 lower case", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\xC3\xA9",
       u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\u00E9", ""},
      {"no declaration, so UTF-8", "\xE9", u"", "not valid UTF-8"},
      {"bad UTF-8 is placed", "<a>\n  \xC3\xA9\xC3(</a>", u"", "line 2, column 4, byte offset 8)"},
      {"a mark counts in the offset only", "\xEF\xBB\xBF\xFF", u"", "line 1, column 1, byte offset 3)"},
      {"declaration not at the start", " <?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\xE9", u"", "not valid UTF-8"},
      {"UTF-16 declared in 8-bit bytes", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>", u"", "byte-order mark"},
      {"windows-1252 euro signs, three bytes each as UTF-8",
       "<?xml version=\"1.0\" encoding=\"windows-1252\"?>" + std::string(3000, '\x80'),
       u"<?xml version=\"1.0\" encoding=\"windows-1252\"?>" + std::u16string(3000, u'\u20AC'), ""},
#ifndef _WIN32
      // iconv's verdicts; Windows' code pages decode 0x81 and name no offset.
      {"undefined windows-1252 byte", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\x81", u"", "byte offset 45"},
      {"truncated Shift_JIS", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\x82", u"", "incomplete"},
#endif
  };
  for (const Row& row : rows) {
    const Result<std::u16string> decoded = decodeDocument(row.bytes);
    // The shortcut for UTF-8 serves the very text the decoding gives, or
    // leaves the document to it.
    const std::optional<std::string_view> utf8 = utf8TextOf(row.bytes);
    if (utf8) {
      ASSERT_TRUE(decoded) << row.what;
      EXPECT_EQ(*utf8, toUtf8(*decoded)) << row.what;
    }
    if (row.errorPart.empty()) {
      ASSERT_TRUE(decoded) << row.what << ": " << decoded.reason();
      EXPECT_EQ(*decoded, row.text) << row.what;
    } else {
      ASSERT_FALSE(decoded) << row.what;
      EXPECT_NE(decoded.reason().find(row.errorPart), std::string::npos) << row.what << ": " << decoded.reason();
    }
  }
}

TEST(HostOptions, ReadValuesInBothFormsAndAnyOrder) {
  const std::vector<std::string_view> args = {
      "--timeout=2.5", "run", "--plugin", "/p", "-", "--reject", "hkp_DataGet:FILE_NAME", "--file-name=C:\\d\\r.xml",
      "--stats"};
  const Result<Options> parsed = parseOptions(args);
  ASSERT_TRUE(parsed) << parsed.reason();
  const Options& o = *parsed;
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

TEST(HostOptions, CommandsTakeTheirArgumentsAndBadUsageSaysWhatIsWrong) {
  const struct {
    std::vector<std::string_view> args;
    Command command;
    std::string document;
  } accepted[] = {
      {{"register"}, Command::Register, ""},
      {{"run", "d.xml", "--timeout=86400"}, Command::Run, "d.xml"},
      {{"run", "--", "--d.xml"}, Command::Run, "--d.xml"},
  };
  for (const auto& row : accepted) {
    const Result<Options> parsed = parseOptions(row.args);
    ASSERT_TRUE(parsed) << row.args.at(0) << ": " << parsed.reason();
    EXPECT_EQ(parsed->command, row.command) << row.args.at(0);
    EXPECT_EQ(parsed->document, row.document) << row.args.at(0);
  }
  const struct {
    std::vector<std::string_view> args;
    std::string errorPart;
  } refused[] = {
      {{}, "no command given"},
      {{"run"}, "run takes exactly one document"},
      {{"run", "a.xml", "b.xml"}, "run takes exactly one document"},
      {{"run", ""}, "the document path is empty"},
      {{"register", "a.xml"}, "register takes no document"},
      {{"frob"}, "unknown command frob"},
      {{"--bogus", "register"}, "unknown option --bogus"},
      {{"--bogus=1", "register"}, "unknown option --bogus"},
      {{"register", "--plugin"}, "--plugin needs a value"},
      {{"--plugin=", "register"}, "--plugin needs a path"},
      {{"--timeout=0", "register"}, "--timeout needs a number of seconds above 0, got \"0\""},
      {{"--timeout=86401", "register"}, "--timeout needs"},
      {{"--timeout=2s", "register"}, "--timeout needs"},
      {{"--timeout=inf", "register"}, "--timeout needs"},
      {{"--reject", "hkp_Nothing", "register"}, "--reject needs a host operation, got \"hkp_Nothing\""},
      {{"--reject=hkp_DataGetX:INPUT", "register"}, "--reject needs"},
      {{"--reject=:INPUT", "register"}, "--reject needs"},
  };
  for (const auto& row : refused) {
    std::string where;
    for (const std::string_view arg : row.args) where.append(arg).append(" ");
    const Result<Options> parsed = parseOptions(row.args);
    ASSERT_FALSE(parsed) << where;
    EXPECT_NE(parsed.reason().find(row.errorPart), std::string::npos) << where << ": " << parsed.reason();
  }
  // An empty key is a key: the rule names the record without a name only.
  const std::vector<std::string_view> emptyKey = {"--reject=hkp_DataAdd:", "register"};
  const Result<Options> parsed = parseOptions(emptyKey);
  ASSERT_TRUE(parsed) << parsed.reason();
  EXPECT_TRUE(rejects(parsed->rejects.at(0), "hkp_DataAdd", ""));
  EXPECT_FALSE(rejects(parsed->rejects.at(0), "hkp_DataAdd", "NAME"));
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
      {{"hkp_DataAdd", "K", std::string("a\"b\\c\r\n\t\x01\x7F \xC3\xA9"), false},
       "K = \"a\\\"b\\\\c\\r\\n\\t\\u0001\\u007F \xC3\xA9\""},
  };
  for (const Row& row : rows) EXPECT_EQ(formatCall(row.call), row.line);
}

TEST(HostRecords, RegistrationSucceedsOnlyWhenARecordCameAfterANormalEnd) {
  const HostCall suffix{std::string(kOpSetGlobalSuffix), "", std::string("_1"), false};
  const HostCall name{std::string(kOpDataAdd), "NAME_1", std::string("Tarnweld"), false};
  const HostCall mode{std::string(kOpDataAddInt), "MODE_1", std::int16_t{1}, true};
  const PluginEnd normal{PluginEnd::Kind::Exited, 0};
  struct Row {
    const char* what;
    PluginEnd end;
    std::vector<HostCall> calls;
    int exitStatus;
    std::string reasonPart;
  };
  const std::vector<Row> rows = {
      {"a record", normal, {suffix, name}, kExitSuccess, ""},
      {"a refused integer record", normal, {mode}, kExitSuccess, ""},
      {"no call at all", normal, {}, kExitPluginFailed, "without adding a record"},
      {"a suffix alone", normal, {suffix, suffix}, kExitPluginFailed, "without adding a record"},
      {"records, then a failure status", {PluginEnd::Kind::Exited, 2}, {name}, kExitPluginFailed, "status 2"},
  };
  for (const Row& row : rows) {
    const Verdict verdict = judgeRegistration(row.end, 1.5, row.calls);
    EXPECT_EQ(verdict.exitStatus, row.exitStatus) << row.what;
    EXPECT_NE(verdict.reason.find(row.reasonPart), std::string::npos) << row.what << ": " << verdict.reason;
    EXPECT_EQ(verdict.reason.empty(), row.reasonPart.empty()) << row.what;
  }
}

TEST(HostRecords, RunSucceedsOnlyWithOutputAndModeSevenAfterANormalEnd) {
  const RecordValue text = std::string("out");
  const RecordValue report = std::string("Tarnweld Error - Empty XML File Provided!");
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
      {"nothing sent", normal, nullptr, nullptr, kExitPluginFailed, "without sending OUTPUT or MODE_OUTPUT"},
      {"no mode", normal, &text, nullptr, kExitPluginFailed, "without sending MODE_OUTPUT"},
      {"wrong mode", normal, &text, &three, kExitPluginFailed, "MODE_OUTPUT 3, not 7"},
      {"output not text", normal, &seven, &seven, kExitPluginFailed, "without sending OUTPUT"},
#ifndef _WIN32  // signal names are POSIX's
      {"crash after the hand-back", {PluginEnd::Kind::Signaled, 6}, &text, &seven, kExitPluginFailed, "SIGABRT"},
#endif
      {"timeout", {PluginEnd::Kind::TimedOut, 9}, &text, &seven, kExitPluginFailed, "within 1.5 s"},
      {"failure status", {PluginEnd::Kind::Exited, 4}, &text, &seven, kExitPluginFailed, "status 4"},
      {"a report", normal, &report, &seven, kExitReport, ""},
      {"a report, then a crash", {PluginEnd::Kind::TimedOut, 9}, &report, &seven, kExitPluginFailed, "within"},
  };
  for (const Row& row : rows) {
    const Verdict verdict = judgeRun(row.end, 1.5, row.output, row.mode);
    EXPECT_EQ(verdict.exitStatus, row.exitStatus) << row.what;
    EXPECT_NE(verdict.reason.find(row.reasonPart), std::string::npos) << row.what << ": " << verdict.reason;
    EXPECT_EQ(verdict.reason.empty(), row.reasonPart.empty()) << row.what;
  }
}

TEST(HostOutput, FilesGetTheEncodingTheTextNamesTerminalsAFinalLineBreak) {
  const std::string latin1Declaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
  const std::string asciiDeclaration = "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>";
  const std::string metaContent =
      "<html><head><META http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-1\">";
  const std::string utf16Declaration = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>";
  std::string utf16Bytes = "\xFF\xFE";
  for (const char c : utf16Declaration + "\xE9") utf16Bytes += {c, '\0'};
  struct Row {
    const char* what;
    std::string output;
    bool terminal;
    bool raw;
    std::string bytes;
  };
  const std::vector<Row> rows = {
      {"terminal: a final line break", "Tarnweld Error - x\r\nText: y", true, false, "Tarnweld Error - x\r\nText: y\n"},
      {"terminal: none added to one", "a\n", true, false, "a\n"},
      {"terminal: UTF-8 whatever is named", latin1Declaration + "\xC3\xA9", true, false,
       latin1Declaration + "\xC3\xA9\n"},
      {"file: XML declaration", latin1Declaration + "\xC3\xA9", false, false, latin1Declaration + "\xE9"},
      {"file: meta content charset", metaContent + "\xC3\xA9", false, false, metaContent + "\xE9"},
      {"file: meta charset", "<meta charset='windows-1252'>\xE2\x82\xAC", false, false,
       "<meta charset='windows-1252'>\x80"},
      {"file: meta past the first 1,024 bytes", std::string(1024, ' ') + "<meta charset='windows-1252'>\xC3\xA9", false,
       false, std::string(1024, ' ') + "<meta charset='windows-1252'>\xC3\xA9"},
      {"file: meta charset ending at byte 1,024", std::string(998, ' ') + "<meta charset=windows-1252>\xE2\x82\xAC",
       false, false, std::string(998, ' ') + "<meta charset=windows-1252>\x80"},
      {"file: a meta without charset, then one with", "<meta name='a'><meta charset='windows-1252'>\xE2\x82\xAC", false,
       false, "<meta name='a'><meta charset='windows-1252'>\x80"},
      {"terminal: nothing stays nothing", "", true, false, ""},
      {"file: meta UTF-16 means UTF-8", "<meta charset=\"utf-16\">\xC3\xA9", false, false,
       "<meta charset=\"utf-16\">\xC3\xA9"},
      {"file: UTF-16 declaration, with a mark", utf16Declaration + "\xC3\xA9", false, false, utf16Bytes},
      {"file: a character the encoding lacks", asciiDeclaration + "\xC3\xA9", false, false,
       asciiDeclaration + "\xC3\xA9"},
      {"file: an unknown encoding", "<?xml version='1.0' encoding='x-none'?>\xC3\xA9", false, false,
       "<?xml version='1.0' encoding='x-none'?>\xC3\xA9"},
      {"file: nothing named, no line break added", "\xC3\xA9", false, false, "\xC3\xA9"},
      {"file: raw UTF-8 asked for", latin1Declaration + "\xC3\xA9", false, true, latin1Declaration + "\xC3\xA9"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(outputBytes(row.output, row.terminal, row.raw), row.bytes) << row.what;
    // Written from where it lies only when nothing would change it.
    if (outputStandsAsItIs(row.output, row.terminal, row.raw)) {
      EXPECT_EQ(row.bytes, row.output) << row.what;
    }
  }
}

TEST(HostOptions, HelpVersionAndRawUtf8AreSwitches) {
  const std::vector<std::string_view> help = {"run", "--help", "--bogus"};
  const Result<Options> h = parseOptions(help);
  ASSERT_TRUE(h) << h.reason();
  EXPECT_TRUE(h->help);

  const std::vector<std::string_view> version = {"--version"};
  const Result<Options> v = parseOptions(version);
  ASSERT_TRUE(v) << v.reason();
  EXPECT_TRUE(v->version);
  EXPECT_TRUE(versionText().starts_with("tarnweld-host ")) << versionText();

  const std::vector<std::string_view> raw = {"--raw-utf8", "run", "d.xml"};
  const Result<Options> r = parseOptions(raw);
  ASSERT_TRUE(r) << r.reason();
  EXPECT_TRUE(r->rawUtf8);
}

}  // namespace
}  // namespace tarnweld::host
