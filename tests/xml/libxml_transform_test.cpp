// Transformations with the libxml2 documents: the output as the stylesheet's
// xsl:output asks for it, decoded without loss from whatever encoding it
// names; the failures that must not pass for output; the extension functions
// stylesheets rely on; and a transformation that cannot write files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/posix/sealed_file_text.h"
#include "platform/posix/sealed_memfd.h"
#include "text/utf.h"
#include "xml/libxml/libxml_http.h"
#include "xml/libxml/libxml_parser.h"
#include "xml/libxml/libxml_resources.h"
#include "xml_test_support.h"

namespace tarnweld::xml {
namespace {

using testing::silently;
using testing::TempDir;
using testing::utf8;
using testing::WorkingDirectory;

constexpr TextView kStylesheetStart =
    "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform' "
    "xmlns:msxsl='urn:schemas-microsoft-com:xslt' xmlns:exsl='http://exslt.org/common' "
    "xmlns:str='http://exslt.org/strings' extension-element-prefixes='exsl' "
    "exclude-result-prefixes='msxsl str'>";
constexpr TextView kStylesheetEnd = "</xsl:stylesheet>";
constexpr TextView kSource = "<doc><item>\u00E9\u20AC\U0001D11E</item><item>b</item></doc>";

Text stylesheet(TextView body) { return Text(kStylesheetStart).append(body).append(kStylesheetEnd); }

class LibxmlTransformTest : public ::testing::Test {
 protected:
  std::optional<Text> transform(TextView stylesheetText, TextView source = kSource) {
    auto document = parser_->createDocument();
    auto style = parser_->createDocument();
    EXPECT_EQ(document->loadXML(source), true);
    EXPECT_EQ(style->loadXML(stylesheetText), true) << utf8(stylesheetText);
    return silently([&] { return document->transformNode(*style); });
  }

  std::unique_ptr<XmlParser> parser_ = makeLibxmlParser();
  TempDir dir_;
};

TEST_F(LibxmlTransformTest, OutputKeepsNonAsciiTextWhateverEncodingItIsWrittenIn) {
  const Text copy = "<xsl:template match='/'><out><xsl:value-of select='/doc/item[1]'/></out></xsl:template>";
  const Text text = "\u00E9\u20AC\U0001D11E";
  // A result libxslt writes in UTF-8 stays in the memory file it was
  // written to, which is what goes to the host; any other is decoded.
  const struct {
    Text output;
    Text expected;
    bool inFile;
  } cases[] = {
      {"<xsl:output encoding='UTF-8'/>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<out>" + text + "</out>\n", true},
      {"<xsl:output encoding='UTF-16'/>", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<out>" + text + "</out>\n",
       false},
      {"<xsl:output encoding='ISO-8859-1'/>",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<out>\u00E9&#8364;&#119070;</out>\n", false},
      {"<xsl:output encoding='no-such-encoding'/>",
       "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?>\n<out>" + text + "</out>\n", true},
      {"<xsl:output method='text' encoding='UTF-16'/>", text, false},
      {"<xsl:output method='text' encoding='windows-1252'/>", "\u00E9\u20AC&#119070;", false},
      {"<xsl:output omit-xml-declaration='yes'/>", "<out>" + text + "</out>\n", true},
  };
  for (const auto& row : cases) {
    const auto output = transform(stylesheet(row.output + copy));
    EXPECT_EQ(utf8(output.value_or("<failed>")), utf8(row.expected)) << utf8(row.output);
    if (output) {
      EXPECT_EQ(posix::sealedFileOf(*output) >= 0, row.inFile) << utf8(row.output);
      EXPECT_EQ(utf16Length(*output), utf16Length(row.expected.view())) << utf8(row.output);
    }
  }
  // A byte-order mark that opens a result is not part of its text.
  EXPECT_EQ(transform(stylesheet("<xsl:output method='text'/><xsl:template match='/'>&#xFEFF;x</xsl:template>")), "x");
}

TEST_F(LibxmlTransformTest, OutputFollowsMethodAndIndent) {
  const struct {
    Text body;
    Text expected;
  } cases[] = {
      {"<xsl:output method='html'/><xsl:template match='/'><html><body><p>a</p><br/></body></html></xsl:template>",
       "<html><body>\n<p>a</p>\n<br>\n</body></html>\n"},
      {"<xsl:output method='xml' indent='yes' omit-xml-declaration='yes'/>"
       "<xsl:template match='/'><a><b>x</b></a></xsl:template>",
       "<a>\n  <b>x</b>\n</a>\n"},
      {"<xsl:output method='text'/><xsl:template match='/'>a<xsl:value-of select='count(//item)'/></xsl:template>",
       "a2"},
  };
  for (const auto& row : cases) {
    EXPECT_EQ(utf8(transform(stylesheet(row.body)).value_or("<failed>")), utf8(row.expected)) << utf8(row.body);
  }
}

TEST_F(LibxmlTransformTest, ExtensionFunctionsOfBothPlatformsWork) {
  const struct {
    Text body;
    Text expected;
  } cases[] = {
      {"<xsl:variable name='v'><i>1</i><i>2</i></xsl:variable>"
       "<xsl:template match='/'><xsl:value-of select='count(msxsl:node-set($v)/i)'/></xsl:template>",
       "2"},
      {"<xsl:variable name='v'><i>1</i><i>2</i></xsl:variable>"
       "<xsl:template match='/'><xsl:value-of select='sum(exsl:node-set($v)/i)'/></xsl:template>",
       "3"},
      {"<xsl:template match='/'><xsl:value-of select='count(str:tokenize(\"a,b,c\", \",\"))'/></xsl:template>", "3"},
  };
  for (const auto& row : cases) {
    EXPECT_EQ(utf8(transform(stylesheet("<xsl:output method='text'/>" + row.body)).value_or("<failed>")),
              utf8(row.expected))
        << utf8(row.body);
  }
}

TEST_F(LibxmlTransformTest, FailedTransformationsGiveNoOutput) {
  const struct {
    const char* what;
    Text stylesheet;
  } cases[] = {
      {"not a stylesheet", "<doc><item/></doc>"},
      {"not XSLT at all", "<xsl:stylesheet version='1.0' xmlns:xsl='urn:other'/>"},
      {"terminating message",
       stylesheet("<xsl:template match='/'><out/><xsl:message terminate='yes'>stop</xsl:message></xsl:template>")},
      {"runaway recursion",
       stylesheet("<xsl:template name='r'><xsl:param name='n' select='0'/><x/><xsl:call-template name='r'>"
                  "<xsl:with-param name='n' select='$n + 1'/></xsl:call-template></xsl:template>"
                  "<xsl:template match='/'><xsl:call-template name='r'/></xsl:template>")},
      {"runaway apply-templates",
       stylesheet("<xsl:template match='/'><xsl:apply-templates select='.' mode='m'/></xsl:template>"
                  "<xsl:template match='/' mode='m'><xsl:apply-templates select='.' mode='m'/></xsl:template>")},
      {"unknown function at run time", stylesheet("<xsl:template match='/'><xsl:value-of select='sum(1)'/>"
                                                  "</xsl:template>")},
      {"unknown variable", stylesheet("<xsl:template match='/'><xsl:value-of select='$nothing'/></xsl:template>")},
  };
  for (const auto& row : cases) {
    auto document = parser_->createDocument();
    auto style = parser_->createDocument();
    ASSERT_EQ(document->loadXML(kSource), true);
    ASSERT_EQ(style->loadXML(row.stylesheet), true) << row.what;
    EXPECT_EQ(silently([&] { return document->transformNode(*style); }), std::nullopt) << row.what;
    // The source's record now holds why.
    EXPECT_NE(document->parseError()->reason(), "") << row.what;
  }
}

TEST_F(LibxmlTransformTest, MessagesThatDoNotTerminateLeaveTheOutput) {
  EXPECT_EQ(transform(stylesheet("<xsl:output method='text'/><xsl:template match='/'>"
                                 "<xsl:message>note</xsl:message>ok</xsl:template>")),
            "ok");
}

TEST_F(LibxmlTransformTest, TransformationWritesNoFile) {
  WorkingDirectory inDir(dir_.path());
  std::filesystem::create_directory(dir_.path() / "existing");
  for (const char* target : {"sub/written.xml", "existing/written.xml"}) {
    const Text path = textFromAscii((dir_.path() / target).string());
    EXPECT_EQ(transform(stylesheet("<xsl:template match='/'><exsl:document href='" + path +
                                   "'><w/></exsl:document><out/></xsl:template>")),
              std::nullopt);
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "sub"));
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path() / "existing"));
}

