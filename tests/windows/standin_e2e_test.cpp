// The real tarnweld.exe through tarnweld-host.exe, each a process of its own,
// the host object reached across processes through COM: what a run hands
// back for the examples and for each kind of report.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "platform/windows/com.h"
#include "platform/windows/handle.h"
#include "text/utf.h"
#include "win_test_support.h"

namespace tarnweld {
namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// The text a reader sees: tags dropped, whitespace runs as one blank.
std::string textContent(const std::string& html) {
  std::string text = std::regex_replace(html, std::regex("<[^>]*>"), " ");
  text = std::regex_replace(text, std::regex("\\s+"), " ");
  const auto first = text.find_first_not_of(' ');
  return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

test::ProcessEnd runHost(const std::u16string& document, std::u16string_view options = u"") {
  return test::runProcess(u"\"" + test::programPath(u"tarnweld-host.exe") + u"\" " + std::u16string(options) +
                          u"run \"" + document + u"\"");
}

TEST(StandIn, TransformsTheExamples) {
  const test::ProcessEnd catalog = runHost(test::sourcePath("examples/catalog.xml"));
  EXPECT_EQ(catalog.exitCode, 0u);
  const std::string expected = readFile(std::filesystem::path(test::sourcePath("tests/windows/catalog.expected.txt")));
  EXPECT_EQ(textContent(catalog.output), textContent(expected));

  const test::ProcessEnd notes = runHost(test::sourcePath("examples/site/pages/notes.xml"));
  EXPECT_EQ(notes.exitCode, 0u);
  EXPECT_NE(notes.output, "");
  EXPECT_FALSE(notes.output.starts_with("Tarnweld Error")) << notes.output;
}

TEST(StandIn, HandsBackTheTransformOrTheRightReport) {
  const std::filesystem::path dir = std::filesystem::path(test::programPath(u"e2e"));
  std::filesystem::create_directories(dir);
  const auto write = [&dir](const char* name, std::string_view bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return (dir / name).u16string();
  };
  const std::u16string dirText = dir.u16string() + u"\\";
  write("text.xsl",
        "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'><xsl:output method='text'/>"
        "<xsl:template match='/'>[<xsl:value-of select='.'/>]</xsl:template></xsl:stylesheet>");
  write("stop.xsl",
        "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
        "<xsl:template match='/'><xsl:message terminate='yes'>stop</xsl:message></xsl:template></xsl:stylesheet>");
  struct Case {
    const char* name;
    const char* document;
    std::string_view bytes;
    std::u16string expectedStart;  // the whole output, or its report header
  };
  const Case cases[] = {
      {"empty", "empty.xml", "", u"Tarnweld Error - Empty XML File Provided!"},
      {"malformed", "malformed.xml", "<?xml-stylesheet href='text.xsl'?><a><b></a>",
       u"Tarnweld Error - The XML Source Did Not Validate!\r\n\r\nReason: "},
      {"missing stylesheet", "alone.xml", "<a/>",
       u"Tarnweld Error - The XSL File (" + dirText + u"alone.xsl) Did Not Validate!\r\n\r\nReason: "},
      {"terminating message", "stopped.xml", "<?xml-stylesheet href='stop.xsl'?><a/>",
       u"Tarnweld Error - The XML Source Did Not Transform With XSL File (" + dirText + u"stop.xsl)!\r\n\r\nReason: "},
      {"non-ASCII text", "text.xml", "<?xml-stylesheet href='text.xsl'?><a>é € 中 𝄞</a>", u"[é € 中 𝄞]"},
  };
  for (const Case& c : cases) {
    const test::ProcessEnd end = runHost(write(c.document, c.bytes));
    const std::u16string output = fromUtf8Lenient(end.output);
    // A report has a status of its own.
    EXPECT_EQ(end.exitCode, output.starts_with(u"Tarnweld Error - ") ? 4u : 0u) << c.name;
    EXPECT_TRUE(output.starts_with(c.expectedStart)) << c.name << ": " << end.output;
    if (output != c.expectedStart) {
      // A report's layout: the line and column, then the source text last.
      EXPECT_NE(output.find(u"\r\nLine: "), std::u16string::npos) << c.name;
      EXPECT_NE(output.find(u" Column: "), std::u16string::npos) << c.name;
      EXPECT_NE(output.find(u"\r\n\r\nText: "), std::u16string::npos) << c.name;
    }
  }
}

// A document's name reaches the stand-in from the wide command line, not
// through the ANSI code page.
TEST(StandIn, ServesADocumentWhoseNameIsNotAscii) {
  const std::filesystem::path dir = std::filesystem::path(test::programPath(u"e2e"));
  std::filesystem::create_directories(dir);
  const std::filesystem::path document = dir / std::filesystem::path(u"d\u00E9j\u00E0 \u4E2D.xml");
  std::ofstream(dir / "named.xsl", std::ios::binary)
      << "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
         "<xsl:output method='text'/><xsl:template match='/'>[<xsl:value-of select='.'/>]</xsl:template>"
         "</xsl:stylesheet>";
  std::ofstream(document, std::ios::binary) << "<?xml-stylesheet href='named.xsl'?><a>x</a>";
  const test::ProcessEnd end = runHost(document.u16string());
  EXPECT_EQ(end.exitCode, 0u);
  EXPECT_EQ(end.output, "[x]");
}

// What carries the host calls does not change what a refused call leads to:
// the same rows end as they do on Linux.
TEST(StandIn, RefusedHostCallsEndAsOnLinux) {
  const std::filesystem::path dir = std::filesystem::path(test::programPath(u"e2e"));
  std::filesystem::create_directories(dir);
  // Not well-formed, so every run that reaches the parser ends in the XML report.
  std::ofstream(dir / "refused.xml", std::ios::binary) << "<a>";
  const std::string xmlReport = "Tarnweld Error - The XML Source Did Not Validate!";
  struct Case {
    std::u16string_view reject;
    unsigned exitCode;
    std::string outputStart;
    bool whole;  // the output is exactly outputStart
  };
  const Case cases[] = {
      {u"hkp_DataGet:INPUT", 4, "Tarnweld Error - Empty XML File Provided!", true},
      {u"hkp_DataAdd:OUTPUT", 1, "", true},
      {u"hkp_DataAddInt", 1, xmlReport, false},
      {u"hkp_DataSetGlobalSuffix", 4, xmlReport, false},
  };
  for (const Case& c : cases) {
    const std::string name = toUtf8(c.reject);
    const test::ProcessEnd end =
        runHost((dir / "refused.xml").u16string(), u"--reject " + std::u16string(c.reject) + u" ");
    EXPECT_EQ(end.exitCode, c.exitCode) << name << ": " << end.errors;
    if (c.whole) {
      EXPECT_EQ(end.output, c.outputStart) << name;
    } else {
      EXPECT_TRUE(end.output.starts_with(c.outputStart)) << name << ": " << end.output;
    }
  }
}

// The real plug-in keeps to the network rule: a stylesheet that calls script,
// one whose output is a document() of a listener on 127.0.0.1, and a source
// whose external parameter entity is on that listener. Each run ends, the
// first two with the transform report, and the listener sees no request.
TEST(StandIn, NoScriptRunsAndNothingLeavesTheMachine) {
  test::Listener listener("<leak/>");
  ASSERT_TRUE(listener.ok());
  const std::filesystem::path dir = std::filesystem::path(test::programPath(u"e2e"));
  std::filesystem::create_directories(dir);
  const auto write = [&dir](const char* name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return (dir / name).u16string();
  };
  const std::string port = toUtf8(listener.url(""));
  write("script.xsl",
        "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'"
        " xmlns:msxsl='urn:schemas-microsoft-com:xslt' xmlns:user='urn:tarnweld-test'>"
        "<msxsl:script language='JScript' implements-prefix='user'>function ran() { return 'ran'; }</msxsl:script>"
        "<xsl:template match='/'><xsl:value-of select='user:ran()'/></xsl:template></xsl:stylesheet>");
  write("fetch.xsl",
        "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
        "<xsl:template match='/'><xsl:copy-of select=\"document('" +
            port +
            "/data.xml')\"/></xsl:template>"
            "</xsl:stylesheet>");
  write("entity.xsl",
        "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
        "<xsl:output method='text'/><xsl:template match='/'>[<xsl:value-of select='.'/>]</xsl:template>"
        "</xsl:stylesheet>");
  struct Case {
    const char* document;
    std::string bytes;
    bool report;  // ends in the transform report whatever the parser
  };
  const Case cases[] = {
      {"script.xml", "<?xml-stylesheet href='script.xsl'?><a/>", true},
      {"fetch.xml", "<?xml-stylesheet href='fetch.xsl'?><a/>", true},
      {"entity.xml",
       "<?xml-stylesheet href='entity.xsl'?><!DOCTYPE a [<!ENTITY % x SYSTEM '" + port + "/entity'> %x;]><a>x</a>",
       false},
  };
  for (const Case& c : cases) {
    const test::ProcessEnd end = runHost(write(c.document, c.bytes));
    ASSERT_TRUE(end.exitCode == 0u || end.exitCode == 4u) << c.document << ": " << end.errors;
    EXPECT_FALSE(end.output.ends_with("ran")) << c.document;
    if (c.report) {
      EXPECT_TRUE(end.output.starts_with("Tarnweld Error - The XML Source Did Not Transform"))
          << c.document << ": " << end.output;
    }
    EXPECT_EQ(listener.requests(), std::vector<std::string>{}) << c.document;
  }
}

// The plug-in says nothing on the terminal: a stylesheet whose messages and
// compilation errors Wine's parser would print leaves the stand-in's error
// stream empty, the report in OUTPUT alone.
TEST(StandIn, ThePluginSaysNothingOnTheTerminal) {
  const std::filesystem::path dir = std::filesystem::path(test::programPath(u"e2e"));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "talking.xsl", std::ios::binary)
      << "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'><xsl:template match='/'>"
         "<xsl:message>said aloud</xsl:message><xsl:value-of select='1 div'/>"
         "<xsl:message terminate='yes'>stopped aloud</xsl:message></xsl:template></xsl:stylesheet>";
  std::ofstream(dir / "talking.xml", std::ios::binary) << "<?xml-stylesheet href='talking.xsl'?><a/>";
  const test::ProcessEnd end = runHost((dir / "talking.xml").u16string());
  EXPECT_TRUE(end.output.starts_with("Tarnweld Error - The XML Source Did Not Transform")) << end.output;
  EXPECT_EQ(end.errors, "");
}

// A stand-in killed while it serves leaves nothing that stops the next: a
// plug-in started then finds the ProgID naming a dead object and ends at
// once with nothing handed anywhere, and the next stand-in transforms the
// example and removes the class key the killed one left.
TEST(StandIn, AKilledStandInLeavesNothingBehind) {
  const win::Handle started(CreateEventW(nullptr, TRUE, FALSE, L"Local\\tarnweld-test plug-in started"));
  ASSERT_TRUE(started);
  std::u16string commandLine = u"\"" + test::programPath(u"tarnweld-host.exe") + u"\" --plugin \"" +
                               test::programPath(u"waiting_plugin.exe") + u"\" run \"" +
                               test::sourcePath("examples/catalog.xml") + u"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(nullptr, win::wide(commandLine.data()), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                             nullptr, &startup, &info));
  const win::Handle standIn(info.hProcess), thread(info.hThread);
  ASSERT_EQ(WaitForSingleObject(started.get(), 30'000), WAIT_OBJECT_0);
  // The class the killed stand-in offers, which its keys will still name.
  const HKEY root = test::underWine() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  wchar_t clsid[64] = {};
  DWORD bytes = sizeof clsid - sizeof(wchar_t);
  ASSERT_EQ(RegGetValueW(root, L"Software\\Classes\\htmlkit.HTMLKitPluginsCore\\CLSID", nullptr, RRF_RT_REG_SZ, nullptr,
                         clsid, &bytes),
            ERROR_SUCCESS);
  const std::wstring staleKey = L"Software\\Classes\\CLSID\\" + std::wstring(clsid);
  ASSERT_TRUE(TerminateProcess(standIn.get(), 9));
  ASSERT_EQ(WaitForSingleObject(standIn.get(), 30'000), WAIT_OBJECT_0);

  const test::ProcessEnd orphan = test::runProcess(u"\"" + test::programPath(u"tarnweld.exe") + u"\" /hkprun");
  EXPECT_TRUE(orphan.exitCode.has_value());
  EXPECT_LT(orphan.seconds, 10);
  EXPECT_EQ(orphan.output + orphan.errors, "");

  const test::ProcessEnd next = runHost(test::sourcePath("examples/catalog.xml"));
  EXPECT_EQ(next.exitCode, 0u) << next.errors;
  const std::string expected = readFile(std::filesystem::path(test::sourcePath("tests/windows/catalog.expected.txt")));
  EXPECT_EQ(textContent(next.output), textContent(expected));
  HKEY stale = nullptr;
  EXPECT_NE(RegOpenKeyExW(root, staleKey.c_str(), 0, KEY_READ, &stale), ERROR_SUCCESS)
      << "the killed class's key stays";
  if (stale) RegCloseKey(stale);
}

// The real plug-in reads no share, whichever way the document names one: its
// own name (the stylesheet beside it), a stylesheet instruction, an import,
// document(). Each ends in a report that says why, or reads nothing from the
// share. Under Wine the share \\tarnweld-evil\share is
// $WINEPREFIX/dosdevices/unc/tarnweld-evil/share. A drive letter is local
// whatever it is mapped to: every other test reads through Z:, which Wine
// maps to the Linux root.
TEST(StandIn, ReadsNoShare) {
  if (!test::underWine()) GTEST_SKIP() << "marker files behind a share need Wine's UNC folder";
  wchar_t prefixText[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"WINEPREFIX", prefixText, MAX_PATH), 0u);
  const std::string prefix = toUtf8(win::u16(prefixText));
  const std::filesystem::path share = std::filesystem::path(prefix) / "dosdevices" / "unc" / "tarnweld-evil" / "share";
  std::filesystem::create_directories(share);
  std::ofstream(share / "leak.xml", std::ios::binary) << "<leak>SHARE-WAS-READ</leak>";
  std::ofstream(share / "leak.xsl", std::ios::binary)
      << "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
         "<xsl:output method='text'/><xsl:template match='/'>SHARE-WAS-READ</xsl:template></xsl:stylesheet>";

  const std::filesystem::path dir = std::filesystem::path(test::programPath(u"e2e"));
  std::filesystem::create_directories(dir);
  const auto write = [&dir](const char* name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return (dir / name).u16string();
  };
  write("import-share.xsl",
        "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
        "<xsl:import href='file://tarnweld-evil/share/leak.xsl'/></xsl:stylesheet>");
  write("document-share.xsl",
        "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'><xsl:output method='text'/>"
        "<xsl:template match='/'>[<xsl:value-of select=\"document('file://tarnweld-evil/share/leak.xml')\"/>]"
        "</xsl:template></xsl:stylesheet>");
  struct Case {
    const char* document;
    std::string bytes;
    std::u16string fileName;  // served as FILE_NAME, unless empty
    std::string outputStart;
  };
  const Case cases[] = {
      {"named.xml", "<a/>", u"\\\\tarnweld-evil\\share\\leak.xml",
       "Tarnweld Error - The XSL File (\\\\tarnweld-evil\\share\\leak.xsl) Did Not Validate!\r\n\r\nReason: Cannot "
       "read \\\\tarnweld-evil\\share\\leak.xsl: it is on another machine (a share)"},
      {"instruction-url.xml", "<?xml-stylesheet href='file://tarnweld-evil/share/leak.xsl'?><a/>", u"",
       "Tarnweld Error - The XSL File (file://tarnweld-evil/share/leak.xsl) Did Not Validate!\r\n\r\nReason: Cannot "
       "read file://tarnweld-evil/share/leak.xsl: it is on another machine (a share)"},
      {"import-share.xml", "<?xml-stylesheet href='import-share.xsl'?><a/>", u"",
       "Tarnweld Error - The XML Source Did Not Transform With XSL File"},
      {"document-share.xml", "<?xml-stylesheet href='document-share.xsl'?><a/>", u"", "[]"},
  };
  for (const Case& c : cases) {
    const std::u16string options = c.fileName.empty() ? u"" : u"--file-name \"" + c.fileName + u"\" ";
    const test::ProcessEnd end = runHost(write(c.document, c.bytes), options);
    EXPECT_TRUE(end.output.starts_with(c.outputStart)) << c.document << ": " << end.output;
    EXPECT_EQ(end.output.find("SHARE-WAS-READ"), std::string::npos) << c.document;
  }
}
// Stand-ins started together: one serves its own document, the others refuse
// at once, as a second host does on Linux, so no plug-in reaches another
// run's host object.
TEST(StandIn, OneServesAndTheOthersRefuseAtOnce) {
  const std::filesystem::path dir = std::filesystem::path(test::programPath(u"e2e"));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "own.xsl", std::ios::binary)
      << "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
         "<xsl:output method='text'/><xsl:template match='/'>[<xsl:value-of select='.'/>]</xsl:template>"
         "</xsl:stylesheet>";
  const std::string names[] = {"a", "b", "c"};
  test::ProcessEnd ends[3];
  std::vector<std::thread> runs;
  for (int i = 0; i < 3; ++i) {
    std::ofstream(dir / (names[i] + ".xml"), std::ios::binary)
        << "<?xml-stylesheet href='own.xsl'?><d>" << names[i] << "</d>";
    runs.emplace_back([&, i] { ends[i] = runHost((dir / (names[i] + ".xml")).u16string()); });
  }
  for (std::thread& run : runs) run.join();
  int served = 0;
  for (int i = 0; i < 3; ++i) {
    if (ends[i].exitCode == 0u) {
      ++served;
      EXPECT_EQ(ends[i].output, "[" + names[i] + "]");
    } else {
      EXPECT_EQ(ends[i].exitCode, 3u) << names[i] << ": " << ends[i].output << ends[i].errors;
      EXPECT_NE(ends[i].errors.find("already has an owner"), std::string::npos) << ends[i].errors;
      EXPECT_EQ(ends[i].output, "");
      EXPECT_LT(ends[i].seconds, 10) << names[i];
    }
  }
  EXPECT_EQ(served, 1);
}

}  // namespace
}  // namespace tarnweld
