// The reference rule on Windows: a share in any spelling is the network and
// is never opened, any scheme but file, http, https and ftp is refused at
// once for the whole process, and local files stay readable. Under Wine a
// share \\HOST\SHARE is the folder $WINEPREFIX/dosdevices/unc/HOST/SHARE,
// so marker files there show whether a read reached one; a listener on
// 127.0.0.1 shows whether another scheme reached the network.
#include <gtest/gtest.h>

// windows.h comes before the headers that build on it.
// clang-format off
#include <windows.h>
#include <urlmon.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "msxml_fixture.h"
#include "platform/windows/com.h"
#include "text/utf.h"
#include "win_test_support.h"
#include "xml/msxml/msxml_reference_rule.h"
#include "xml/msxml/msxml_url_guard.h"

namespace tarnweld::xml {
namespace {

TEST(MsxmlReferenceRule, EverySpellingOfAShareIsAShare) {
  struct Case {
    std::u16string_view reference;
    ReferenceKind kind;
  };
  const Case cases[] = {
      {u"C:\\docs\\page.xsl", ReferenceKind::kLocal},
      {u"c:/docs/page.xsl", ReferenceKind::kLocal},
      {u"\\docs\\page.xsl", ReferenceKind::kLocal},
      {u"page.xsl", ReferenceKind::kLocal},
      {u"file:///C:/docs/page.xsl", ReferenceKind::kLocal},
      {u"file://localhost/C:/docs/page.xsl", ReferenceKind::kLocal},
      {u"FILE://LocalHost/C:/docs/page.xsl", ReferenceKind::kLocal},
      {u"file:C:/docs/page.xsl", ReferenceKind::kLocal},
      {u"file://C:\\docs\\page.xsl", ReferenceKind::kLocal},
      {u"file://c|/docs/page.xsl", ReferenceKind::kLocal},
      {u"file:///C|/docs/page.xsl", ReferenceKind::kLocal},
      {u"file://C:/\\host\\share", ReferenceKind::kLocal},
      {u"file://CC:/docs/page.xsl", ReferenceKind::kShare},
      {u"file:///C:/50%25off.xsl", ReferenceKind::kLocal},
      {u"\\\\host\\share\\page.xsl", ReferenceKind::kShare},
      {u"//host/share/page.xsl", ReferenceKind::kShare},
      {u"\\/host/share/page.xsl", ReferenceKind::kShare},
      {u"\\\\?\\UNC\\host\\share\\page.xsl", ReferenceKind::kShare},
      {u"\\\\?\\C:\\docs\\page.xsl", ReferenceKind::kShare},
      {u"\\\\.\\pipe\\name", ReferenceKind::kShare},
      {u"\\\\host@SSL\\DavWWWRoot\\page.xsl", ReferenceKind::kShare},
      {u"\\\\host@8080\\share\\page.xsl", ReferenceKind::kShare},
      {u"file://host/share/page.xsl", ReferenceKind::kShare},
      {u"file://127.0.0.1/share/page.xsl", ReferenceKind::kShare},
      {u"file://localhost:445/C:/page.xsl", ReferenceKind::kShare},
      {u"file:////host/share/page.xsl", ReferenceKind::kShare},
      {u"file://///host/share/page.xsl", ReferenceKind::kShare},
      {u"file://localhost//host/share/page.xsl", ReferenceKind::kShare},
      {u"file:\\\\host\\share\\page.xsl", ReferenceKind::kShare},
      {u"file:/\\host\\share\\page.xsl", ReferenceKind::kShare},
      {u"file:///%5C%5Chost%5Cshare%5Cpage.xsl", ReferenceKind::kShare},
      {u"file:///%255C%255Chost%255Cshare", ReferenceKind::kShare},
      {u"%5C%5Chost%5Cshare%5Cpage.xsl", ReferenceKind::kShare},
      {u"file:%2F%2Fhost%2Fshare%2Fpage.xsl", ReferenceKind::kShare},
      {u"http://host/page.xsl", ReferenceKind::kNetwork},
      {u"HTTPS://host/page.xsl", ReferenceKind::kNetwork},
      {u"ftp://host/page.xsl", ReferenceKind::kNetwork},
      {u"gopher://host/page.xsl", ReferenceKind::kOtherScheme},
      {u"mk:@MSITStore:C:\\help.chm::/page.xsl", ReferenceKind::kOtherScheme},
      {u"ms-its:C:\\help.chm::/page.xsl", ReferenceKind::kOtherScheme},
      {u"data:text/xml,<a/>", ReferenceKind::kOtherScheme},
      {u"file\t://host/share", ReferenceKind::kMalformed},
      {u"file:///C:/a%0Ab.xsl", ReferenceKind::kMalformed},
      {u"%2525252525255C", ReferenceKind::kMalformed},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(classifyReference(c.reference), c.kind) << toUtf8(c.reference);
  }
}

TEST(MsxmlReferenceRule, EachRefusalSaysWhy) {
  EXPECT_EQ(refusalReason(u"\\\\host\\s\\a.xsl", ReferenceKind::kShare),
            u"Cannot read \\\\host\\s\\a.xsl: it is on another machine (a share), and a share is the network; map a "
            u"drive letter to it to read it");
  EXPECT_EQ(refusalReason(u"gopher://h/", ReferenceKind::kOtherScheme),
            u"Cannot read gopher://h/: its URI scheme is not read");
  EXPECT_EQ(refusalReason(u"http://h/d.xml", ReferenceKind::kNetwork),
            u"Cannot read http://h/d.xml: it would be read from the network, which only a stylesheet may be");
}

TEST(MsxmlUrlGuard, ReadsALocalFileAndRefusesAShareAndOtherSchemes) {
  struct Case {
    std::u16string_view url;
    bool admitted;
    UrlDecision decision;
  };
  const Case cases[] = {
      {u"file:///C:/docs/data.xml", false, UrlDecision::kPassThrough},
      {u"file://host/share/data.xml", true, UrlDecision::kRefuse},
      {u"file:////host/share/data.xml", true, UrlDecision::kRefuse},
      {u"gopher://127.0.0.1/", true, UrlDecision::kRefuse},
      {u"mk:@MSITStore:C:\\help.chm::/a.xml", true, UrlDecision::kRefuse},
      {u"res://shell32.dll/a.xml", true, UrlDecision::kRefuse},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decideUrl(c.url, c.admitted), c.decision) << toUtf8(c.url);
  }
}

// An opening admits exactly the addresses it names, its scheme and host in
// any case, and only while it lives.
TEST(MsxmlUrlGuard, AnOpeningAdmitsExactlyWhatItNames) {
  EXPECT_FALSE(networkAdmits(u"http://127.0.0.1/a.xsl"));
  {
    const NetworkOpening opening({u"http://127.0.0.1/a.xsl"});
    EXPECT_TRUE(networkAdmits(u"HTTP://127.0.0.1/a.xsl"));
    EXPECT_TRUE(networkAdmits(u"http://127.0.0.1/a.xsl#top"));
    EXPECT_FALSE(networkAdmits(u"http://127.0.0.1/A.xsl"));
    EXPECT_FALSE(networkAdmits(u"http://127.0.0.1/a.xsl/secret"));
    EXPECT_FALSE(networkAdmits(u"http://127.0.0.1/b.xsl"));
    { const NetworkOpening inner({u"http://127.0.0.1/a.xsl"}); }
    EXPECT_TRUE(networkAdmits(u"http://127.0.0.1/a.xsl"));
  }
  EXPECT_FALSE(networkAdmits(u"http://127.0.0.1/a.xsl"));
}

constexpr std::string_view kMarker = "SHARE-WAS-READ";

// The share \\tarnweld-evil\share (and \\127.0.0.1\share) as Wine shows it,
// with marker files, and a local folder beside the tests.
class MsxmlShares : public MsxmlDocuments {
 protected:
  void SetUp() override {
    if (!test::underWine()) GTEST_SKIP() << "marker files behind a share need Wine's UNC folder";
    wchar_t prefix[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH), 0u);
    const std::filesystem::path unc = std::filesystem::path(L"Z:" + std::wstring(prefix)) / "dosdevices" / "unc";
    for (const char* host : {"tarnweld-evil", "127.0.0.1"}) {
      const std::filesystem::path share = unc / host / "share";
      std::filesystem::create_directories(share);
      std::ofstream(share / "leak.xml", std::ios::binary) << "<leak>" << kMarker << "</leak>";
      std::ofstream(share / "leak.txt", std::ios::binary) << kMarker;
      std::ofstream(share / "leak.xsl", std::ios::binary)
          << "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
             "<xsl:template match='/'>"
          << kMarker << "</xsl:template></xsl:stylesheet>";
    }
    local_ = std::filesystem::path(test::programPath(u"references"));
    std::filesystem::create_directories(local_);
    std::ofstream(local_ / "local.xml", std::ios::binary) << "<local>here</local>";
  }