TEST_F(LibxmlTransformTest, FailedTransformationRecordsWhyAndWhereInTheStylesheet) {
  const auto path = dir_.write("stop.xsl",
                               "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>\n"
                               "<xsl:template match='/'><out/><xsl:message>earlier</xsl:message>\n"
                               "  <xsl:message>note</xsl:message><xsl:message terminate='yes'>stop here</xsl:message>\n"
                               "</xsl:template></xsl:stylesheet>\n");
  auto document = parser_->createDocument();
  auto style = parser_->createDocument();
  ASSERT_EQ(document->loadXML(kSource), true);
  ASSERT_EQ(style->load(textFromAscii(path.string())), true);
  EXPECT_EQ(silently([&] { return document->transformNode(*style); }), std::nullopt);
  const auto record = testing::outcomeOf(*document, std::nullopt);
  EXPECT_EQ(utf8(record.reason), "stop here");
  EXPECT_EQ(record.line, 3);
  EXPECT_EQ(record.linepos, 34);
  EXPECT_EQ(utf8(record.srcText),
            "  <xsl:message>note</xsl:message><xsl:message terminate='yes'>stop here</xsl:message>");

  // Instructions without a prefix, in the default namespace.
  const auto unprefixed = dir_.write("unprefixed.xsl",
                                     "<stylesheet version='1.0' xmlns='http://www.w3.org/1999/XSL/Transform'>\n"
                                     "<template match='/'><message terminate='yes'>stop</message></template>\n"
                                     "</stylesheet>\n");
  ASSERT_EQ(style->load(textFromAscii(unprefixed.string())), true);
  EXPECT_EQ(silently([&] { return document->transformNode(*style); }), std::nullopt);
  const auto plain = testing::outcomeOf(*document, std::nullopt);
  EXPECT_EQ(utf8(plain.reason), "stop");
  EXPECT_EQ(plain.line, 2);
  EXPECT_EQ(plain.linepos, 21);

  // However many notes came first, the reason is why it stopped.
  Text notes;
  for (int i = 0; i < 300; ++i) notes += "<xsl:message>note</xsl:message>";
  ASSERT_EQ(style->loadXML(stylesheet("<xsl:template match='/'>" + notes +
                                      "<xsl:message terminate='yes'>stop after the notes</xsl:message>"
                                      "</xsl:template>")),
            true);
  EXPECT_EQ(silently([&] { return document->transformNode(*style); }), std::nullopt);
  EXPECT_EQ(utf8(*document->parseError()->reason()), "stop after the notes");
}

