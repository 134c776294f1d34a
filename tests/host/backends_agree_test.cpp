// The fakes stand for the real backends only as far as they behave alike. The
// same registration and runs go through the program's logic twice, once on
// the fakes and once on the Linux backends (the session bus with the host
// stand-in's service in this process, libxml2 on real files), and what the
// host is handed must agree.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/names.h"
#include "dbus/host_bus.h"
#include "fakes/fake_host.h"
#include "fakes/fake_parser.h"
#include "host/dbus/dbus_automation.h"
#include "main/mod_main.h"
#include "session_bus_test.h"
#include "support/temp_dir.h"
#include "text/host_path.h"
#include "text/utf.h"
#include "xml/libxml/libxml_parser.h"

namespace tarnweld {
namespace {

// A host call as the host sees it: the operation and the value it was handed
// (the suffix for a suffix call; nothing for a read).
struct SeenCall {
  std::string operation;
  std::string value;
  bool operator==(const SeenCall&) const = default;
};

std::ostream& operator<<(std::ostream& out, const SeenCall& call) {
  return out << call.operation << " " << testing::PrintToString(call.value);
}

std::string describe(const fakes::RecordedArg& arg) {
  return arg.kind == fakes::RecordedArg::Kind::Int16 ? std::to_string(arg.number) : textToUtf8(arg.text);
}

constexpr bool kFirstLineOnly = true;

std::string firstLine(std::string text) { return text.substr(0, text.find("\r\n")); }

std::vector<SeenCall> seenByFake(const fakes::FakeHost& host, bool firstLineOnly) {
  std::vector<SeenCall> seen;
  for (const fakes::RecordedCall& call : host.calls) {
    const bool isRead = call.name == host_op::kDataGet.ascii();
    const std::string value = isRead ? "" : describe(call.args.back());
    seen.push_back({call.name, firstLineOnly ? firstLine(value) : value});
  }
  return seen;
}

std::vector<SeenCall> seenOnTheBus(const host::RecordStore& store, bool firstLineOnly) {
  std::vector<SeenCall> seen;
  for (const host::HostCall& call : store.calls()) {
    const bool isRead = call.operation == host_op::kDataGet.ascii();
    const auto* number = std::get_if<std::int16_t>(&call.value);
    const std::string value = isRead ? "" : number ? std::to_string(*number) : std::string(host::stringOf(call.value).value_or(""));
    seen.push_back({call.operation, firstLineOnly ? firstLine(value) : value});
  }
  return seen;
}

class BackendsAgree : public test::SessionBusTest {
 protected:
  // Runs the entry procedure with `argument` on the fake host and on the bus,
  // both serving `records`, and on `parser` each time.
  void expectAgreement(TextView argument, const std::map<Text, Text>& records,
                       xml::XmlParser& fakeSideParser, xml::XmlParser& busSideParser, const char* what,
                       bool firstLineOnly = false) {
    fakes::CallLog log;
    fakes::FakeHost fakeHost(log);
    fakeHost.records = records;
    modMain::entry(argument, {fakeHost, fakeSideParser});

    host::RecordStore store(true);
    for (const auto& [key, value] : records) store.add(textToUtf8(key), textToUtf8(value));
    auto opened = host::HostBus::open(bus_->address(), store, {});
    ASSERT_TRUE(opened) << opened.reason();
    const auto hostBus = std::move(*opened);
    const auto busBackend = makeDbusAutomationBackend();
    modMain::entry(argument, {*busBackend, busSideParser});
    hostBus->stop();

    EXPECT_EQ(seenByFake(fakeHost, firstLineOnly), seenOnTheBus(store, firstLineOnly)) << what;
  }

  std::unique_ptr<xml::XmlParser> libxml_ = xml::makeLibxmlParser();
};

TEST_F(BackendsAgree, OnTheHostCallsOfARegistrationAndOfRuns) {
  test::TempDir dir;
  dir.write("doc.xsl", R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="text"/><xsl:template match="/">caf&#233; <xsl:value-of select="."/></xsl:template>
</xsl:stylesheet>)");
  const Text fileName = textFromUtf8(toHostPath((dir.path() / "doc.xml").string()));
  struct Row {
    const char* what;
    TextView argument;
    Text input;
  };
  const Row rows[] = {
      {"registration", kRegisterSwitch.text(), ""},
      {"a transformation", kRunSwitch.text(), "<a>\u4E2D</a>"},
      {"an empty document", kRunSwitch.text(), ""},
      {"a document that does not parse", kRunSwitch.text(), "<a>"},
  };
  for (const Row& row : rows) {
    std::map<Text, Text> records{{Text(run_key::kFileName.text()), fileName}};
    if (!row.input.empty()) records[Text(run_key::kInput.text())] = row.input;
    expectAgreement(row.argument, records, *libxml_, *libxml_, row.what);
  }
}

// The fake parser, scripted as the real one answers, leads the run down the
// same path: the same report header, or the result.
TEST_F(BackendsAgree, OnTheRunsPathThroughTheParser) {
  test::TempDir dir;
  dir.write("doc.xsl", R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="text"/><xsl:template match="/">done</xsl:template></xsl:stylesheet>)");
  dir.write("bad.xsl", "<xsl:stylesheet");
  dir.write("doc.xml", "<a/>");
  struct Row {
    const char* what;
    Text input;
    std::string stylesheet;  // beside the document, by its base name
    fakes::FakeDocumentScript xml, xsl;
  };
  fakes::FakeDocumentScript loads, failsToLoad, failsToTransform;
  loads.transformResult = "done";
  failsToLoad.loadResult = false;
  failsToTransform.transformResult = std::nullopt;
  const Row rows[] = {
      {"transforms", "<a/>", "doc", loads, loads},
      {"document does not parse", "<a>", "doc", failsToLoad, loads},
      {"stylesheet does not parse", "<a/>", "bad", loads, failsToLoad},
      {"no stylesheet", "<a/>", "none", loads, failsToLoad},
      {"nothing to transform with", "<?xml-stylesheet href=\"doc.xml\"?><a/>", "doc", failsToTransform, loads},
  };
  for (const Row& row : rows) {
    fakes::CallLog log;
    fakes::FakeParser fake(log);
    fake.xml = row.xml;
    fake.xsl = row.xsl;
    const Text fileName = textFromUtf8(toHostPath((dir.path() / (row.stylesheet + ".xml")).string()));
    const std::map<Text, Text> records{{Text(run_key::kInput.text()), row.input},
                                                           {Text(run_key::kFileName.text()), fileName}};
    // The reasons are each parser's own; the header, with its path, agrees.
    expectAgreement(kRunSwitch.text(), records, fake, *libxml_, row.what, kFirstLineOnly);
  }
}

}  // namespace
}  // namespace tarnweld
