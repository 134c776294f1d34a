// Loading into the libxml2 documents: text that is already decoded, DTD
// validation on and off, files and URIs in the host's convention, and the
// parse-error record that the run's reports are made from.
#include <gtest/gtest.h>
#include <libxml/catalog.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "text/utf.h"
#include "xml/libxml/libxml_parser.h"
#include "xml/libxml/libxml_resources.h"
#include "xml_test_support.h"

namespace tarnweld::xml {
namespace {

using testing::LoadOutcome;
using testing::outcomeOf;
using testing::silently;
using testing::TempDir;
using testing::utf8;
using testing::WorkingDirectory;

constexpr TextView kObjectNotFound = kObjectNotFoundCode;

class LibxmlLoadTest : public ::testing::Test {
 protected:
  LoadOutcome loadText(TextView text, bool validate = true) {
    auto document = parser_->createDocument();
    document->setValidateOnParse(validate);
    return outcomeOf(*document, silently([&] { return document->loadXML(text); }));
  }
  LoadOutcome loadFile(TextView path, bool validate = true) {
    auto document = parser_->createDocument();
    document->setValidateOnParse(validate);
    return outcomeOf(*document, silently([&] { return document->load(path); }));
  }
  // The document's root text, read back through a transformation.
  Text rootText(TextView text) {
    auto document = parser_->createDocument();
    auto stylesheet = parser_->createDocument();
    EXPECT_EQ(document->loadXML(text), true);
    EXPECT_EQ(
        stylesheet->loadXML("<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                            "<xsl:output method='text' encoding='UTF-8'/>"
                            "<xsl:template match='/'><xsl:value-of select='/*'/></xsl:template></xsl:stylesheet>"),
        true);
    return silently([&] { return document->transformNode(*stylesheet); }).value_or("<failed>");
  }