TEST_F(LibxmlTransformTest, DocumentFunctionReadsNoDeviceNoFifoAndNoNetwork) {
  ASSERT_EQ(mkfifo((dir_.path() / "fifo.xml").c_str(), 0600), 0);
  testing::Listener server;
  for (const Text& uri :
       {Text("file:///dev/zero"), Text("/dev/zero"), textFromAscii((dir_.path() / "fifo.xml").string()),
        "http://127.0.0.1:" + textFromAscii(std::to_string(server.port())) + "/d.xml"}) {
    const auto start = std::chrono::steady_clock::now();
    const auto output =
        transform(stylesheet("<xsl:output method='text'/><xsl:template match='/'>"
                             "n=<xsl:value-of select=\"count(document('" +
                             uri + "'))\"/></xsl:template>"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << utf8(uri);
    EXPECT_EQ(output, "n=0") << utf8(uri);
  }
  EXPECT_FALSE(server.wasContacted());
}

TEST_F(LibxmlTransformTest, HttpReadGivesUpAtItsDeadline) {
  testing::Listener trickling(true);
  const auto start = std::chrono::steady_clock::now();
  const Result<std::string> body =
      httpGet("http://127.0.0.1:" + std::to_string(trickling.port()) + "/s.xsl", std::chrono::seconds(1), 1024 * 1024);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  ASSERT_FALSE(body.ok());
  EXPECT_NE(body.reason().find("time"), std::string::npos) << body.reason();
}

// The network reads of one stylesheet tree share one bound: a stylesheet read
// at once leaves the rest of it to what it includes, a slow include is cut
// off when the tree's time runs out (not at its own deadline), and once it
// has run out nothing more is even asked for; the reason names the bound.
TEST_F(LibxmlTransformTest, AStylesheetTreeReadsOverTheNetworkWithinOneBound) {
  testing::Listener trickling(true);
  const std::string slow = "http://127.0.0.1:" + std::to_string(trickling.port()) + "/inc.xsl";
  testing::HttpServer server({{"/s.xsl", testing::httpAnswer("200 OK", "",
                                                             "<xsl:stylesheet version='1.0' "
                                                             "xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                                                             "<xsl:include href='" +
                                                                 slow + "'/></xsl:stylesheet>")}});
  useStylesheetTreeNetworkTimeForTests(std::chrono::milliseconds(1500));
  auto document = parser_->createDocument();
  auto style = parser_->createDocument();
  ASSERT_EQ(document->loadXML(kSource), true);
  ASSERT_EQ(silently([&] { return style->load(textFromAscii(server.url("/s.xsl"))); }), true);
  // What the stylesheet's read left is what its includes get, whatever a
  // tree read from now on would get.
  useStylesheetTreeNetworkTimeForTests(NetworkTime::Duration::zero());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(silently([&] { return document->transformNode(*style); }), std::nullopt);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  const std::string reason = utf8(*document->parseError()->reason());
  EXPECT_NE(reason.find("may take 1500 milliseconds in all to read over the network"), std::string::npos) << reason;

  testing::Listener untouched;
  NetworkTime spent(NetworkTime::Duration::zero());
  const Result<std::string> refused =
      readResource("http://127.0.0.1:" + std::to_string(untouched.port()) + "/s.xsl", Reach::kNetwork, spent);
  ASSERT_FALSE(refused.ok());
  EXPECT_NE(refused.reason().find("in all to read over the network"), std::string::npos) << refused.reason();
  EXPECT_FALSE(untouched.wasContacted());
  EXPECT_EQ(NetworkTime().total(), kStylesheetTreeNetworkTime);
}

// Within the tree's time, each read still ends at its own deadline.
TEST_F(LibxmlTransformTest, EachNetworkReadKeepsItsOwnDeadlineInsideTheTreesTime) {
  testing::Listener trickling(true);
  NetworkTime time(std::chrono::seconds(20));
  const auto start = std::chrono::steady_clock::now();
  const Result<std::string> read =
      readResource("http://127.0.0.1:" + std::to_string(trickling.port()) + "/s.xsl", Reach::kNetwork, time);
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_FALSE(read.ok());
  EXPECT_GE(took, kNetworkDeadline);
  EXPECT_LT(took, kNetworkDeadline + std::chrono::seconds(2));
  EXPECT_EQ(read.reason().find("in all"), std::string::npos) << read.reason();
  EXPECT_LT(time.left(), std::chrono::seconds(20) - kNetworkDeadline + std::chrono::milliseconds(1));
}

// libcurl is found at run time: one that lacks a function the client calls,
// or whose start-up fails, is reported as not installed, and nothing calls
// into it (the child would crash).
TEST(HttpLibraryTest, ALibcurlThatLacksAFunctionOrCannotStartIsNotInstalled) {
  for (const std::string variant : {"lacking", "failing"}) {
    const std::string command = "LD_LIBRARY_PATH='" + std::string(TARNWELD_FAKE_CURL_DIR) + "/" + variant + "' '" +
                                TARNWELD_HTTP_PROBE + "' http://127.0.0.1:9/s.xsl 2>&1";
    std::FILE* child = popen(command.c_str(), "r");
    ASSERT_NE(child, nullptr);
    std::string out;
    char buffer[256];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, child)) out.append(buffer, n);
    const int status = pclose(child);
    EXPECT_EQ(status, 0) << variant << ": " << out;
    EXPECT_NE(out.find("libcurl"), std::string::npos) << variant << ": " << out;
    EXPECT_EQ(out.find("read"), std::string::npos) << variant << ": " << out;
  }
}

TEST_F(LibxmlTransformTest, SlowNameResolutionEndsWithinTheDeadline) {
  // Without a limit of its own, this resolver would wait 30 s.
  const auto resolvConf = dir_.write("resolv.conf", "nameserver 127.0.0.1\noptions timeout:15 attempts:2\n");
  const int status = testing::withSilentNameServer(resolvConf, [] {
    const auto start = std::chrono::steady_clock::now();
    const Result<std::string> body = httpGet("http://stylesheets.invalid/s.xsl", std::chrono::seconds(1), 1024);
    return !body.ok() && body.reason().find("time") != std::string::npos &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(3);
  });
  if (status == testing::kNoIsolation) GTEST_SKIP() << "this system allows no user namespaces";
  EXPECT_EQ(status, 0);
}