  // Writes `bytes` as `name` in the local folder and returns its path.
  std::u16string write(const char* name, std::string_view bytes) {
    std::ofstream(local_ / name, std::ios::binary) << bytes;
    return (local_ / name).u16string();
  }

  std::filesystem::path local_;
};

std::string sheetCopying(std::string_view select) {
  return "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
         "<xsl:output method='xml' omit-xml-declaration='yes'/>"
         "<xsl:template match='/'><r><xsl:copy-of select=\"" +
         std::string(select) + "\"/></r></xsl:template></xsl:stylesheet>";
}

// document() in every spelling of a share reads nothing from it; a local
// file, by path or file: URL with or without localhost, is read.
TEST_F(MsxmlShares, DocumentReadsNoShareInAnySpelling) {
  std::string localPath = toUtf8((local_ / "local.xml").u16string());
  std::ranges::replace(localPath, '\\', '/');
  struct Case {
    std::string address;
    bool local;
  };
  const Case cases[] = {
      {"file://tarnweld-evil/share/leak.xml", false},
      {"file:////tarnweld-evil/share/leak.xml", false},
      {"file://///tarnweld-evil/share/leak.xml", false},
      {"file://127.0.0.1/share/leak.xml", false},
      {"//tarnweld-evil/share/leak.xml", false},
      {"file:///%5C%5Ctarnweld-evil%5Cshare%5Cleak.xml", false},
      {"file://localhost//tarnweld-evil/share/leak.xml", false},
      {localPath, true},
      {"file:///" + localPath, true},
      {"file://localhost/" + localPath, true},
  };
  for (const Case& c : cases) {
    const auto doc = document();
    const auto sheet = document();
    ASSERT_TRUE(doc && sheet);
    ASSERT_EQ(doc->loadXML(u"<a/>"), true);
    ASSERT_EQ(sheet->load(write("copy.xsl", sheetCopying("document('" + c.address + "')"))), true) << c.address;
    const std::string output = toUtf8(doc->transformNode(*sheet).value_or(u""));
    EXPECT_EQ(output.find(kMarker), std::string::npos) << c.address;
    if (c.local) {
      EXPECT_NE(output.find("here"), std::string::npos) << c.address << ": " << output;
    }
  }
}

