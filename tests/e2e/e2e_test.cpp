// The real binaries end to end: tarnweld-host on its private bus starting the
// real tarnweld.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "private_bus/private_bus.h"
#include "process_runner.h"

namespace tarnweld::e2e {
namespace {

namespace fs = std::filesystem;

const std::string kHost = TARNWELD_HOST_PATH;
const std::string kPlugin = TARNWELD_PLUGIN_PATH;
const fs::path kExamples = TARNWELD_EXAMPLES_DIR;

const std::string kEmptyInputMessage = "Tarnweld Error - Empty XML File Provided!";
const std::string kXmlReportHeader = "Tarnweld Error - The XML Source Did Not Validate!\r\n\r\n";
const std::string kFileNotFound = "Reason: File was not found.\r\n\r\n";
// A stylesheet that hands back the document's text content, to see what text the plug-in received.
const std::string kTextStylesheet =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"text\" encoding=\"UTF-8\"/>"
    "<xsl:template match=\"/\"><xsl:value-of select=\".\"/></xsl:template></xsl:stylesheet>";

ProcessResult runHost(std::vector<std::string> args, std::string input = {}) {
  args.insert(args.begin(), kHost);
  return runProcess({.arguments = std::move(args), .input = std::move(input), .environment = {}, .directory = {}});
}

std::string describe(const ProcessResult& r) {
  return "exit " + std::to_string(r.exitStatus) + " signal " + std::to_string(r.signal) + "\nstdout: [" + r.out +
         "]\nstderr: [" + r.err + "]";
}

// The host's convention for a POSIX path: "\" between directories.
std::string hostPath(const fs::path& path) {
  std::string text = path.string();
  for (char& c : text) c = c == '/' ? '\\' : c;
  return text;
}

std::string stylesheetReportStart(const std::string& path) {
  return "Tarnweld Error - The XSL File (" + path + ") Did Not Validate!\r\n\r\n";
}

// A plug-in stand-in: a shell script in `dir`.
std::string script(const TempDir& dir, const std::string& body) {
  const fs::path path = dir.write("plugin.sh", "#!/bin/sh\n" + body + "\n");
  fs::permissions(path, fs::perms::owner_all);
  return path.string();
}

TEST(Registration, PrintsTheThirteenCallsInOrderWithTheirKinds) {
  const ProcessResult r = runHost({"register"});
  EXPECT_EQ(r.exitStatus, 0) << describe(r);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "(suffix \"_1\")\n"
            "NAME_1 = \"Tarnweld\"\n"
            "SECTION_1 = \"Tools\"\n"
            "VERSION_1 = \"1.0\"\n"
            "AUTHOR_1 = \"The Tarnweld Project\"\n"
            "EMAIL_1 = \"tarnweld@example.org\"\n"
            "URL_HOME_1 = \"\"\n"
            "DESCRIPTION_1 = \"Transform an XML (eXtensible Markup Language) file with an XSL (eXtensible "
            "Stylesheet Language) file using Microsoft's XML 3.0 parser\"\n"
            "HINT_1 = \"Transform an XML file with an XSL file using MSXML 3.0\"\n"
            "MODE_SHOW_STATUS_1 = 1 (int16)\n"
            "MODE_IN_TEXT_FULL_1 = 1 (int16)\n"
            "MODE_ADD_MENU_SHORTCUTS_1 = 1 (int16)\n"
            "(suffix \"\")\n");
}

TEST(Registration, RefusedCallsAreSkippedAndTheRestStillCome) {
  // With the first suffix call refused, the records carry no suffix.
  const ProcessResult r =
      runHost({"--reject", "hkp_DataSetGlobalSuffix:_1", "--reject", "hkp_DataAdd:HINT", "register"});
  EXPECT_EQ(r.exitStatus, 0) << describe(r);
  EXPECT_NE(r.out.find("(suffix \"_1\") (rejected)\nNAME = \"Tarnweld\"\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("HINT = \"Transform an XML file with an XSL file using MSXML 3.0\" (rejected)\n"
                       "MODE_SHOW_STATUS = 1 (int16)\n"),
            std::string::npos)
      << r.out;
  EXPECT_TRUE(r.out.ends_with("(suffix \"\")\n")) << r.out;
}

TEST(Run, EmptyDocumentHandsBackTheEmptyInputMessage) {
  TempDir dir;
  const ProcessResult r = runHost({"run", dir.write("empty.xml", "").string()});
  EXPECT_EQ(r.exitStatus, 4) << describe(r);
  EXPECT_EQ(r.out, kEmptyInputMessage);
  EXPECT_EQ(r.err, "");
}

TEST(Run, OneBlankGoesThroughTheWholeRunToTheXmlReport) {
  TempDir dir;
  const ProcessResult r = runHost({"run", dir.write("blank.xml", " ").string()});
  EXPECT_EQ(r.exitStatus, 4) << describe(r);
  EXPECT_TRUE(r.out.starts_with(kXmlReportHeader)) << describe(r);
  EXPECT_EQ(r.err, "");
}

TEST(Plugin, WithoutAHostEndsAtOnceSilently) {
  TempDir dir;
  const auto started = posix::PrivateBus::start();
  ASSERT_TRUE(started) << started.reason();
  const auto& hostlessBus = *started;
  struct Row {
    const char* what;
    std::map<std::string, std::optional<std::string>> environment;
  };
  const std::vector<Row> rows = {
      {"no bus address, no per-user bus", {{"XDG_RUNTIME_DIR", dir.path().string()}}},
      {"an address whose socket does not exist",
       {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (dir.path() / "no-such-socket").string()}}},
      {"a bus on which nobody owns the host's name", {{"DBUS_SESSION_BUS_ADDRESS", hostlessBus->address()}}},
  };
  for (const Row& row : rows) {
    for (const char* mode : {"/hkprun", "/hkpreg"}) {
      const ProcessResult r = runProcess({{kPlugin, mode}, {}, row.environment, {}});
      const std::string where = std::string(row.what) + ", " + mode + "\n" + describe(r);
      EXPECT_EQ(r.exitStatus, 0) << where;
      EXPECT_EQ(r.out, "") << where;
      EXPECT_EQ(r.err, "") << where;
      EXPECT_LT(r.elapsed.count(), 0.5) << where;
    }
  }
}