TEST_F(LibxmlTransformTest, HttpReadFollowsTheServersAnswer) {
  using testing::httpAnswer;
  constexpr std::size_t kCap = 100;
  const std::string full(kCap, 'x');
  testing::HttpServer server({
      {"/plain", httpAnswer("200 OK", "", "<a/>")},
      {"/moved", httpAnswer("301 Moved", "location: /plain\r\n", "")},
      {"/to-file", httpAnswer("302 Found", "Location: file:///etc/hostname\r\n", "")},
      {"/loop", httpAnswer("302 Found", "Location: /loop\r\n", "")},
      {"/gone", httpAnswer("410 Gone", "", "")},
      {"/broken", httpAnswer("500 Internal Server Error", "", "oops")},
      {"/no-place", httpAnswer("302 Found", "", "")},
      {"/full", httpAnswer("200 OK", "", full)},
      {"/over", httpAnswer("200 OK", "", full + "x")},
      {"/over-unannounced", "HTTP/1.0 200 OK\r\n\r\n" + full + "x"},
      {"/last-success", httpAnswer("299 Fine", "", "<b/>")},
      {"/choices", httpAnswer("300 Multiple Choices", "", "<c/>")},
      {"/5", httpAnswer("302 Found", "Location: /4\r\n", "")},
      {"/4", httpAnswer("302 Found", "Location: /3\r\n", "")},
      {"/3", httpAnswer("302 Found", "Location: /2\r\n", "")},
      {"/2", httpAnswer("302 Found", "Location: /1\r\n", "")},
      {"/1", httpAnswer("302 Found", "Location: /plain\r\n", "")},
      {"/6", httpAnswer("302 Found", "Location: /5\r\n", "")},
      {"/binary", std::string("\x16\x03\x01\x00\x05\x00\xff\r\n\r\n", 11)},
      {"/http09", "<a/>\n"},
      {"/bad-chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n"},
      {"/short", "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n<a/>"},
      {"/nothing", ""},
  });
  testing::HttpServer server6({{"/plain", httpAnswer("200 OK", "", "<six/>")}}, true);
  const struct {
    std::string uri;
    std::string body;  // empty: the read fails
    std::string reasonPart;
    bool notFound = false;
  } cases[] = {
      {server.url("/plain"), "<a/>", ""},
      {server.url("/moved"), "<a/>", ""},
      {server6.url("/plain"), "<six/>", ""},
      {server.url("/full"), full, ""},
      {server.url("/to-file"), "", "scheme"},
      {server.url("/loop"), "", "too often"},
      {server.url("/5"), "<a/>", ""},
      {server.url("/6"), "", "too often"},
      {server.url("/none"), "", "status 404", true},
      {server.url("/gone"), "", "status 410", true},
      {server.url("/broken"), "", "status 500"},
      {server.url("/no-place"), "", "status 302"},
      {server.url("/last-success"), "<b/>", ""},
      {server.url("/choices"), "", "status 300"},
      {server.url("/over"), "", "larger"},
      {server.url("/over-unannounced"), "", "larger"},
      {"https" + server.url("/plain").substr(4), "", "no secure connection"},
      {"http://127.0.0.1:70000/plain", "", "not a valid URI"},
      {"http://127.0.0.1%00.invalid/plain", "", "escaped control"},
      {server.url("/binary"), "", "answer is not HTTP"},
      {server.url("/http09"), "", "answer is not HTTP"},
      {server.url("/bad-chunk"), "", "answer is not HTTP"},
      {server.url("/short"), "", "ended before its stated length"},
      {server.url("/nothing"), "", "closed the connection without an answer"},
  };
  // Authorities to check against, whatever the machine has installed: the
  // https row is about a server that speaks no TLS.
  const testing::TlsServer tls(dir_.path());
  useCertificateAuthoritiesForTests(tls.authority());
  for (const auto& row : cases) {
    const Result<std::string> body = httpGet(row.uri, std::chrono::seconds(5), kCap);
    EXPECT_EQ(body.ok() ? *body : std::string(), row.body) << row.uri;
    if (body.ok()) continue;
    EXPECT_NE(body.reason().find(row.reasonPart), std::string::npos) << row.uri << ": " << body.reason();
    EXPECT_EQ(body.notFound(), row.notFound) << row.uri;
  }
  useCertificateAuthoritiesForTests("");
}