  std::unique_ptr<XmlParser> parser_ = makeLibxmlParser();
  TempDir dir_;
};

TEST_F(LibxmlLoadTest, TextIsNotDecodedAgainWhateverItsDeclarationSays) {
  for (TextView declaration : std::initializer_list<TextView>{
           "", "<?xml version='1.0' encoding='ISO-8859-1'?>", "<?xml version='1.0' encoding='UTF-16'?>",
           "<?xml version='1.0' encoding='windows-1252'?>", "<?xml version='1.0' encoding='UTF-8'?>",
           "\uFEFF<?xml version='1.0' encoding='ISO-8859-1'?>"}) {
    Text text(declaration);
    text += "<a>\u00E9\u20AC\U0001D11E</a>";
    EXPECT_EQ(utf8(rootText(text)), utf8("\u00E9\u20AC\U0001D11E")) << utf8(declaration);
    // A text larger than the reader's first piece, read in several.
    Text large(declaration);
    large += "<a>";
    for (int i = 0; i < 30'000; ++i) large += "\u00E9\u20AC";
    large += "</a>";
    const Text root = rootText(large);
    EXPECT_TRUE(root.size() == large.size() - declaration.size() - 7 && root.starts_with("\u00E9\u20AC"))
        << utf8(declaration) << ": " << root.size() << " bytes";
  }
}

TEST_F(LibxmlLoadTest, CharacterOutsideTheBmpSurvivesAChunkBoundary) {
  // The reader encodes 64K units at a time; the pair's first half ends the first chunk.
  const Text text = "<a>" + Text(64 * 1024 - 4, 'x') + "\U0001D11E</a>";
  EXPECT_EQ(utf8(rootText(text)), utf8(Text(64 * 1024 - 4, 'x') + "\U0001D11E"));
}

TEST_F(LibxmlLoadTest, ValidatesAgainstTheDtdTheDocumentDeclares) {
  const Text internalDtd = "<!DOCTYPE a [<!ELEMENT a (b)><!ELEMENT b (#PCDATA)>]>";
  const Text xhtmlDoctype =
      "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
      "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
      "<html xmlns=\"http://www.w3.org/1999/xhtml\">";
  const struct {
    const char* what;
    bool validate;
    Text text;
    bool loads;
    std::string reasonPart;
  } cases[] = {
      {"valid internal subset", true, internalDtd + "<a><b>x</b></a>", true, ""},
      {"invalid internal subset", true, internalDtd + "<a><c/></a>", false, "No declaration for element c"},
      {"invalid, not validating", false, internalDtd + "<a><c/></a>", true, ""},
      {"no DTD", true, "<a><c/></a>", true, ""},
      {"not well-formed", false, "<a><b></a>", false, "Opening and ending tag mismatch"},
      {"undefined prefix", false, "<a><p:b/></a>", false, "prefix p"},
      {"XHTML 1.0 Strict from the catalog", true,
       xhtmlDoctype + "<head><title>&eacute;</title></head><body><p>x</p></body></html>", true, ""},
      {"XHTML 1.0 Strict, invalid", true, xhtmlDoctype + "<body><p>x</p></body></html>", false, "html"},
      {"entity expansion bomb", false,
       "<!DOCTYPE a [<!ENTITY a0 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx'>"
       "<!ENTITY a1 '&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;'>"
       "<!ENTITY a2 '&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;'>"
       "<!ENTITY a3 '&a2;&a2;&a2;&a2;&a2;&a2;&a2;&a2;&a2;&a2;&a2;&a2;&a2;&a2;&a2;&a2;'>"
       "<!ENTITY a4 '&a3;&a3;&a3;&a3;&a3;&a3;&a3;&a3;&a3;&a3;&a3;&a3;&a3;&a3;&a3;&a3;'>"
       "<!ENTITY a5 '&a4;&a4;&a4;&a4;&a4;&a4;&a4;&a4;&a4;&a4;&a4;&a4;&a4;&a4;&a4;&a4;'>"
       "<!ENTITY a6 '&a5;&a5;&a5;&a5;&a5;&a5;&a5;&a5;&a5;&a5;&a5;&a5;&a5;&a5;&a5;&a5;'>"
       "<!ENTITY a7 '&a6;&a6;&a6;&a6;&a6;&a6;&a6;&a6;&a6;&a6;&a6;&a6;&a6;&a6;&a6;&a6;'>]><a>&a7;</a>",
       false, "entit"},
  };
  for (const auto& row : cases) {
    const LoadOutcome outcome = loadText(row.text, row.validate);
    EXPECT_EQ(outcome.loaded, row.loads) << row.what << ": " << utf8(outcome.reason);
    EXPECT_NE(utf8(outcome.reason).find(row.reasonPart), std::string::npos) << row.what << ": " << utf8(outcome.reason);
    if (row.loads) {
      EXPECT_EQ(outcome.line, 0) << row.what;
    }
  }
}

TEST_F(LibxmlLoadTest, RecordDescribesTheFirstErrorWithItsWholeLine) {
  Text longLine = "<b>";
  for (int i = 0; i < 300; ++i) longLine += "\u00E9";
  longLine += "</c>";
  const struct {
    const char* what;
    Text text;
    std::int32_t line, linepos;
    Text srcText;
  } cases[] = {
      {"LF lines", "<a>\n  <b>\n  </c>\n</a>", 3, 7, "  </c>"},
      {"CRLF lines", "<a>\r\n  <b>\r\n  </c>\r\n</a>", 3, 7, "  </c>"},
      {"long line", "<a>\n" + longLine + "\n</a>", 2, 308, longLine},
      // The host counts UTF-16 units: a character beyond U+FFFF is two.
      {"characters beyond U+FFFF", "<a>\U0001F600\U0001F600\U0001F600<b></c></a>", 1, 17,
       "<a>\U0001F600\U0001F600\U0001F600<b></c></a>"},
      {"two errors, the first one counts", "<a>\n<b x='1' x='2'/>\n<c></d>\n</a>", 2, 15, "<b x='1' x='2'/>"},
      {"in the external DTD", "<!DOCTYPE a SYSTEM '" + textFromAscii(dir_.path().string()) + "/broken.dtd'><a/>", 2, 18,
       "<!ELEMENT b (oops>"},
  };
  dir_.write("broken.dtd", "<!ELEMENT a EMPTY>\n<!ELEMENT b (oops>\n");
  for (const auto& row : cases) {
    const LoadOutcome outcome = loadText(row.text);
    EXPECT_EQ(outcome.loaded, false) << row.what;
    EXPECT_FALSE(outcome.reason.empty()) << row.what;
    EXPECT_EQ(outcome.reason.back() == '\n', false) << row.what;
    EXPECT_EQ(outcome.line, row.line) << row.what;
    EXPECT_EQ(outcome.linepos, row.linepos) << row.what;
    EXPECT_EQ(utf8(outcome.srcText), utf8(row.srcText)) << row.what;
  }
}

TEST_F(LibxmlLoadTest, RecordIsEmptyBeforeAnyLoadAndAfterASuccessfulOne) {
  auto document = parser_->createDocument();
  const LoadOutcome before = outcomeOf(*document, std::nullopt);
  EXPECT_EQ(before.reason, "");
  EXPECT_EQ(before.line, 0);
  ASSERT_EQ(document->loadXML("<a>"), false);
  const LoadOutcome after = outcomeOf(*document, document->loadXML("<a/>"));
  EXPECT_EQ(after.loaded, true);
  EXPECT_EQ(after.reason, "");
  EXPECT_EQ(after.srcText, "");
  EXPECT_EQ(after.line, 0);
  EXPECT_EQ(after.linepos, 0);
}

TEST_F(LibxmlLoadTest, RelativeDtdOfTextResolvesAgainstTheWorkingDirectory) {
  dir_.write("dtds/a.dtd", "<!ELEMENT a (b)>\n<!ELEMENT b (#PCDATA)>\n");
  WorkingDirectory inDir(dir_.path());
  EXPECT_EQ(loadText("<!DOCTYPE a SYSTEM 'dtds/a.dtd'><a><b/></a>").loaded, true);
  const LoadOutcome invalid = loadText("<!DOCTYPE a SYSTEM 'dtds/a.dtd'>\n<a><c/></a>");
  EXPECT_EQ(invalid.loaded, false);
  EXPECT_EQ(invalid.line, 2);
  EXPECT_EQ(invalid.srcText, "<a><c/></a>");
  const LoadOutcome missing = loadText("<!DOCTYPE a SYSTEM 'dtds/none.dtd'><a><b/></a>");
  EXPECT_EQ(missing.loaded, false) << "a DTD that cannot be read cannot validate";
  EXPECT_NE(utf8(missing.reason).find("none.dtd"), std::string::npos) << utf8(missing.reason);
  EXPECT_EQ(loadText("<!DOCTYPE a SYSTEM 'dtds/none.dtd'><a><b/></a>", false).loaded, true);
}

TEST_F(LibxmlLoadTest, FilesLoadFromHostPathsAndUrisWithTheirDtdBesideThem) {
  const std::string valid =
      "<?xml version='1.0' encoding='ISO-8859-1'?>\n<!DOCTYPE a SYSTEM 'a.dtd'>\n<a><b>\xE9</b></a>\n";
  // The DTD's own references resolve against the DTD.
  dir_.write("with space/a.dtd", "<!ELEMENT a (b)>\n<!ENTITY % b SYSTEM 'b.ent'>\n%b;\n");
  dir_.write("with space/b.ent", "<!ELEMENT b (#PCDATA)>\n");
  dir_.write("with space/a.xml", valid);
  WorkingDirectory inDir(dir_.path());
  const Text absolute = textFromAscii(dir_.path().string()) + "/with space/a.xml";
  const Text hostStyle = withAsciiReplaced(absolute, '/', '\\');
  for (const Text& path : {Text("with space\\a.xml"), Text("with space/a.xml"), hostStyle,
                           "file://" + textFromAscii(dir_.path().string()) + "/with%20space/a.xml",
                           "file://localhost" + textFromAscii(dir_.path().string()) + "/with%20space/a.xml",
                           "file://" + textFromAscii(dir_.path().string()) + "/with%20space/a.xm%6C"}) {
    const LoadOutcome outcome = loadFile(path);
    EXPECT_EQ(outcome.loaded, true) << utf8(path) << ": " << utf8(outcome.reason);
  }
}

TEST_F(LibxmlLoadTest, OnlyAMissingFileReportsObjectNotFoundAndNoneWaits) {
  const std::string root = dir_.path().string();
  dir_.write("sub/x.xsl", "<x/>");
  dir_.write("top.xsl", "<x/>");
  ASSERT_EQ(mkfifo((root + "/fifo.xsl").c_str(), 0600), 0);
  const auto locked = dir_.write("locked.xsl", "<x/>");
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  std::filesystem::permissions(dir_.path(), std::filesystem::perms::others_exec, std::filesystem::perm_options::add);
  const struct {
    Text path;
    bool notFound;
    std::string reasonPart;
  } cases[] = {
      {textFromAscii(root) + "/none.xsl", true, ""},
      {"file://" + textFromAscii(root) + "/none.xsl", true, ""},
      {"", true, ""},
      {textFromAscii(root) + "/top.xsl%00.png", true, ""},
      {"file://" + textFromAscii(root) + "/top.xsl%00.png", true, ""},
      {textFromAscii(root) + "\\sub", false, "directory"},
      {textFromAscii(root) + "/fifo.xsl", false, "not a regular file"},
      {"/dev/zero", false, "not a regular file"},
      {textFromAscii(root) + "/locked.xsl", false, "Permission denied"},
      {textFromAscii(root) + "/top.xsl/x.xsl", true, ""},
      {"http://127.0.0.1:1/s.xsl", false, "cannot be reached; no XML catalog on this machine maps it"},
      {"ftp://127.0.0.1/s.xsl", false, "scheme is not read; no XML catalog on this machine maps it"},
      {"file:///dev/zero", false, "not a regular file"},
      {"file://evilhost" + textFromAscii(root) + "/top.xsl", false, "on another machine (a share)"},
  };
  for (const auto& row : cases) {
    const auto start = std::chrono::steady_clock::now();
    const LoadOutcome outcome = row.path.ends_with("locked.xsl")
                                    ? testing::asUnprivilegedUser([&] { return loadFile(row.path); })
                                    : loadFile(row.path);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << utf8(row.path);
    EXPECT_EQ(outcome.loaded, false) << utf8(row.path);
    EXPECT_EQ(outcome.reason.find(kObjectNotFound) != Text::npos, row.notFound)
        << utf8(row.path) << ": " << utf8(outcome.reason);
    EXPECT_NE(utf8(outcome.reason).find(row.reasonPart), std::string::npos) << utf8(outcome.reason);
    // Only a URI that a catalog could have mapped says that none does.
    EXPECT_EQ(utf8(outcome.reason).find("no XML catalog") != std::string::npos,
              row.reasonPart.find("no XML catalog") != std::string::npos)
        << utf8(outcome.reason);
  }
}

TEST_F(LibxmlLoadTest, ExternalEntitiesAndDtdsAreReadOnlyFromLocalFilesWithoutWaiting) {
  const std::string root = dir_.path().string();
  ASSERT_EQ(mkfifo((root + "/fifo.ent").c_str(), 0600), 0);
  testing::Listener server;
  const std::string http = "http://127.0.0.1:" + std::to_string(server.port());
  const struct {
    std::string text;
    std::string reasonPart;
  } cases[] = {
      {"<!DOCTYPE a [<!ENTITY e SYSTEM '" + root + "/fifo.ent'>]><a>&e;</a>", "not a regular file"},
      {"<!DOCTYPE a SYSTEM '/dev/zero'><a/>", "not a regular file"},
      {"<!DOCTYPE a SYSTEM '" + root + "'><a/>", "directory"},
      {"<!DOCTYPE a SYSTEM '" + http + "/a.dtd'><a/>", "network, which only a stylesheet may be; no XML catalog"},
      {"<!DOCTYPE a [<!ENTITY e SYSTEM '" + http + "/e.xml'>]><a>&e;</a>", "network"},
      {"<!DOCTYPE a SYSTEM 'https://127.0.0.1:1/a.dtd'><a/>", "; no XML catalog on this machine maps it"},
  };
  for (const auto& row : cases) {
    const auto start = std::chrono::steady_clock::now();
    const LoadOutcome outcome = loadText(textFromUtf8(row.text));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << row.text;
    EXPECT_EQ(outcome.loaded, false) << row.text;
    EXPECT_NE(utf8(outcome.reason).find(row.reasonPart), std::string::npos) << row.text << ": " << utf8(outcome.reason);
  }
  EXPECT_FALSE(server.wasContacted());
}

TEST_F(LibxmlLoadTest, ExternalEntitiesAndDtdsAreDecodedAsTheirTextDeclarationsSay) {
  WorkingDirectory inDir(dir_.path());
  const struct {
    const char* what;
    std::string file;
    std::string bytes;
    Text text;
  } cases[] = {
      {"entity, UTF-8", "u.ent", "<?xml version='1.0' encoding='UTF-8'?>\xC3\xA9",
       "<!DOCTYPE a [<!ELEMENT a (#PCDATA)><!ENTITY e SYSTEM 'u.ent'>]><a>&e;</a>"},
      {"entity, ISO-8859-1", "l.ent", "<?xml version='1.0' encoding='ISO-8859-1'?>\xE9",
       "<!DOCTYPE a [<!ELEMENT a (#PCDATA)><!ENTITY e SYSTEM 'l.ent'>]><a>&e;</a>"},
      {"DTD, UTF-8", "u.dtd", "<?xml version='1.0' encoding='UTF-8'?>\n<!ELEMENT a (#PCDATA)><!ENTITY x '\xC3\xA9'>",
       "<?xml version='1.0' encoding='windows-1252'?><!DOCTYPE a SYSTEM 'u.dtd'><a>&x;</a>"},
      {"DTD, ISO-8859-1", "l.dtd",
       "<?xml version='1.0' encoding='ISO-8859-1'?>\n<!ELEMENT a (#PCDATA)><!ENTITY x '\xE9'>",
       "<!DOCTYPE a SYSTEM 'l.dtd'><a>&x;</a>"},
  };
  for (const auto& row : cases) {
    dir_.write(row.file, row.bytes);
    EXPECT_EQ(loadText(row.text).loaded, true) << row.what << ": " << utf8(loadText(row.text).reason);
    EXPECT_EQ(utf8(rootText(row.text)), utf8("\u00E9")) << row.what;
  }
}

TEST_F(LibxmlLoadTest, ReferencesHoldingEscapedControlCharactersAreRefusedAsWritten) {
  dir_.write("ent.txt", "read");
  dir_.write("a.dtd", "<!ELEMENT a (#PCDATA)>");
  WorkingDirectory inDir(dir_.path());
  for (const Text& text : {
           Text("<!DOCTYPE a [<!ENTITY e SYSTEM 'ent.txt%00.png'>]><a>&e;</a>"),
           Text("<!DOCTYPE a [<!ENTITY e SYSTEM 'ent.txt%0a'>]><a>&e;</a>"),
           Text("<!DOCTYPE a [<!ENTITY e SYSTEM 'ent.txt%1F'>]><a>&e;</a>"),
           Text("<!DOCTYPE a [<!ENTITY e SYSTEM 'ent.txt%19'>]><a>&e;</a>"),
           Text("<!DOCTYPE a [<!ENTITY e SYSTEM 'ent.txt%7f'>]><a>&e;</a>"),
           Text("<!DOCTYPE a [<!ENTITY % p SYSTEM 'a.dtd%00.x'>%p;]><a/>"),
           Text("<!DOCTYPE a SYSTEM 'a.dtd%00.png'><a/>"),
       }) {
    for (bool validate : {true, false}) {
      const LoadOutcome outcome = loadText(text, validate);
      EXPECT_EQ(outcome.loaded, false) << utf8(text) << validate;
      EXPECT_NE(utf8(outcome.reason).find("escaped control character"), std::string::npos)
          << utf8(text) << ": " << utf8(outcome.reason);
    }
  }
  EXPECT_EQ(loadText("<!DOCTYPE a [<!ELEMENT a (#PCDATA)><!ENTITY e SYSTEM 'ent.txt'>]><a>&e;</a>").loaded, true);
  EXPECT_EQ(rootText("<!DOCTYPE a [<!ELEMENT a (#PCDATA)><!ENTITY e SYSTEM 'ent%2etxt'>]><a>&e;</a>"), "read");
  dir_.write("ent x.txt", "spaced");  // a space is no control character
  EXPECT_EQ(rootText("<!DOCTYPE a [<!ELEMENT a (#PCDATA)><!ENTITY e SYSTEM 'ent%20x.txt'>]><a>&e;</a>"), "spaced");
}

TEST_F(LibxmlLoadTest, DocumentCatalogsAreReadOnlyFromLocalRegularFiles) {
  const std::string root = dir_.path().string();
  ASSERT_EQ(mkfifo((root + "/fifo.cat").c_str(), 0600), 0);
  dir_.write("mapped.dtd", "<!ELEMENT a (#PCDATA)><!ENTITY e 'mapped'>");
  const std::string catalog =
      "<catalog xmlns='urn:oasis:names:tc:entity:xmlns:xml:catalog'><system systemId='urn:x:dtd' uri='" + root +
      "/mapped.dtd'/></catalog>";
  dir_.write("local.cat", catalog);
  dir_.write("local%0G.cat", catalog);  // "%0G" is no escape: read as written
  testing::Listener server;
  const std::string http = "http://127.0.0.1:" + std::to_string(server.port());
  const struct {
    std::string catalog;
    bool loads;
  } cases[] = {
      {root + "/local.cat", true},    {"file://" + root + "/local.cat", true},
      {root + "/local%0G.cat", true}, {root + "/fifo.cat", false},
      {"/dev/zero", false},           {http + "/c.cat", false},
  };
  for (const auto& row : cases) {
    const std::string text =
        "<?oasis-xml-catalog catalog='" + row.catalog + "'?><!DOCTYPE a SYSTEM 'urn:x:dtd'><a>&e;</a>";
    const auto start = std::chrono::steady_clock::now();
    const LoadOutcome outcome = loadText(textFromUtf8(text));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << row.catalog;
    EXPECT_EQ(outcome.loaded, row.loads) << row.catalog << ": " << utf8(outcome.reason);
    if (row.loads) {
      EXPECT_EQ(rootText(textFromUtf8(text)), "mapped") << row.catalog;
    }
  }
  EXPECT_FALSE(server.wasContacted());
}

TEST_F(LibxmlLoadTest, FileOfExactlyTheLimitIsReadAndOneByteMoreIsNot) {
  // What follows the element ends the parse at once: only the read is timed.
  const std::string element = "<x/>\n<y/>\n";
  const std::string filler(kMaxResourceBytes - element.size(), 'z');
  const auto exact = dir_.write("exact.xsl", element + filler);
  const auto over = dir_.write("over.xsl", element + filler + "z");
  const LoadOutcome read = loadFile(textFromAscii(exact.string()));
  EXPECT_EQ(read.line, 2) << utf8(read.reason);
  const LoadOutcome refused = loadFile(textFromAscii(over.string()));
  EXPECT_EQ(refused.loaded, false);
  EXPECT_NE(utf8(refused.reason).find("larger than the limit"), std::string::npos) << utf8(refused.reason);
}

TEST_F(LibxmlLoadTest, StylesheetUriIsReadFromWhereTheSystemCatalogsMapIt) {
  const auto local = dir_.write("local.xsl", "<x/>");
  const auto catalog = dir_.write("system.cat",
                                  "<catalog xmlns='urn:oasis:names:tc:entity:xmlns:xml:catalog'>"
                                  "<system systemId='http://stylesheets.invalid/by-system-id.xsl' uri='file://" +
                                      local.string() +
                                      "'/>"
                                      "<uri name='http://stylesheets.invalid/by-uri.xsl' uri='file://" +
                                      local.string() + "'/></catalog>");
  parser_->createDocument();  // the system catalogs are set up with the first document
  ASSERT_EQ(xmlLoadCatalog(catalog.c_str()), 0);
  for (TextView uri : std::initializer_list<TextView>{"http://stylesheets.invalid/by-system-id.xsl",
                                                      "http://stylesheets.invalid/by-uri.xsl"}) {
    const LoadOutcome outcome = loadFile(uri);
    EXPECT_EQ(outcome.loaded, true) << utf8(uri) << ": " << utf8(outcome.reason);
  }
}

TEST_F(LibxmlLoadTest, MalformedFileRecordsItsLineInItsOwnEncoding) {
  const auto path =
      dir_.write("bad.xsl", "<?xml version='1.0' encoding='ISO-8859-1'?>\n<x>\n  <y a='\xE9'></z>\n</x>\n");
  const LoadOutcome outcome = loadFile(textFromAscii(path.string()));
  EXPECT_EQ(outcome.loaded, false);
  EXPECT_NE(utf8(outcome.reason).find("mismatch"), std::string::npos) << utf8(outcome.reason);
  EXPECT_EQ(outcome.line, 3);
  EXPECT_EQ(outcome.linepos, 16);
  EXPECT_EQ(outcome.srcText, "  <y a='\u00E9'></z>");
  EXPECT_EQ(outcome.reason.find(kObjectNotFound), Text::npos);

  // Its column in UTF-16 units, as the host counts them.
  const auto wide = dir_.write("wide.xsl", "<x>\n  <y a='\xF0\x9F\x98\x80\xF0\x9F\x98\x80'></z>\n</x>\n");
  const LoadOutcome widened = loadFile(textFromAscii(wide.string()));
  EXPECT_EQ(widened.line, 2);
  EXPECT_EQ(widened.linepos, 19);
}

}  // namespace
}  // namespace tarnweld::xml