// The source's DTD and entities on a share are not read.
TEST_F(MsxmlShares, EntitiesAndDtdsReadNoShare) {
  const std::u16string sources[] = {
      u"<!DOCTYPE a [<!ENTITY e SYSTEM 'file://tarnweld-evil/share/leak.txt'>]><a>&e;</a>",
      u"<!DOCTYPE a [<!ENTITY e SYSTEM '//tarnweld-evil/share/leak.txt'>]><a>&e;</a>",
      u"<!DOCTYPE a [<!ENTITY % e SYSTEM 'file:////127.0.0.1/share/leak.txt'> %e;]><a/>",
      u"<!DOCTYPE a SYSTEM 'file://tarnweld-evil/share/leak.txt'><a/>",
  };
  for (const std::u16string& source : sources) {
    const auto doc = document();
    ASSERT_NE(doc, nullptr);
    const std::optional<bool> loaded = doc->loadXML(source);
    ASSERT_NE(loaded, std::nullopt) << toUtf8(source);
    if (!*loaded) continue;
    const auto sheet = document();
    ASSERT_EQ(sheet->load(write("text.xsl", sheetCopying("."))), true);
    const std::string output = toUtf8(doc->transformNode(*sheet).value_or(u""));
    EXPECT_EQ(output.find(kMarker), std::string::npos) << toUtf8(source);
  }
}