// Each reason says what happened, never a status the server did not send
// or a redirect that did not happen.
TEST_F(LibxmlTransformTest, HttpReasonSaysWhichCheckFailedAndWhoRefused) {
  const testing::TlsServer good(dir_.path());
  const testing::TlsServer expired(dir_.path(), testing::Certificate::kExpired);
  const testing::TlsServer otherHost(dir_.path(), testing::Certificate::kOtherHost);
  const testing::TlsServer weak(dir_.path(), testing::Certificate::kWeakKey);
  testing::HttpServer proxy({});
  const struct {
    std::string uri;
    std::string authority;
    std::string reason;
  } cases[] = {
      {"http" + good.url("/x").substr(5), good.authority(), "the server speaks only https, not http"},
      {expired.url("/x"), expired.authority(), "the server's certificate has expired or is not yet valid"},
      {otherHost.url("/x"), otherHost.authority(), "the server's certificate is for another host name"},
      // Another server's authority alone, so that the machine's own (none, on
      // a bare one) play no part.
      {good.url("/x"), otherHost.authority(),
       "the server's certificate is not signed by an authority this machine trusts"},
      {weak.url("/x"), weak.authority(), "the server's certificate has a key or signature too weak to trust"},
  };
  for (const auto& row : cases) {
    useCertificateAuthoritiesForTests(row.authority);
    const Result<std::string> body = httpGet(row.uri, std::chrono::seconds(5), 1024);
    EXPECT_EQ(body.ok() ? "<read>" : body.reason(), row.reason) << row.uri;
  }
  // libcurl takes its proxy from the environment, as xsltproc's client does.
  useCertificateAuthoritiesForTests(good.authority());
  const char* saved = std::getenv("https_proxy");
  const std::string savedProxy = saved ? saved : "";
  const char* savedNo = std::getenv("no_proxy");
  const std::string savedNoProxy = savedNo ? savedNo : "";
  setenv("https_proxy", proxy.url("").c_str(), 1);
  unsetenv("no_proxy");
  const Result<std::string> proxied = httpGet(good.url("/x"), std::chrono::seconds(5), 1024);
  saved ? setenv("https_proxy", savedProxy.c_str(), 1) : unsetenv("https_proxy");
  if (savedNo) setenv("no_proxy", savedNoProxy.c_str(), 1);
  EXPECT_EQ(proxied.ok() ? "<read>" : proxied.reason(), "the proxy refused the connection with status 404");
  useCertificateAuthoritiesForTests("");
}