TEST(Run, RefusedHostCallsEndAsTheFailurePolicySays) {
  struct Row {
    std::string reject;
    int exitStatus;
    std::string out;  // exact
    std::string errPart;
  };
  const std::vector<Row> rows = {
      {"hkp_DataGet:INPUT", 4, kEmptyInputMessage, ""},
      {"hkp_DataAdd:OUTPUT", 1, "", "without sending OUTPUT\n"},
      {"hkp_DataAddInt", 1, kXmlReportHeader, "without sending MODE_OUTPUT\n"},
      {"hkp_DataSetGlobalSuffix", 4, kXmlReportHeader, ""},
  };
  TempDir dir;
  // Not well-formed, so every run that reaches the parser ends in the XML report.
  const std::string document = dir.write("doc.xml", "<a>").string();
  for (const Row& row : rows) {
    const ProcessResult r = runHost({"--reject", row.reject, "run", document});
    const std::string where = "--reject " + row.reject + "\n" + describe(r);
    EXPECT_EQ(r.exitStatus, row.exitStatus) << where;
    if (row.out == kXmlReportHeader) {
      EXPECT_TRUE(r.out.starts_with(row.out)) << where;
    } else {
      EXPECT_EQ(r.out, row.out) << where;
    }
    if (row.errPart.empty()) {
      EXPECT_EQ(r.err, "") << where;
    } else {
      EXPECT_TRUE(r.err.ends_with(row.errPart)) << where;
    }
  }
}

TEST(Run, RefusedFileNameLeavesTheStylesheetBesideTheWorkingDirectory) {
  TempDir dir;
  const ProcessResult r = runHost({"--reject", "hkp_DataGet:FILE_NAME", "run", dir.write("doc.xml", "<a/>").string()});
  EXPECT_EQ(r.exitStatus, 4) << describe(r);
  EXPECT_TRUE(r.out.starts_with(stylesheetReportStart(".xsl") + kFileNotFound)) << describe(r);
}

std::string repeated(std::string_view piece, std::size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text.append(piece);
  return text;
}