// A stylesheet on a share is refused before the parser sees it, and so is a
// stylesheet that imports or includes one: each with its reason.
TEST_F(MsxmlShares, TheStylesheetTreeComesFromNoShare) {
  const std::u16string paths[] = {u"\\\\tarnweld-evil\\share\\leak.xsl", u"//tarnweld-evil/share/leak.xsl",
                                  u"file://tarnweld-evil/share/leak.xsl",
                                  u"\\\\?\\UNC\\tarnweld-evil\\share\\leak.xsl"};
  for (const std::u16string& path : paths) {
    const auto sheet = document();
    ASSERT_EQ(sheet->load(path), false) << toUtf8(path);
    EXPECT_EQ(sheet->parseError()->reason(), refusalReason(path, ReferenceKind::kShare)) << toUtf8(path);
  }
  const std::string hrefs[] = {"file://tarnweld-evil/share/leak.xsl", "//tarnweld-evil/share/leak.xsl",
                               "file:////127.0.0.1/share/leak.xsl"};
  for (const char* element : {"import", "include"}) {
    for (const std::string& href : hrefs) {
      const auto doc = document();
      const auto sheet = document();
      ASSERT_EQ(doc->loadXML(u"<a/>"), true);
      const std::string text =
          "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
          "<xsl:" +
          std::string(element) + " href='" + href + "'/></xsl:stylesheet>";
      ASSERT_EQ(sheet->load(write("tree.xsl", text)), true) << href;
      const std::optional<std::u16string> output = doc->transformNode(*sheet);
      EXPECT_EQ(output, std::nullopt) << element << " " << href << ": " << toUtf8(output.value_or(u""));
      const std::u16string reason = doc->parseError()->reason().value_or(u"");
      EXPECT_TRUE(reason.starts_with(u"Cannot read ")) << element << " " << href << ": " << toUtf8(reason);
      EXPECT_NE(reason.find(u"a share is the network"), std::u16string::npos) << toUtf8(reason);
    }
  }
}

// Every other scheme is refused at once, for the whole process: a URL
// moniker of the process gets no answer from it, and document() of it ends
// at once with nothing read. A listener stands where a gopher or any other
// client would connect.
TEST_F(MsxmlDocuments, EveryOtherSchemeIsRefusedAtOnce) {
  test::Listener listener("<leak/>");
  ASSERT_TRUE(listener.ok());
  ASSERT_NE(document(), nullptr);  // the guard holds from the first document on
  EXPECT_EQ(CoInternetIsFeatureEnabled(FEATURE_DISABLE_MK_PROTOCOL, GET_FEATURE_FROM_PROCESS), S_OK);
  EXPECT_EQ(CoInternetIsFeatureEnabled(FEATURE_PROTOCOL_LOCKDOWN, GET_FEATURE_FROM_PROCESS), S_OK);
  const std::string port = toUtf8(listener.url("")).substr(std::string("http://127.0.0.1:").size());
  const std::string urls[] = {
      "gopher://127.0.0.1:" + port + "/1x",
      "mk:@MSITStore:C:\\none.chm::/a.xml",
      "its:C:\\none.chm::/a.xml",
      "ms-its:C:\\none.chm::/a.xml",
      "res://shell32.dll/a.xml",
      "mhtml:http://127.0.0.1:" + port + "/a",
      "ldap://127.0.0.1:" + port + "/",
      "data:text/xml,%3Ca/%3E",
      "about:blank",
      "javascript:1",
      "vbscript:1",
      "view-source:http://127.0.0.1:" + port + "/",
      "jar:http://127.0.0.1:" + port + "/a!/b",
  };
  for (const std::string& url : urls) {
    const std::u16string wideUrl = fromUtf8Lenient(url);
    const auto started = std::chrono::steady_clock::now();
    win::ComPtr<IStream> stream;
    EXPECT_TRUE(FAILED(URLOpenBlockingStreamW(nullptr, win::wide(wideUrl.c_str()), stream.put(), 0, nullptr))) << url;
    const auto doc = document();
    const auto sheet = document();
    ASSERT_EQ(doc->loadXML(u"<a/>"), true);
    ASSERT_EQ(sheet->loadXML(fromUtf8Lenient(sheetCopying("document('" + url + "')"))), true) << url;
    doc->transformNode(*sheet);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 1.0) << url;
    EXPECT_EQ(listener.requests(), std::vector<std::string>{}) << url;
  }
}

}  // namespace
}  // namespace tarnweld::xml