TEST_F(LibxmlTransformTest, HttpsStylesheetTransformsOnlyWithATrustedCertificate) {
  // What it includes comes over the same connection rules.
  dir_.write("s.xsl",
             "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
             "<xsl:include href='inc.xsl'/><xsl:output method='text'/></xsl:stylesheet>");
  dir_.write("inc.xsl",
             "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
             "<xsl:template match='/'>over tls</xsl:template></xsl:stylesheet>");
  testing::TlsServer server(dir_.path());
  const Text url = textFromAscii(server.url("/s.xsl"));
  auto document = parser_->createDocument();
  auto style = parser_->createDocument();
  ASSERT_EQ(document->loadXML(kSource), true);
  EXPECT_EQ(silently([&] { return style->load(url); }), false) << "trusted without the test's authority";
  EXPECT_NE(utf8(*style->parseError()->reason()).find("certificate"), std::string::npos)
      << utf8(*style->parseError()->reason());
  useCertificateAuthoritiesForTests(server.authority());
  // A trusted certificate for another name than the one asked for is refused.
  const std::string byName = "https://localhost" + server.url("/s.xsl").substr(std::string("https://127.0.0.1").size());
  EXPECT_FALSE(httpGet(byName, std::chrono::seconds(5), 1024).ok()) << byName;
  EXPECT_EQ(silently([&] { return style->load(url); }), true) << utf8(*style->parseError()->reason());
  EXPECT_EQ(utf8(silently([&] { return document->transformNode(*style); }).value_or("<failed>")), "over tls");
  // An include the server does not have fails the transformation with its answer.
  testing::HttpServer plain({{"/s.xsl", testing::httpAnswer("200 OK", "",
                                                            "<xsl:stylesheet version='1.0' "
                                                            "xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                                                            "<xsl:include href='none.xsl'/></xsl:stylesheet>")}});
  EXPECT_EQ(silently([&] { return style->load(textFromAscii(plain.url("/s.xsl"))); }), true)
      << utf8(*style->parseError()->reason());
  EXPECT_EQ(silently([&] { return document->transformNode(*style); }), std::nullopt);
  EXPECT_NE(utf8(*document->parseError()->reason()).find("status 404"), std::string::npos)
      << utf8(*document->parseError()->reason());
  // Without any authorities to check against, the machine lacks them, not the server.
  useCertificateAuthoritiesForTests((dir_.path() / "none.pem").string());
  EXPECT_EQ(silently([&] { return style->load(url); }), false);
  EXPECT_NE(utf8(*style->parseError()->reason()).find("no certificate authorities"), std::string::npos)
      << utf8(*style->parseError()->reason());
  useCertificateAuthoritiesForTests("");
}

TEST_F(LibxmlTransformTest, StylesheetFileIncludesAndReadsDocumentsBesideIt) {
  dir_.write("xsl dir/inc.xsl",
             "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
             "<xsl:template name='t'>included:<xsl:value-of select=\"document('data.xml')/d\"/></xsl:template>"
             "</xsl:stylesheet>");
  dir_.write("xsl dir/data.xml", "<d>\xC3\xA9</d>");
  const auto main = dir_.write("xsl dir/main.xsl",
                               "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                               "<xsl:include href='inc.xsl'/><xsl:output method='text'/>"
                               "<xsl:template match='/'><xsl:call-template name='t'/></xsl:template>"
                               "</xsl:stylesheet>");
  auto document = parser_->createDocument();
  auto style = parser_->createDocument();
  ASSERT_EQ(document->loadXML(kSource), true);
  ASSERT_EQ(style->load(textFromAscii(main.string())), true);
  // Compiling takes a copy: the stylesheet document serves a second time.
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(utf8(silently([&] { return document->transformNode(*style); }).value_or("<failed>")),
              utf8("included:\u00E9"));
  }
}

TEST_F(LibxmlTransformTest, IncludesAndDocumentNamesHoldingEscapedControlCharactersAreRefused) {
  dir_.write("t.xml", "<t>read</t>");
  dir_.write("inc.xsl",
             "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
             "<xsl:template match='/'>included</xsl:template></xsl:stylesheet>");
  WorkingDirectory inDir(dir_.path());
  for (const char* name : {"t.xml%00.ignored", "t.xml%0D"}) {
    const Text select = "count(document('" + textFromAscii(name) + "'))";
    EXPECT_EQ(transform(stylesheet("<xsl:output method='text'/><xsl:template match='/'>n=<xsl:value-of select=\"" +
                                   select + "\"/></xsl:template>")),
              "n=0")
        << name;
    // The same names as the nodes of a node-set, first or later.
    EXPECT_EQ(transform(stylesheet("<xsl:output method='text'/><xsl:variable name='names'><n>" + textFromAscii(name) +
                                   "</n><n>t.xml</n></xsl:variable><xsl:template match='/'>n=<xsl:value-of "
                                   "select='count(document(exsl:node-set($names)/n))'/></xsl:template>")),
              "n=0")
        << name;
  }
  const auto nested = dir_.write("outer.xsl",
                                 "<xsl:stylesheet version='1.0' "
                                 "xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                                 "<xsl:import href='inc.xsl%00.png'/></xsl:stylesheet>");
  for (const Text& include :
       {Text("<xsl:include href='inc.xsl%00.png'/>"), Text("<xsl:import href='inc.xsl%01'/>"),
        Text("<xsl:include href='inc.xsl%%00'/>"), "<xsl:include href='" + textFromAscii(nested.string()) + "'/>"}) {
    auto document = parser_->createDocument();
    auto style = parser_->createDocument();
    ASSERT_EQ(document->loadXML(kSource), true);
    ASSERT_EQ(style->loadXML(stylesheet(include + "<xsl:output method='text'/>")), true);
    EXPECT_EQ(silently([&] { return document->transformNode(*style); }), std::nullopt) << utf8(include);
    EXPECT_NE(utf8(*document->parseError()->reason()).find("escaped control character"), std::string::npos)
        << utf8(include) << ": " << utf8(*document->parseError()->reason());
  }
  // A top-level element of another namespace includes nothing, whatever its name.
  EXPECT_EQ(transform(stylesheet("<x:include href='inc.xsl%00' xmlns:x='urn:x'/><xsl:output method='text'/>"
                                 "<xsl:template match='/'>kept</xsl:template>")),
            "kept");
}

TEST_F(LibxmlTransformTest, StylesheetCompiledWithErrorsIsRefusedWithItsFirstError) {
  const struct {
    const char* what;
    std::string body;
    std::string reasonPart;
    std::int32_t line;
    std::int32_t linepos;
  } cases[] = {
      {"attribute set using itself",
       "<xsl:attribute-set name='a' use-attribute-sets='b'/>\n<xsl:attribute-set name='b' use-attribute-sets='a'/>\n"
       "<xsl:template match='/'><out xsl:use-attribute-sets='a'/></xsl:template>\n",
       "recursion", 0, 0},
      {"undefined prefix at compile time", "<xsl:template match='/'>\n<xsl:value-of select='p:x'/>\n</xsl:template>\n",
       "Undefined namespace prefix", 3, 1},
      {"undefined prefix on line 102",
       "<xsl:template match='/'>" + std::string(100, '\n') + "<xsl:value-of select='p:x'/>\n</xsl:template>\n",
       "Undefined namespace prefix", 102, 1},
      {"duplicate template on line 20, without a prefix, then a broken variable",
       "<xsl:template name='t'/>" + std::string(18, '\n') +
           "<template name='t' xmlns='http://www.w3.org/1999/XSL/Transform'/>\n<xsl:variable name='x' select='1 +'/>\n",
       "duplicate name 't'", 20, 1},
      {"undefined variable in a global variable",
       "<xsl:variable name='g' select='$v'/>\n<xsl:template match='/'>\n\n<xsl:value-of select='$g'/>\n"
       "</xsl:template>\n",
       "", 2, 1},
      {"undefined variable in a called template",
       "<xsl:template name='t'>\n<xsl:value-of select=\"concat('a', $v)\"/>\n</xsl:template>\n"
       "<xsl:template match='/'>\n\n<xsl:call-template name='t'/>\n</xsl:template>\n",
       "", 3, 1},
      {"undefined variable in a template's parameter",
       "<xsl:template match='/'>\n<xsl:param name='p' select='$p'/>\n</xsl:template>\n",
       "Variable 'p' has not been declared.", 3,
       // Only libxslt's location line names it, without its prefix: no column.
       0},
      {"undefined variable after a message",
       "<xsl:template match='/'>\n<xsl:message>starting</xsl:message>\n<xsl:value-of select='$v'/>\n"
       "</xsl:template>\n",
       "Variable 'v' has not been declared.", 4, 1},
      {"the second of two instructions on a line",
       "<xsl:template match='/'>\n<xsl:value-of select='1'/><xsl:value-of select='$v'/>\n</xsl:template>\n",
       "Variable 'v' has not been declared.", 3, 27},
      {"an empty instruction after text that is not ASCII",
       "<xsl:template match='/'>\n<o>\u00E9\U0001D11E</o><xsl:value-of select='$v'/>\n</xsl:template>\n",
       "Variable 'v' has not been declared.", 3, 11},
      {"undefined prefix in a sort key",
       "<xsl:template match='/'>\n<xsl:for-each select='//.'>\n<xsl:sort select='*[p:x]'/>\n</xsl:for-each>\n"
       "</xsl:template>\n",
       "Undefined namespace prefix", 4, 1},
  };
  for (const auto& row : cases) {
    const auto path = dir_.write("broken.xsl",
                                 "<xsl:stylesheet version='1.0' "
                                 "xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>\n" +
                                     row.body + "</xsl:stylesheet>\n");
    auto document = parser_->createDocument();
    auto style = parser_->createDocument();
    ASSERT_EQ(document->loadXML(kSource), true);
    ASSERT_EQ(style->load(textFromAscii(path.string())), true) << row.what;
    EXPECT_EQ(silently([&] { return document->transformNode(*style); }), std::nullopt) << row.what;
    const auto record = testing::outcomeOf(*document, std::nullopt);
    EXPECT_NE(utf8(record.reason).find(row.reasonPart), std::string::npos) << row.what << ": " << utf8(record.reason);
    EXPECT_NE(utf8(record.reason), "The stylesheet could not be applied.") << row.what;
    EXPECT_EQ(record.line, row.line) << row.what << ": " << utf8(record.reason);
    EXPECT_EQ(record.linepos, row.linepos) << row.what << ": " << utf8(record.srcText);
  }
}

// A template in an included stylesheet fails where it stands, whether
// libxslt names its caller first (an undefined variable) or the parameter
// at once (a type error), and whatever line the caller stands on.
TEST_F(LibxmlTransformTest, FailureInAnIncludedStylesheetIsPlacedThere) {
  const struct {
    std::string parameter;
    std::int32_t line;
  } cases[] = {
      {"\n\n  <xsl:param name='p' select='$undefined'/>\n", 3},
      {"<xsl:param name='p' select='count(1)'/>", 1},
  };
  const auto main = dir_.write("main.xsl",
                               "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>\n"
                               "<xsl:include href='inc.xsl'/><xsl:template match='/'>\n"
                               "<xsl:call-template name='t'/></xsl:template>\n</xsl:stylesheet>\n");
  for (const auto& row : cases) {
    dir_.write("inc.xsl",
               "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
               "<xsl:template name='t'>" +
                   row.parameter + "</xsl:template></xsl:stylesheet>\n");
    auto document = parser_->createDocument();
    auto style = parser_->createDocument();
    ASSERT_EQ(document->loadXML(kSource), true);
    ASSERT_EQ(style->load(textFromAscii(main.string())), true);
    EXPECT_EQ(silently([&] { return document->transformNode(*style); }), std::nullopt);
    const auto record = testing::outcomeOf(*document, std::nullopt);
    EXPECT_EQ(record.line, row.line) << utf8(record.reason);
    EXPECT_NE(utf8(record.srcText).find("<xsl:param name='p'"), std::string::npos) << utf8(record.srcText);
    // The report's header names main.xsl: the reason names the file.
    EXPECT_NE(utf8(record.reason).find(" (in " + (dir_.path() / "inc.xsl").string() + ")"), std::string::npos)
        << utf8(record.reason);
  }
}

// A stylesheet of the tree that does not parse, however deep: the parser's
// reason, line, column and text from that file, which the reason names.
TEST_F(LibxmlTransformTest, BrokenStylesheetInTheTreeIsReportedWhereTheErrorIs) {
  const std::string start = "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>\n";
  dir_.write("broken.xsl", start +
                               "<xsl:template match='/'>\n\n\n<out>\xF0\x9F\x98\x80</b>\n</xsl:template>"
                               "</xsl:stylesheet>\n");
  for (int level = 1; level <= 10; ++level) {
    const std::string next = level == 10 ? "broken.xsl" : "level" + std::to_string(level + 1) + ".xsl";
    dir_.write("level" + std::to_string(level) + ".xsl",
               start + (level % 2 ? "<xsl:import href='" : "<xsl:include href='") + next + "'/></xsl:stylesheet>\n");
  }
  for (const char* top : {"level10.xsl", "level1.xsl"}) {
    auto document = parser_->createDocument();
    auto style = parser_->createDocument();
    ASSERT_EQ(document->loadXML(kSource), true);
    ASSERT_EQ(style->load(textFromAscii((dir_.path() / top).string())), true);
    EXPECT_EQ(silently([&] { return document->transformNode(*style); }), std::nullopt) << top;
    const auto record = testing::outcomeOf(*document, std::nullopt);
    EXPECT_EQ(utf8(record.reason),
              "Opening and ending tag mismatch: out line 5 and b (in " + (dir_.path() / "broken.xsl").string() + ")")
        << top;
    EXPECT_EQ(record.line, 5) << top;
    EXPECT_EQ(record.linepos, 12) << top;
    EXPECT_EQ(utf8(record.srcText), "<out>\xF0\x9F\x98\x80</b>") << top;
  }
}

// An extension function's error comes without a location line, before the
// one of the instruction that failed because of it, and is placed at the
// instruction that was running when it arrived: the call. (libexslt's other
// such error, a second func:result, leaks a node, which the sanitizer run
// would report.)
TEST_F(LibxmlTransformTest, ExtensionErrorIsTheReasonAtTheInstructionThatCalledIt) {
  const struct {
    const char* what;
    std::string callers;  // what follows the function
    std::int32_t line, linepos;
  } cases[] = {
      {"a global variable",
       "<xsl:variable name='v' select='f:f()'/>\n<xsl:template match='/'><xsl:value-of select='$v'/></xsl:template>\n",
       5, 1},
      {"the second of two instructions on a line",
       "<xsl:template match='/'><xsl:value-of select='1'/><xsl:value-of select='f:f()'/></xsl:template>\n", 5, 51},
  };
  for (const auto& row : cases) {
    const auto path = dir_.write("function.xsl",
                                 "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform' "
                                 "xmlns:func='http://exslt.org/functions' xmlns:f='urn:f' "
                                 "extension-element-prefixes='func'>\n<func:function name='f:f'>\n"
                                 "<xsl:element name='e'/>\n</func:function>\n" +
                                     row.callers + "</xsl:stylesheet>\n");
    auto document = parser_->createDocument();
    auto style = parser_->createDocument();
    ASSERT_EQ(document->loadXML(kSource), true);
    ASSERT_EQ(style->load(textFromAscii(path.string())), true) << row.what;
    // libexslt dumps the nodes written to stderr itself; the plug-in's
    // stderr is the null device.
    testing::OutputWatch watch;
    EXPECT_EQ(document->transformNode(*style), std::nullopt) << row.what;
    watch.finish();
    const auto record = testing::outcomeOf(*document, std::nullopt);
    EXPECT_EQ(utf8(record.reason), "{urn:f}f: cannot write to result tree while executing a function") << row.what;
    EXPECT_EQ(record.line, row.line) << row.what << ": " << utf8(record.reason);
    EXPECT_EQ(record.linepos, row.linepos) << row.what << ": " << utf8(record.srcText);
  }
}

// What a stylesheet says while it runs is a note: an empty result it came
// with is reported as empty, not as the last note.
TEST_F(LibxmlTransformTest, EmptyResultIsReportedAsEmptyWhateverTheNotesSaid) {
  const Text bodies[] = {
      "<xsl:template match='/'/>",
      "<xsl:template match='/'><xsl:message>  nothing to say </xsl:message></xsl:template>",
      "<xsl:template match='/'><xsl:message>From main</xsl:message><xsl:message>From second import</xsl:message>"
      "</xsl:template>",
      "<xsl:template match='/' xmlns:libxslt='http://xmlsoft.org/XSLT/namespace'><xsl:variable name='v'/>"
      "<libxslt:debug/></xsl:template>",
  };
  for (const Text& body : bodies) {
    auto document = parser_->createDocument();
    auto style = parser_->createDocument();
    ASSERT_EQ(document->loadXML(kSource), true);
    ASSERT_EQ(style->loadXML(stylesheet("<xsl:output method='text'/>" + body)), true);
    testing::OutputWatch watch;  // libxslt's debug dump also goes to stderr
    EXPECT_EQ(document->transformNode(*style), "") << utf8(body);
    watch.finish();
    EXPECT_EQ(utf8(*document->parseError()->reason()), "The transformation's result is empty.") << utf8(body);
  }
}

TEST_F(LibxmlTransformTest, TerminatingMessageIsTheReasonWhole) {
  auto document = parser_->createDocument();
  auto style = parser_->createDocument();
  ASSERT_EQ(document->loadXML(kSource), true);
  const auto stopWith = [&](const Text& message) {
    EXPECT_EQ(style->loadXML(stylesheet("<xsl:template match='/'><xsl:message>note</xsl:message>"
                                        "<xsl:message terminate='yes'>" +
                                        message + "</xsl:message></xsl:template>")),
              true);
    EXPECT_EQ(silently([&] { return document->transformNode(*style); }), std::nullopt);
    return *document->parseError()->reason();
  };
  EXPECT_EQ(utf8(stopWith("LINE-ONE of the message\nLINE-TWO of the message")),
            "LINE-ONE of the message\r\nLINE-TWO of the message");
  // A message longer than libxslt's own lines arrives whole.
  const Text longMessage = "start" + Text(5000, 'x') + "end";
  EXPECT_EQ(stopWith(longMessage), longMessage);
  // One longer than a line keeps is cut at the line's 64 KiB.
  EXPECT_EQ(stopWith(Text(70'000, 'y')), Text(64 * 1024, 'y'));
}

// unparsed-entity-uri() gives the entity's SYSTEM identifier resolved
// against where the document lies, as for a file; a text without a location,
// or one named in another convention, keeps it as written.
TEST_F(LibxmlTransformTest, UnparsedEntityUriIsResolvedAgainstTheDocumentsLocation) {
  const Text source =
      "<!DOCTYPE doc [<!ELEMENT doc EMPTY><!NOTATION GIF SYSTEM 'viewer'><!ENTITY pic SYSTEM 'images/pic.gif' NDATA "
      "GIF>]><doc/>";
  const struct {
    Text location;  // empty: none given
    Text expected;
  } cases[] = {
      {"/home/user/site/page.xml", "/home/user/site/images/pic.gif"},
      {"", "images/pic.gif"},
      {"C:\\docs\\page.xml", "images/pic.gif"},
  };
  for (const auto& row : cases) {
    auto document = parser_->createDocument();
    auto style = parser_->createDocument();
    if (!row.location.empty()) document->setTextLocation(row.location);
    ASSERT_EQ(document->loadXML(source), true) << utf8(row.location);
    ASSERT_EQ(style->loadXML(stylesheet("<xsl:output method='text'/><xsl:template match='/'>"
                                        "<xsl:value-of select=\"unparsed-entity-uri('pic')\"/></xsl:template>")),
              true);
    EXPECT_EQ(utf8(silently([&] { return document->transformNode(*style); }).value_or("<failed>")), utf8(row.expected))
        << utf8(row.location);
  }
}

TEST_F(LibxmlTransformTest, DocumentsWithoutTreeOrFromElsewhereDoNotTransform) {
  class Foreign final : public XmlDocument {
   public:
    bool setValidateOnParse(bool) override { return true; }
    bool setAsync(bool) override { return true; }
    std::optional<bool> loadXML(TextView) override { return true; }
    std::optional<bool> load(TextView) override { return true; }
    std::unique_ptr<ParseError> parseError() const override { return nullptr; }
    std::optional<Text> transformNode(XmlDocument&) override { return std::nullopt; }
  } foreign;
  auto loaded = parser_->createDocument();
  auto empty = parser_->createDocument();
  auto failed = parser_->createDocument();
  ASSERT_EQ(loaded->loadXML(stylesheet("<xsl:template match='/'><x/></xsl:template>")), true);
  ASSERT_EQ(failed->loadXML("<unclosed>"), false);
  EXPECT_EQ(loaded->transformNode(foreign), std::nullopt);
  EXPECT_EQ(loaded->transformNode(*empty), std::nullopt);
  EXPECT_EQ(loaded->transformNode(*failed), std::nullopt);
  EXPECT_EQ(empty->transformNode(*loaded), std::nullopt);
  EXPECT_TRUE(loaded->transformNode(*loaded).has_value());
}

}  // namespace
}  // namespace tarnweld::xml