TEST(Run, UndecodableDocumentIsRefusedWithoutStartingThePlugin) {
  struct Row {
    const char* what;
    std::string bytes;
    std::string errPart;
  };
  const std::vector<Row> rows = {
      {"invalid UTF-8", "<a>\xC3\x28</a>", "not valid UTF-8 (line 1, column 4, byte offset 3)"},
      {"US-ASCII with a high byte", "<?xml version=\"1.0\" encoding=\"US-ASCII\"?><a>\xE9</a>", "not valid US-ASCII"},
      {"odd UTF-16", std::string("\xFF\xFE<\0a", 5), "half a code unit"},
      {"unknown encoding", "<?xml version=\"1.0\" encoding=\"x-no-such\"?><a/>", "not supported"},
      {"NUL", std::string("<a>\nx\0</a>", 9), "NUL character (line 2, column 2)"},
      // Placed in the whole document, which is taken in a MiB at a time.
      {"invalid UTF-8 past the first MiB", "<a>" + std::string(std::size_t{2} << 20, 'x') + "\xC3\x28</a>",
       "not valid UTF-8 (line 1, column 2097156, byte offset 2097155)"},
      {"NUL past the first MiB, after a mark",
       "\xEF\xBB\xBF<a>\n\xF0\x9F\x98\x80" + std::string(std::size_t{2} << 20, 'x') + std::string(1, '\0') + "</a>",
       "NUL character (line 2, column 2097155)"},
  };
  for (const Row& row : rows) {
    TempDir dir;
    const fs::path marker = dir.path() / "started";
    const std::string plugin = script(dir, "touch '" + marker.string() + "'");
    const ProcessResult r = runHost({"--plugin", plugin, "run", dir.write("doc.xml", row.bytes).string()});
    EXPECT_EQ(r.exitStatus, 2) << row.what << "\n" << describe(r);
    EXPECT_NE(r.err.find(row.errPart), std::string::npos) << row.what << "\n" << describe(r);
    EXPECT_EQ(r.out, "") << row.what;
    EXPECT_FALSE(fs::exists(marker)) << row.what << ": the plug-in was started";
  }
}

// A large document and its result both pass the bus as memory files, whole.
// Nothing on that path depends on the size, so 8 MiB stands for any: the
// benchmark's 300m size shows one beyond a bus message's 128 MiB, which
// would take a minute under the sanitizers here.
TEST(Run, LargeDocumentAndResultTravelWhole) {
  TempDir dir;
  // The built-in rules write each text node in turn, with no string growing
  // to the result's size (which the sanitizers' realloc would copy each time).
  dir.write("doc.xsl",
            "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
            "<xsl:output method=\"text\" encoding=\"UTF-8\"/></xsl:stylesheet>");
  const std::string line = repeated("x", 1015) + "\n";
  constexpr std::size_t kLines = std::size_t{8} << 10;
  const std::string document = "<a>" + repeated("<b>" + line + "</b>", kLines) + "</a>";
  const ProcessResult r = runHost({"run", dir.write("doc.xml", document).string()});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_EQ(r.out.size(), line.size() * kLines) << r.err;
  EXPECT_TRUE(r.out == repeated(line, kLines)) << "the text came back changed";
}

