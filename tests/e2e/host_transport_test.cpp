// The real plug-in against a host whose bus connection takes no descriptors:
// this test serves the host object itself on a private bus, without
// descriptor passing, and runs tarnweld /hkprun on results either side of
// what one message can carry.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "dbus/host_bus.h"
#include "host/dbus/wire/bus_wire.h"
#include "platform/posix/child_process.h"
#include "private_bus/private_bus.h"
#include "support/temp_dir.h"

namespace tarnweld {
namespace {

// Writes `line` as text once for each of marker.xml's thousand elements, or,
// thousand-fold, a million times.
std::string repeatingStylesheet(const std::string& line, bool thousandFold) {
  const std::string inner = "<xsl:for-each select=\"$n\"><xsl:text>" + line + "</xsl:text></xsl:for-each>";
  return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
         "<xsl:output method=\"text\" encoding=\"UTF-8\"/>"
         "<xsl:template match=\"/\"><xsl:variable name=\"n\" select=\"document('marker.xml')//n\"/>" +
         (thousandFold ? "<xsl:for-each select=\"$n\">" + inner + "</xsl:for-each>" : inner) +
         "</xsl:template></xsl:stylesheet>";
}

// Whatever refuses a memory file (the host's connection, which takes no
// descriptors, or the host itself, which answers one with InvalidArgs after
// a Ping carrying one passed), the result reaches it inside the message when
// it fits one and can be carried there, and otherwise a report says why:
// the size and the limit, or the character and where it stands.
TEST(HostWithoutDescriptorPassing, GetsTheResultWholeOrAReportNamingItsSizeAndTheLimit) {
  using FdPassing = host::HostBus::FdPassing;
  enum class Expect { kWhole, kSizeReport, kCharacterReport };
  struct Row {
    const char* what;
    std::string line;
    bool thousandFold;
    FdPassing fdPassing;
    Expect expect;
    std::size_t resultBytes;
  };
  const Row rows[] = {
      {"300 KB", std::string(300, 'x'), false, FdPassing::kRefuse, Expect::kWhole, 300'000},
      {"160 MiB", std::string(168, 'y'), true, FdPassing::kRefuse, Expect::kSizeReport, 168'000'000},
      {"a noncharacter", "z&#xFDD0;", false, FdPassing::kRefuse, Expect::kCharacterReport, 0},
      {"300 KB, the file refused", std::string(300, 'x'), false, FdPassing::kRefuseArguments, Expect::kWhole, 300'000},
      {"160 MiB, the file refused", std::string(168, 'y'), true, FdPassing::kRefuseArguments, Expect::kSizeReport,
       168'000'000},
      {"a noncharacter, the file refused", "z&#xFDD0;", false, FdPassing::kRefuseArguments, Expect::kCharacterReport,
       0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const auto started = posix::PrivateBus::start();
    ASSERT_TRUE(started) << started.reason();
    const auto& bus = *started;
    const test::TempDir dir;
    dir.write("out.xsl", repeatingStylesheet(row.line, row.thousandFold));
    std::string marker = "<m>";
    for (int i = 0; i < 1000; ++i) marker += "<n/>";
    dir.write("marker.xml", marker + "</m>");
    std::string fileName = (dir.path() / "doc.xml").string();
    for (char& ch : fileName) ch = ch == '/' ? '\\' : ch;

    host::RecordStore store(false);
    store.add("INPUT", std::string("<?xml-stylesheet href=\"out.xsl\"?><doc/>"));
    store.add("FILE_NAME", fileName);
    auto served = host::HostBus::open(bus->address(), store, {}, row.fdPassing);
    ASSERT_TRUE(served) << served.reason();
    auto hostBus = std::move(*served);

    posix::SpawnRequest plugin;
    plugin.program = TARNWELD_PLUGIN_PATH;
    plugin.arguments = {plugin.program, "/hkprun"};
    plugin.environment = {"DBUS_SESSION_BUS_ADDRESS=" + bus->address()};
    Result<posix::ChildProcess> spawned = posix::spawnChild(plugin);
    ASSERT_TRUE(spawned) << spawned.reason();
    const posix::ChildOutcome outcome = spawned->wait(std::chrono::minutes(2));
    hostBus->stop();
    ASSERT_EQ(outcome.end, posix::ChildOutcome::End::Exited);
    EXPECT_EQ(outcome.code, 0);

    const host::RecordValue* output = store.find("OUTPUT");
    ASSERT_NE(output, nullptr) << "OUTPUT vanished";
    const std::string_view text = host::stringOf(*output).value_or("");
    switch (row.expect) {
      case Expect::kWhole:
        EXPECT_EQ(text.size(), row.resultBytes);
        EXPECT_EQ(text.find_first_not_of(row.line[0]), std::string::npos) << "the result came back changed";
        break;
      case Expect::kSizeReport:
        EXPECT_TRUE(text.starts_with("Tarnweld Error - ")) << text.substr(0, 200);
        EXPECT_NE(text.find(std::to_string(row.resultBytes)), std::string::npos) << text;
        EXPECT_NE(text.find(std::to_string(dbus_wire::kLargestStringBytes)), std::string::npos) << text;
        break;
      case Expect::kCharacterReport:
        EXPECT_TRUE(text.starts_with("Tarnweld Error - ")) << text.substr(0, 200);
        EXPECT_NE(text.find("U+FDD0 at character 2,"), std::string::npos) << text;
        break;
    }
    const host::RecordValue* mode = store.find("MODE_OUTPUT");
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(std::get<std::int16_t>(*mode), 7);
  }
}

}  // namespace
}  // namespace tarnweld
