// The session-bus backend of the host object against the host stand-in's bus
// service, both in this process, on a private bus: what crosses the wire, and
// what a failed or odd reply leaves behind.
#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <map>
#include <memory>
#include <set>
#include <string>

#include "dbus/host_bus.h"
#include "host/dbus/dbus_automation.h"
#include "host/dbus/wire/sd_bus_owners.h"
#include "host/plugin_host.h"
#include "session_bus_test.h"

namespace tarnweld {
namespace {

using host::RecordStore;
using host::RecordValue;

class DbusBackendTest : public test::SessionBusTest {
 protected:
  void TearDown() override {
    if (hostBus_) hostBus_->stop();
    SessionBusTest::TearDown();
  }

  void serve(std::vector<host::RejectRule> rejects = {}) {
    auto opened = host::HostBus::open(bus_->address(), store_, std::move(rejects));
    ASSERT_TRUE(opened) << opened.reason();
    hostBus_ = std::move(*opened);
  }

  // Reads the store only after the service has stopped, as the host does.
  const RecordValue* stored(std::string_view key) {
    hostBus_->stop();
    return store_.find(key);
  }

  RecordStore store_{true};
  std::unique_ptr<host::HostBus> hostBus_;
  std::unique_ptr<AutomationBackend> backend_ = makeDbusAutomationBackend();
};

TEST_F(DbusBackendTest, NoObjectWhileTheNameHasNoOwner) {
  EXPECT_EQ(backend_->create(kPluginsCoreProgId.text()), nullptr);
  serve();
  EXPECT_NE(backend_->create(kPluginsCoreProgId.text()), nullptr);
  EXPECT_EQ(backend_->create(u"htmlkit.NobodyHere"), nullptr);
  EXPECT_EQ(backend_->create(u"not a bus name"), nullptr);
}

TEST_F(DbusBackendTest, TextTheBusCannotCarryArrivesAsReplacementCharacters) {
  serve();
  PluginHost session;
  ASSERT_TRUE(session.create(*backend_));
  const std::u16string text{u'a', u'\0', u'b', char16_t{0xD800}, u'c', char16_t{0xDC00}};
  EXPECT_TRUE(session.dataAdd(u"OUTPUT", text));
  const RecordValue* value = stored("OUTPUT");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(std::get<std::string>(*value),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD"
            "c\xEF\xBF\xBD");
}

// Small texts travel inside the message, large ones as memory files written
// and read a piece at a time (the large one spans several pieces); both must
// arrive as they left, either way.
TEST_F(DbusBackendTest, StoredTextComesBackUnchanged) {
  serve();
  PluginHost session;
  ASSERT_TRUE(session.create(*backend_));
  const std::u16string small = u"caf\u00E9 \U0001F600 \u0434\r\n\t<>&\"'\\";
  std::u16string large;
  while (large.size() < std::size_t{3} << 20) large += small;
  for (const std::u16string& text : {small, large}) {
    ASSERT_TRUE(session.dataAdd(u"KEY", text));
    std::u16string back = u"before";
    EXPECT_TRUE(session.dataGet(u"KEY", back));
    EXPECT_TRUE(back == text) << text.size() << " units came back as " << back.size();
    std::u16string byRef = u"kept";
    EXPECT_TRUE(session.dataAddByRef(u"KEY", byRef));
    EXPECT_EQ(byRef, u"kept") << "the host wrote nothing back";
  }
}

TEST_F(DbusBackendTest, AFailedOrOddCallLeavesTheByReferenceTextAlone) {
  serve({{"hkp_DataGet", "REFUSED"}});
  PluginHost session;
  ASSERT_TRUE(session.create(*backend_));
  ASSERT_TRUE(session.dataAdd(u"NUMBER", std::int16_t{7}));
  struct Row {
    std::u16string key;
    bool succeeds;
  };
  const Row rows[] = {
      {u"MISSING", true},   // an empty reply: the host has no such record
      {u"NUMBER", false},   // a reply variant that is not a string
      {u"REFUSED", false},  // an error reply
  };
  for (const Row& row : rows) {
    std::u16string value = u"unchanged";
    EXPECT_EQ(session.dataGet(row.key, value), row.succeeds) << std::string(row.key.begin(), row.key.end());
    EXPECT_EQ(value, u"unchanged") << std::string(row.key.begin(), row.key.end());
  }
}

TEST_F(DbusBackendTest, CallsFailOnceTheHostHasGone) {
  serve();
  PluginHost session;
  ASSERT_TRUE(session.create(*backend_));
  hostBus_.reset();
  std::u16string value = u"unchanged";
  EXPECT_FALSE(session.dataGet(u"INPUT", value));
  EXPECT_EQ(value, u"unchanged");
}

// Each interface of an introspection document, with its methods' names.
std::map<std::string, std::set<std::string>> interfacesOf(const std::string& xml) {
  const std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> doc(
      xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr, XML_PARSE_NONET), xmlFreeDoc);
  std::map<std::string, std::set<std::string>> interfaces;
  if (!doc) return interfaces;
  const auto name = [](xmlNode* node) {
    const std::unique_ptr<xmlChar, void (*)(void*)> value(xmlGetProp(node, BAD_CAST "name"), xmlFree);
    return std::string(value ? reinterpret_cast<const char*>(value.get()) : "");
  };
  for (xmlNode* i = xmlDocGetRootElement(doc.get())->children; i; i = i->next) {
    if (i->type != XML_ELEMENT_NODE || !xmlStrEqual(i->name, BAD_CAST "interface")) continue;
    auto& methods = interfaces[name(i)];
    for (xmlNode* m = i->children; m; m = m->next) {
      if (m->type == XML_ELEMENT_NODE && xmlStrEqual(m->name, BAD_CAST "method")) methods.insert(name(m));
    }
  }
  return interfaces;
}

TEST_F(DbusBackendTest, HostObjectIntrospectsAsTheContractAndAnswersPing) {
  serve();
  sd_bus* raw = nullptr;
  ASSERT_GE(sd_bus_new(&raw), 0);
  const sdbus_owners::BusPtr client(raw);
  ASSERT_GE(sd_bus_set_address(client.get(), bus_->address().c_str()), 0);
  ASSERT_GE(sd_bus_set_bus_client(client.get(), 1), 0);
  ASSERT_GE(sd_bus_start(client.get()), 0);
  const auto call = [&](const char* interface, const char* method) {
    sd_bus_message* reply = nullptr;
    const int r = sd_bus_call_method(client.get(), "htmlkit.HTMLKitPluginsCore", "/htmlkit/HTMLKitPluginsCore",
                                     interface, method, nullptr, &reply, "");
    return std::make_pair(r, sdbus_owners::MessagePtr(reply));
  };

  const auto [introspected, reply] = call("org.freedesktop.DBus.Introspectable", "Introspect");
  ASSERT_GE(introspected, 0);
  const char* xml = nullptr;
  ASSERT_GE(sd_bus_message_read(reply.get(), "s", &xml), 0);
  const std::map<std::string, std::set<std::string>> expected = {
      {"htmlkit.HTMLKitPluginsCore", {"hkp_DataSetGlobalSuffix", "hkp_DataAdd", "hkp_DataAddInt", "hkp_DataGet"}},
      {"org.freedesktop.DBus.Introspectable", {"Introspect"}},
      {"org.freedesktop.DBus.Peer", {"Ping", "GetMachineId"}},
  };
  EXPECT_EQ(interfacesOf(xml), expected) << xml;
  EXPECT_GE(call("org.freedesktop.DBus.Peer", "Ping").first, 0);
}

}  // namespace
}  // namespace tarnweld