TEST(Run, DocumentTextArrivesAsTheEditorDecodedIt) {
  struct Row {
    const char* what;
    std::string bytes;
    std::string text;  // UTF-8 of what the plug-in hands back
  };
  const std::vector<Row> rows = {
      {"UTF-16 LE with mark", std::string("\xFF\xFE<\0a\0>\0\xE9\0<\0/\0a\0>\0", 18), "\xC3\xA9"},
      {"UTF-16 BE with mark", std::string("\xFE\xFF\0<\0a\0>\xD8\x3D\xDE\x00\0<\0/\0a\0>", 20), "\xF0\x9F\x98\x80"},
      {"UTF-8 with mark", "\xEF\xBB\xBF<a>\xC3\xA9</a>", "\xC3\xA9"},
      // The document is taken in a MiB at a time: a character may span two.
      {"a character across the first MiB's end",
       "<a>" + std::string((std::size_t{1} << 20) - 4, 'x') + "\xE2\x82\xAC</a>",
       std::string((std::size_t{1} << 20) - 4, 'x') + "\xE2\x82\xAC"},
      {"ISO-8859-1 declaration", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>", "\xC3\xA9"},
      {"windows-1252 declaration", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\x80</a>", "\xE2\x82\xAC"},
      // A lone surrogate cannot cross the bus; it arrives as U+FFFD and the
      // hand-back goes through.
      {"lone surrogate", std::string("\xFF\xFE<\0a\0>\0x\0\x00\xD8z\0<\0/\0a\0>\0", 22), "x\xEF\xBF\xBDz"},
  };
  for (const Row& row : rows) {
    TempDir dir;
    dir.write("doc.xsl", kTextStylesheet);
    const ProcessResult r = runHost({"run", dir.write("doc.xml", row.bytes).string()});
    EXPECT_EQ(r.exitStatus, 0) << row.what << "\n" << describe(r);
    EXPECT_EQ(r.out, row.text) << row.what << "\n" << describe(r);
  }
}

TEST(Run, MisbehavingPluginIsReportedWithItsCause) {
  struct Row {
    const char* what;
    std::string body;
    std::string errPart;
  };
  const std::vector<Row> rows = {
      // The shell waits for a child of its own: the whole group must go.
      {"hangs", "sleep 30; exit 0", "did not finish within 1 s and was killed"},
      {"crashes", "kill -SEGV $$", "crashed: killed by signal 11 (SIGSEGV"},
      {"hands nothing back", "exit 0", "exited without sending OUTPUT or MODE_OUTPUT"},
      {"fails", "exit 3", "exited with status 3"},
  };
  for (const Row& row : rows) {
    TempDir dir;
    const ProcessResult r =
        runHost({"--timeout", "1", "--plugin", script(dir, row.body), "run", dir.write("doc.xml", "<a/>").string()});
    EXPECT_EQ(r.exitStatus, 1) << row.what << "\n" << describe(r);
    EXPECT_NE(r.err.find(row.errPart), std::string::npos) << row.what << "\n" << describe(r);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << row.what << ": one line\n" << r.err;
    EXPECT_LT(r.elapsed.count(), 10) << row.what;
  }
}

TEST(Run, PluginThatCannotStartIsStatusThree) {
  TempDir dir;
  for (const std::string& plugin : {(dir.path() / "none").string(), dir.write("not-executable", "").string()}) {
    const ProcessResult r = runHost({"--plugin", plugin, "run", dir.write("doc.xml", "<a/>").string()});
    EXPECT_EQ(r.exitStatus, 3) << plugin << "\n" << describe(r);
  }
}

TEST(Host, BadUsageGetsTheUsageAndStatusTwo) {
  const std::vector<std::vector<std::string>> rows = {
      {},
      {"run"},
      {"run", "a.xml", "b.xml"},
      {"register", "a.xml"},
      {"frob"},
      {"--timeout", "0", "register"},
      {"--timeout", "soon", "register"},
      {"--reject", "hkp_Nothing", "register"},
      {"--plugin"},
      {"--bogus", "register"},
  };
  for (const auto& args : rows) {
    const ProcessResult r = runHost(args);
    std::string where;
    for (const auto& a : args) where += a + " ";
    EXPECT_EQ(r.exitStatus, 2) << where << "\n" << describe(r);
    EXPECT_NE(r.err.find("usage: tarnweld-host"), std::string::npos) << where;
    EXPECT_EQ(r.out, "") << where;
  }
}

// However the stand-in is started and whatever it is given, it ends with a
// clear word: closed standard streams are no reason to fail, and a device
// (which may never end) or a name the bus cannot carry is refused by name.
TEST(Host, ClosedStreamsDevicesAndNamesTheBusCannotCarryEndClearly) {
  TempDir dir;
  dir.write("doc.xsl", kTextStylesheet);
  const std::string doc = dir.write("doc.xml", "<?xml-stylesheet href=\"doc.xsl\"?><a>text</a>").string();
  const std::string latin1 = dir.write("caf\xE9.xml", "<a/>").string();
  struct Row {
    const char* what;
    std::string command;  // after the stand-in's path; $1 is doc.xml, $2 the Latin-1 name
    int exitStatus;
    std::string out;
    std::string errPart;
  };
  const std::vector<Row> rows = {
      {"standard input closed", "run \"$1\" <&-", 0, "text", ""},
      {"standard output closed", "run \"$1\" >&-", 0, "", ""},
      {"standard error closed", "run \"$1\" 2>&-", 0, "text", ""},
      {"a device", "run /dev/zero", 2, "", "/dev/zero is a device"},
      {"a device as standard input", "run - </dev/zero", 2, "", "standard input is a device"},
      {"a document name that is not UTF-8", "run \"$2\"", 2, "",
       "caf\\xE9.xml is not valid UTF-8 (byte offset " + std::to_string(latin1.size() - 5) + ")"},
      {"--file-name that is not UTF-8", "--file-name \"$(printf 'a\\351')\" run \"$1\"", 2, "",
       "--file-name a\\xE9 is not valid UTF-8 (byte offset 1)"},
  };
  for (const Row& row : rows) {
    const ProcessResult r =
        runProcess({.arguments = {"/bin/sh", "-c", "exec \"$0\" " + row.command, kHost, doc, latin1},
                    .input = {},
                    .environment = {},
                    .directory = {}});
    EXPECT_EQ(r.exitStatus, row.exitStatus) << row.what << "\n" << describe(r);
    EXPECT_EQ(r.out, row.out) << row.what;
    if (row.errPart.empty()) {
      EXPECT_EQ(r.err, "") << row.what;
    } else {
      EXPECT_NE(r.err.find(row.errPart), std::string::npos) << row.what << "\n" << describe(r);
    }
  }
}

TEST(Host, StatsAddOneLineWithWallTimeAndPeakMemory) {
  TempDir dir;
  const ProcessResult r = runHost({"--stats", "run", dir.write("empty.xml", "").string()});
  EXPECT_EQ(r.exitStatus, 4) << describe(r);
  EXPECT_EQ(r.out, kEmptyInputMessage);
  EXPECT_TRUE(r.err.starts_with("tarnweld-host: plug-in wall time ")) << r.err;
  EXPECT_NE(r.err.find(" KiB\n"), std::string::npos) << r.err;
}

TEST(Host, UnreachableSessionBusIsReplacedByAPrivateOneWithANotice) {
  TempDir dir;
  const auto liveBus = posix::PrivateBus::start();
  ASSERT_TRUE(liveBus) << liveBus.reason();
  const std::string gone = "unix:path=" + (dir.path() / "no-such-socket").string();
  const std::string notSocket = "unix:path=" + dir.write("not-a-socket", "").string();
  const auto notice = [](const std::string& address, const char* why) {
    return "tarnweld-host: the session bus at " + address + " cannot be reached (" + why +
           "); using a private bus instead\n";
  };
  const struct {
    std::string address;
    std::string err;
  } rows[] = {
      {gone, notice(gone, "No such file or directory")},
      {notSocket, notice(notSocket, "Connection refused")},
      {(*liveBus)->address(), ""},
  };
  for (const auto& row : rows) {
    const ProcessResult r = runProcess(
        {{kHost, "run", (kExamples / "catalog.xml").string()}, {}, {{"DBUS_SESSION_BUS_ADDRESS", row.address}}, {}});
    EXPECT_EQ(r.exitStatus, 0) << row.address << "\n" << describe(r);
    EXPECT_NE(r.out.find("<h1>Night Shelf Records</h1>"), std::string::npos) << row.address << "\n" << describe(r);
    EXPECT_EQ(r.err, row.err) << row.address;
  }
}

TEST(Run, ExampleCatalogTransformsWithTheStylesheetBesideIt) {
  const ProcessResult r = runHost({"run", (kExamples / "catalog.xml").string()});
  EXPECT_EQ(r.exitStatus, 0) << describe(r);
  for (const char* part :
       {"<h1>Night Shelf Records</h1>", "Caf\xC3\xA9 Nocturne", "Weld &amp; Ember",
        "\xD0\x93\xD0\xBB\xD1\x83\xD0\xB1\xD0\xBE\xD0\xBA\xD0\xBE\xD0\xB5", "Total (4 records)", "54.65"}) {
    EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << describe(r);
  }
}

// A function that writes to the result tree makes libexslt dump the node to
// stderr; the plug-in's only voice is what it hands to the host.
TEST(Run, PluginWritesNothingOfItsOwnEvenWhereALibraryWould) {
#ifdef TARNWELD_SANITIZE
  GTEST_SKIP() << "the sanitizer build keeps stderr for its reports";
#endif
  TempDir dir;
  dir.write("dump.xsl",
            "<xsl:stylesheet xmlns:xsl='http://www.w3.org/1999/XSL/Transform' version='1.0'"
            " xmlns:func='http://exslt.org/functions' xmlns:f='urn:f' extension-element-prefixes='func'>"
            "<func:function name='f:f'><xsl:element name='e'/></func:function>"
            "<xsl:variable name='v' select='f:f()'/></xsl:stylesheet>");
  const ProcessResult r = runHost({"run", dir.write("dump.xml", "<a/>").string()});
  EXPECT_EQ(r.exitStatus, 4) << describe(r);
  EXPECT_EQ(r.err, "") << describe(r);
}

TEST(Run, ReportsNameWhatFailedAndWhere) {
  TempDir dir;
  const auto run = [&](const std::string& name, const std::string& text) {
    return runHost({"run", dir.write(name, text).string()});
  };

  const ProcessResult notWellFormed = run("broken.xml", "<a>\n<b></a>");
  EXPECT_EQ(notWellFormed.exitStatus, 4) << describe(notWellFormed);
  EXPECT_TRUE(notWellFormed.out.starts_with(kXmlReportHeader + "Reason: ")) << describe(notWellFormed);
  for (const char* part : {"\r\nLine: 2 Column: ", "\r\n\r\nText: "}) {
    EXPECT_NE(notWellFormed.out.find(part), std::string::npos) << part << "\n" << describe(notWellFormed);
  }

  const ProcessResult missing = run("lonely.xml", "<a/>");
  EXPECT_TRUE(missing.out.starts_with(stylesheetReportStart(hostPath(dir.path() / "lonely.xsl")) + kFileNotFound))
      << describe(missing);

  dir.write("bad.xsl", "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">");
  const ProcessResult broken = run("bad.xml", "<a/>");
  const std::string brokenStart = stylesheetReportStart(hostPath(dir.path() / "bad.xsl")) + "Reason: ";
  EXPECT_TRUE(broken.out.starts_with(brokenStart)) << describe(broken);

  // Served from standard input under a name of the host's own.
  const ProcessResult named = runHost({"--file-name", "C:\\docs\\report.xml", "run", "-"}, "<a/>");
  EXPECT_TRUE(named.out.starts_with(stylesheetReportStart("C:\\docs\\report.xsl") + kFileNotFound)) << describe(named);
}

TEST(Run, StylesheetInstructionIsPlacedAgainstTheDocumentsDirectory) {
  TempDir dir;
  dir.write("styles/x.xsl", kTextStylesheet);
  dir.write("sub/x.xsl", kTextStylesheet);
  struct Row {
    const char* what;
    std::string document;
    std::string out;  // the expected start of the output
  };
  const std::vector<Row> rows = {
      {"parent directory", "<?xml-stylesheet type=\"text/xsl\" href=\"../styles/x.xsl\"?><a>up</a>", "up"},
      {"beside, single quotes", "<?xml-stylesheet type='text/xsl' href='x.xsl'?><a>beside</a>", "beside"},
      {"CSS instruction first",
       "<?xml-stylesheet type=\"text/css\" href=\"screen.css\"?>"
       "<?xml-stylesheet type=\"text/xsl\" href=\"x.xsl\"?><a>styled</a>",
       "styled"},
      {"missing", "<?xml-stylesheet href=\"missing.xsl\"?><a/>",
       stylesheetReportStart(hostPath(dir.path() / "sub" / "missing.xsl")) + kFileNotFound},
  };
  for (const Row& row : rows) {
    const ProcessResult r = runHost({"run", dir.write("sub/doc.xml", row.document).string()});
    EXPECT_EQ(r.exitStatus, row.out.starts_with("Tarnweld Error - ") ? 4 : 0) << row.what << "\n" << describe(r);
    EXPECT_TRUE(r.out.starts_with(row.out)) << row.what << "\n" << describe(r);
  }

  const ProcessResult site = runHost({"run", (kExamples / "site" / "pages" / "notes.xml").string()});
  EXPECT_EQ(site.exitStatus, 0) << describe(site);
  EXPECT_FALSE(site.out.starts_with("Tarnweld Error")) << describe(site);
}

}  // namespace
}  // namespace tarnweld::e2e

namespace tarnweld::e2e {
namespace {

TEST(Run, StylesheetUnderAPublicUriIsReadOfflineThroughTheCatalogs) {
  TempDir dir;
  dir.write("local.xsl", kTextStylesheet);
  const fs::path catalog = dir.write("catalog.xml",
                                     "<catalog xmlns='urn:oasis:names:tc:entity:xmlns:xml:catalog'>"
                                     "<uri name='http://styles.invalid/text.xsl' uri='file://" +
                                         (dir.path() / "local.xsl").string() + "'/></catalog>");
  const fs::path document =
      dir.write("doc.xml", "<?xml-stylesheet type='text/xsl' href='http://styles.invalid/text.xsl'?><a>offline</a>");
  const ProcessResult r = runProcess({.arguments = {kHost, "run", document.string()},
                                      .input = {},
                                      .environment = {{"XML_CATALOG_FILES", catalog.string()}},
                                      .directory = {}});
  EXPECT_EQ(r.out, "offline") << describe(r);

  // The system catalog maps the stylesheets of the installed docbook-xsl.
  if (!fs::exists("/usr/share/xml/docbook/stylesheet/docbook-xsl/html/docbook.xsl")) GTEST_SKIP() << "no docbook-xsl";
  const ProcessResult docbook =
      runHost({"run", dir.write("book.xml",
                                "<?xml-stylesheet type='text/xsl' "
                                "href='http://docbook.sourceforge.net/release/xsl/current/html/docbook.xsl'?>"
                                "<article><title>Offline</title><para>text</para></article>")
                          .string()});
  EXPECT_NE(docbook.out.find("Offline"), std::string::npos) << describe(docbook);
  EXPECT_FALSE(docbook.out.starts_with("Tarnweld Error")) << describe(docbook);
}

TEST(Run, DocumentIsValidatedAgainstItsOwnDtd) {
  TempDir dir;
  dir.write("v.xsl", kTextStylesheet);
  const ProcessResult r =
      runHost({"run", dir.write("v.xml", "<!DOCTYPE a [<!ELEMENT a EMPTY>]>\n<a><b/></a>").string()});
  EXPECT_TRUE(r.out.starts_with(kXmlReportHeader + "Reason: ")) << describe(r);
  EXPECT_NE(r.out.find("Line: 2 "), std::string::npos) << describe(r);
}

}  // namespace
}  // namespace tarnweld::e2e

namespace tarnweld::e2e {
namespace {

TEST(Host, ScriptsGetDistinctStatusesAndTheBytesTheResultNames) {
  TempDir dir;
  const auto stylesheet = [](const std::string& output, const std::string& body) {
    return "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'><xsl:output " + output +
           "/><xsl:template match='/'>" + body + "</xsl:template></xsl:stylesheet>";
  };
  dir.write("latin.xsl", stylesheet("method='xml' encoding='ISO-8859-1'", "<r><xsl:value-of select='.'/></r>"));
  dir.write("page.xsl",
            stylesheet("method='html' encoding='ISO-8859-1'",
                       "<html><head><title>t</title></head><body><xsl:value-of select='.'/></body></html>"));
  const std::string latin = dir.write("latin.xml", "<?xml-stylesheet href='latin.xsl'?><a>caf\xC3\xA9</a>").string();
  const std::string page = dir.write("page.xml", "<?xml-stylesheet href='page.xsl'?><a>caf\xC3\xA9</a>").string();
  struct Row {
    std::vector<std::string> args;
    int exitStatus;
    std::string outPart;
    std::string errPart;
  };
  const std::vector<Row> rows = {
      {{"--version"}, 0, "tarnweld-host " TARNWELD_VERSION "\n", ""},
      {{"run", dir.path().string()}, 2, "", " is a directory; run takes a document file\n"},
      {{"run", latin}, 0, "encoding=\"ISO-8859-1\"?>\n<r>caf\xE9</r>", ""},
      {{"run", page}, 0, "charset=ISO-8859-1\">\n<title>t</title>\n</head>\n<body>caf\xE9</body>", ""},
      {{"--raw-utf8", "run", latin}, 0, "<r>caf\xC3\xA9</r>", ""},
  };
  for (const Row& row : rows) {
    const ProcessResult r = runHost(row.args);
    const std::string where = row.args.front() + " " + row.args.back() + "\n" + describe(r);
    EXPECT_EQ(r.exitStatus, row.exitStatus) << where;
    EXPECT_NE(r.out.find(row.outPart), std::string::npos) << where;
    EXPECT_EQ(r.out.empty(), row.outPart.empty()) << where;
    EXPECT_TRUE(r.err.ends_with(row.errPart)) << where;
  }
}

}  // namespace
}  // namespace tarnweld::e2e

namespace tarnweld::e2e {
namespace {

// The host holds any UTF-16 text, noncharacters included: they reach the
// plug-in and come back, and one that is no XML character gets the XML
// report like any other flaw of a document.
TEST(Run, EveryCharacterTheHostCanHoldArrives) {
  TempDir dir;
  dir.write("text.xsl", kTextStylesheet);
  const std::string noncharacters = "a\uFDD0b\U0001FFFEc";
  const ProcessResult kept = runHost(
      {"run", dir.write("text.xml", "<?xml-stylesheet href='text.xsl'?><a>" + noncharacters + "</a>").string()});
  EXPECT_EQ(kept.exitStatus, 0) << describe(kept);
  EXPECT_EQ(kept.out, noncharacters) << describe(kept);

  const ProcessResult notXml = runHost({"run", dir.write("bad.xml", "<a>x\uFFFEy</a>").string()});
  EXPECT_EQ(notXml.exitStatus, 4) << describe(notXml);
  EXPECT_TRUE(notXml.out.starts_with(kXmlReportHeader + "Reason: ")) << describe(notXml);
  EXPECT_NE(notXml.out.find("Text: <a>x\uFFFEy</a>"), std::string::npos) << describe(notXml);

  const ProcessResult named = runHost({"--file-name", "C:\\docs\\x\uFFFF.xml", "run", "-"}, "<a/>");
  EXPECT_TRUE(named.out.starts_with(stylesheetReportStart("C:\\docs\\x\uFFFF.xsl") + kFileNotFound)) << describe(named);
}

// A result that did not reach the reader is never a success: a full disk or
// a closed pipe ends the stand-in with status 5 and the system's reason,
// whatever it was writing; a document larger than the host can hold is
// refused with status 2, before any room is made for it.
TEST(Host, OutputThatCannotBeWrittenAndDocumentsTooLargeToHoldAreSaid) {
  TempDir dir;
  dir.write("text.xsl", kTextStylesheet);
  const std::string small = dir.write("small.xml", "<?xml-stylesheet href='text.xsl'?><a>result</a>").string();
  const std::string large =
      dir.write("large.xml", "<?xml-stylesheet href='text.xsl'?><a>" + std::string(3'000'000, 'r') + "</a>").string();
  const fs::path sparse = dir.write("sparse.xml", "<a/>");
  fs::resize_file(sparse, std::uintmax_t{100} << 30);
  struct Row {
    const char* what;
    std::string script;  // $1 the stand-in, $2 a document
    std::string document;
    int exitStatus;
    std::string errPart;
  };
  const std::string fullDisk = "cannot write the output: No space left on device\n";
  // With SIGPIPE ignored, as some shells and services start programs.
  const std::string closedPipe =
      "trap '' PIPE; { \"$1\" run \"$2\"; echo \"status $?\" >&2; } | head -c 10 >/dev/null; exit 0";
  const std::vector<Row> rows = {
      {"a small result into a full disk", "exec \"$1\" run \"$2\" >/dev/full", small, 5, fullDisk},
      {"a 3 MB result into a full disk", "exec \"$1\" run \"$2\" >/dev/full", large, 5, fullDisk},
      {"the listing into a full disk", "exec \"$1\" register >/dev/full", small, 5, fullDisk},
      {"the help into a full disk", "exec \"$1\" --help >/dev/full", small, 5, fullDisk},
      {"a 3 MB result into a pipe closed after 10 bytes", closedPipe, large, 0,
       "cannot write the output: Broken pipe\nstatus 5\n"},
      {"a 100 GiB document", "exec \"$1\" run \"$2\"", sparse.string(), 2,
       "sparse.xml is 107374182400 bytes, more than a document the host can hold (6442450941 bytes)\n"},
  };
  for (const Row& row : rows) {
    const ProcessResult r = runProcess({.arguments = {"/bin/sh", "-c", row.script, "sh", kHost, row.document},
                                        .input = {},
                                        .environment = {},
                                        .directory = {}});
    EXPECT_EQ(r.exitStatus, row.exitStatus) << row.what << "\n" << describe(r);
    EXPECT_TRUE(r.err.ends_with(row.errPart)) << row.what << "\n" << describe(r);
  }
}

}  // namespace
}  // namespace tarnweld::e2e
