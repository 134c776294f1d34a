// The session-bus backend of the host object against the host stand-in's bus
// service, both in this process, on a private bus: what crosses the wire, and
// what a failed or odd reply leaves behind.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "dbus/host_bus.h"
#include "host/dbus/dbus_automation.h"
#include "host/dbus/wire/bus_wire.h"
#include "host/dbus/wire/sd_bus_owners.h"
#include "host/plugin_host.h"
#include "platform/posix/sealed_file_text.h"
#include "platform/posix/sealed_memfd.h"
#include "plugin_session.h"
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

  void serve(std::vector<host::RejectRule> rejects = {},
             host::HostBus::FdPassing fdPassing = host::HostBus::FdPassing::kNegotiate) {
    auto opened = host::HostBus::open(bus_->address(), store_, std::move(rejects), fdPassing);
    ASSERT_TRUE(opened) << opened.reason();
    hostBus_ = std::move(*opened);
  }

  // A plain client of the test's bus, started, that calls the host object
  // by hand; it asks to pass descriptors when `negotiateFds`. Null, with a
  // failure, when it cannot be started.
  sdbus_owners::BusPtr startClient(bool negotiateFds) {
    sd_bus* raw = nullptr;
    const int made = sd_bus_new(&raw);
    sdbus_owners::BusPtr client(raw);
    if (made < 0 || sd_bus_set_address(client.get(), bus_->address().c_str()) < 0 ||
        (negotiateFds && sd_bus_negotiate_fds(client.get(), 1) < 0) || sd_bus_set_bus_client(client.get(), 1) < 0 ||
        sd_bus_start(client.get()) < 0) {
      ADD_FAILURE() << "cannot start a client of the bus";
      return nullptr;
    }
    return client;
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
  EXPECT_EQ(backend_->create("htmlkit.NobodyHere"), nullptr);
  EXPECT_EQ(backend_->create("not a bus name"), nullptr);
}

// A second host on the same bus is told at once why it cannot serve, and
// never waits in the daemon's queue to take the name over later.
TEST_F(DbusBackendTest, ASecondHostIsToldTheNameHasAnOwner) {
  serve();
  RecordStore otherStore{true};
  const auto second = host::HostBus::open(bus_->address(), otherStore, {});
  ASSERT_FALSE(second);
  EXPECT_NE(second.reason().find("already has an owner on this bus (is another host running?)"), std::string::npos)
      << second.reason();
}

TEST_F(DbusBackendTest, TextTheBusCannotCarryArrivesAsReplacementCharacters) {
  serve();
  PluginHost session;
  ASSERT_TRUE(session.create(*backend_));
  // Bytes that are not text are mended where they become one.
  const Text text =
      textFromUtf8(std::string_view("a\0b\xFF"
                                    "c\xC3",
                                    6));
  const std::string mended =
      "a\xEF\xBF\xBD"
      "b\xEF\xBF\xBD"
      "c\xEF\xBF\xBD";
  // Inside the message, and in a memory file, mended a piece at a time.
  const Text padding(dbus_wire::kTextByDescriptorBytes, TXT('p'));
  EXPECT_TRUE(session.dataAdd("OUTPUT", text));
  EXPECT_TRUE(session.dataAdd("LARGE", padding + text));
  const RecordValue* value = stored("OUTPUT");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(host::stringOf(*value).value_or(""), mended);
  const RecordValue* large = store_.find("LARGE");
  ASSERT_NE(large, nullptr);
  EXPECT_FALSE(std::holds_alternative<std::string>(*large)) << "went inside the message, not as a file";
  EXPECT_TRUE(host::stringOf(*large).value_or("") == textToUtf8(padding) + mended);
}

// Small texts travel inside the message, large ones as memory files written
// and read a piece at a time (the large one spans several pieces); both must
// arrive as they left, either way.
TEST_F(DbusBackendTest, StoredTextComesBackUnchanged) {
  serve();
  PluginHost session;
  ASSERT_TRUE(session.create(*backend_));
  const Text small = "caf\u00E9 \U0001F600 \u0434\r\n\t<>&\"'\\";
  Text large;
  while (large.size() < std::size_t{3} << 20) large += small;
  for (const Text& text : {small, large}) {
    ASSERT_TRUE(session.dataAdd("KEY", text));
    Text back = "before";
    EXPECT_TRUE(session.dataGet("KEY", back));
    EXPECT_TRUE(back == text) << text.size() << " units came back as " << back.size();
    Text byRef = "kept";
    EXPECT_TRUE(session.dataAddByRef("KEY", byRef));
    EXPECT_EQ(byRef, "kept") << "the host wrote nothing back";
  }
}

// A host whose connection takes no descriptors gets a large text inside the
// message when it fits one, and the plug-in can tell beforehand when it does
// not (naming the size and the limit); one that takes them has no limit.
TEST_F(DbusBackendTest, ALargeTextReachesAHostWithoutDescriptorPassingWholeOrIsRefusedWithAReason) {
  using FdPassing = host::HostBus::FdPassing;
  Text large;
  while (large.size() < 300'000) large += "caf\u00E9 \U0001F600 ";
  const Text huge(std::size_t{160} << 20, 'x');
  for (const FdPassing fdPassing : {FdPassing::kNegotiate, FdPassing::kRefuse}) {
    const bool takesFds = fdPassing == FdPassing::kNegotiate;
    SCOPED_TRACE(takesFds ? "a host that takes descriptors" : "a host that takes none");
    // A large record the host holds in a memory file of its own goes to a
    // host connection without descriptors inside the message.
    store_.add("SHARED", host::shareText(textToUtf8(large)));
    serve({}, fdPassing);
    PluginHost session;
    ASSERT_TRUE(session.create(*backend_));
    Text shared;
    EXPECT_TRUE(session.dataGet("SHARED", shared));
    EXPECT_TRUE(shared == large) << shared.size();
    EXPECT_EQ(session.refusesText(large), std::nullopt);
    ASSERT_TRUE(session.dataAdd("OUTPUT", large));
    Text back;
    EXPECT_TRUE(session.dataGet("OUTPUT", back));
    EXPECT_TRUE(back == large) << large.size() << " units came back as " << back.size();

    const std::optional<Text> refusal = session.refusesText(huge);
    EXPECT_EQ(refusal.has_value(), !takesFds);
    if (refusal) {
      const std::string reason(refusal->begin(), refusal->end());
      EXPECT_NE(reason.find(std::to_string(huge.size())), std::string::npos) << reason;
      EXPECT_NE(reason.find(std::to_string(dbus_wire::kLargestStringBytes)), std::string::npos) << reason;
      EXPECT_FALSE(session.dataAdd("HUGE", huge));
      EXPECT_TRUE(session.dataAdd("AFTER", "the connection still serves")) << "a refused text broke the connection";
    }
    hostBus_.reset();
  }
}

// The form a string takes on the wire, seen from the host's side: inside
// the message below the threshold, a memory file from it on, and a memory
// file at any size when it holds a noncharacter, which the bus library
// refuses inside a message. Each arrives as it left, and comes back so.
TEST_F(DbusBackendTest, StringsGoAsFilesFromTheThresholdOnOrWhenTheyHoldANoncharacter) {
  serve();
  PluginHost session;
  ASSERT_TRUE(session.create(*backend_));
  const std::size_t threshold = dbus_wire::kTextByDescriptorBytes;
  struct Row {
    const char* what;
    Text text;
    bool asFile;
  };
  const Row rows[] = {
      {"one byte below the threshold", Text(threshold - 1, TXT('x')), false},
      {"exactly the threshold", Text(threshold, TXT('x')), true},
      {"U+FFFD, a character like any other", "a\uFFFD", false},
      {"U+FDD0", "ab\uFDD0", true},
      {"U+FDEF", "\uFDEF", true},
      {"U+FFFE", "\uFFFE", true},
      {"U+FFFF", "\uFFFF", true},
      {"U+1FFFE", "\U0001FFFE", true},
      {"U+10FFFF", "\U0010FFFF", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_TRUE(session.dataAdd(textFromAscii(row.what), row.text));
    Text back;
    EXPECT_TRUE(session.dataGet(textFromAscii(row.what), back));
    EXPECT_TRUE(back == row.text) << "came back as " << back.size() << " bytes";
  }
  hostBus_->stop();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const RecordValue* value = store_.find(row.what);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(std::holds_alternative<std::string>(*value), !row.asFile) << "the wrong form";
    EXPECT_TRUE(host::stringOf(*value).value_or("") == row.text.bytes());
  }
}

// The same rule for what the stand-in sends: a record inside the reply below
// the threshold, as a memory file from it on or when it holds a noncharacter.
TEST_F(DbusBackendTest, TheHostSendsStringsInTheFormTheirSizeAndCharactersCall) {
  const std::size_t threshold = dbus_wire::kTextByDescriptorBytes;
  struct Row {
    const char* key;
    std::string text;
    const char* form;
  };
  const Row rows[] = {
      {"BELOW", std::string(threshold - 1, 'x'), "s"},
      {"AT", std::string(threshold, 'x'), "h"},
      {"NONCHARACTER", "a\uFDD0", "h"},
  };
  for (const Row& row : rows) store_.add(row.key, row.text);
  serve();
  const sdbus_owners::BusPtr client = startClient(true);
  ASSERT_NE(client, nullptr);
  for (const Row& row : rows) {
    sd_bus_message* reply = nullptr;
    ASSERT_GE(sd_bus_call_method(client.get(), "htmlkit.HTMLKitPluginsCore", dbus_wire::kObjectPath,
                                 dbus_wire::kInterface, "hkp_DataGet", nullptr, &reply, "vv", "s", row.key, "s", ""),
              0)
        << row.key;
    const sdbus_owners::MessagePtr owned(reply);
    char type = 0;
    const char* contents = nullptr;
    ASSERT_GT(sd_bus_message_peek_type(reply, &type, &contents), 0) << row.key;
    EXPECT_STREQ(contents, row.form) << row.key;
  }
}

// A host that takes no descriptors cannot be sent a noncharacter at all: the
// plug-in can tell beforehand, naming the character and where it stands, and
// the call fails without harm; it can neither send one.
TEST_F(DbusBackendTest, ANoncharacterCannotReachAHostWithoutDescriptorsAndIsNamedWithItsPlace) {
  serve({}, host::HostBus::FdPassing::kRefuse);
  PluginHost session;
  ASSERT_TRUE(session.create(*backend_));
  const Text text = "<p>caf\u00E9 \U0001F600 \uFDD0</p>";
  const std::optional<Text> refusal = session.refusesText(text);
  ASSERT_TRUE(refusal);
  const std::string reason(refusal->begin(), refusal->end());
  // Counted as the host counts: the emoji is two units.
  EXPECT_NE(reason.find("U+FDD0 at character 12,"), std::string::npos) << reason;
  EXPECT_EQ(session.refusesText("<p>caf\u00E9</p>"), std::nullopt);
  EXPECT_FALSE(session.dataAdd("OUTPUT", text));
  EXPECT_TRUE(session.dataAdd("AFTER", "the connection still serves"));
  store_.add("STORED", std::string("\uFFFF"));
  Text value = "unchanged";
  EXPECT_FALSE(session.dataGet("STORED", value));
  EXPECT_EQ(value, "unchanged");
}

// A host that takes descriptors but refuses one as an argument gets the same
// string inside the message, and is not sent one again.
TEST_F(DbusBackendTest, AHostRefusingAFileArgumentGetsTheStringInsideTheMessage) {
  serve({}, host::HostBus::FdPassing::kRefuseArguments);
  PluginHost session;
  ASSERT_TRUE(session.create(*backend_));
  const Text large(std::size_t{300'000}, 'x');
  EXPECT_EQ(session.refusesText(large), std::nullopt) << "the host answers a Ping carrying a descriptor";
  ASSERT_TRUE(session.dataAdd("OUTPUT", large));
  EXPECT_TRUE(session.refusesText("\uFDD0")) << "after the refusal the host is known to take no descriptors";
  const RecordValue* value = stored("OUTPUT");
  ASSERT_NE(value, nullptr);
  EXPECT_TRUE(std::holds_alternative<std::string>(*value));
  EXPECT_EQ(host::stringOf(*value).value_or("").size(), large.size());
}

TEST_F(DbusBackendTest, AFailedOrOddCallLeavesTheByReferenceTextAlone) {
  serve({{"hkp_DataGet", "REFUSED"}});
  PluginHost session;
  ASSERT_TRUE(session.create(*backend_));
  ASSERT_TRUE(session.dataAdd("NUMBER", std::int16_t{7}));
  struct Row {
    Text key;
    bool succeeds;
  };
  const Row rows[] = {
      {"MISSING", true},   // an empty reply: the host has no such record
      {"NUMBER", false},   // a reply variant that is not a string
      {"REFUSED", false},  // an error reply
  };
  for (const Row& row : rows) {
    Text value = "unchanged";
    EXPECT_EQ(session.dataGet(row.key, value), row.succeeds) << std::string(row.key.begin(), row.key.end());
    EXPECT_EQ(value, "unchanged") << std::string(row.key.begin(), row.key.end());
  }
}

// A raw connection that owns, or queues for, the host's bus name and answers
// every contract call with an empty reply, counting them; it serves from a
// thread of its own.
class NameOwner {
 public:
  // With `replyFile`, every contract call is answered with that descriptor
  // as a string variant "h".
  NameOwner(const std::string& address, std::uint64_t flags, int replyFile = -1)
      : wake_(eventfd(0, EFD_CLOEXEC)), replyFile_(replyFile) {
    sd_bus* raw = nullptr;
    int r = sd_bus_new(&raw);
    bus_.reset(raw);
    if (r >= 0) r = sd_bus_set_address(bus_.get(), address.c_str());
    if (r >= 0) r = sd_bus_set_bus_client(bus_.get(), 1);
    if (r >= 0) r = sd_bus_start(bus_.get());
    sd_bus_slot* slot = nullptr;
    if (r >= 0) r = sd_bus_add_filter(bus_.get(), &slot, &NameOwner::onMessage, this);
    filter_.reset(slot);
    if (r >= 0) r = sd_bus_request_name(bus_.get(), kName, flags);
    primary_ = r > 0;
    ready_ = r >= 0 && wake_ >= 0;
    if (ready_) thread_ = std::thread([this] { serve(); });
  }
  NameOwner(const NameOwner&) = delete;
  NameOwner& operator=(const NameOwner&) = delete;
  ~NameOwner() { leave(); }

  bool ready() const { return ready_; }
  // Waits, at most ten seconds, until this connection owns the name.
  bool awaitPrimary() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return primary_; });
  }
  void release() {
    const std::lock_guard lock(mutex_);
    sd_bus_release_name(bus_.get(), kName);
    wake(1);
  }
  // Closes the connection: the bus daemon sees this host leave.
  void leave() {
    if (thread_.joinable()) {
      wake(2);
      thread_.join();
    }
    filter_.reset();
    bus_.reset();
    if (wake_ >= 0) close(std::exchange(wake_, -1));
  }
  int calls() {
    const std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  static constexpr const char* kName = "htmlkit.HTMLKitPluginsCore";

  void wake(std::uint64_t what) { [[maybe_unused]] const ssize_t n = write(wake_, &what, sizeof what); }

  static int onMessage(sd_bus_message* message, void* self, sd_bus_error*) {
    auto* owner = static_cast<NameOwner*>(self);
    const char* name = nullptr;
    if (sd_bus_message_is_signal(message, "org.freedesktop.DBus", "NameAcquired") &&
        sd_bus_message_read(message, "s", &name) > 0 && std::string_view(name) == kName) {
      owner->primary_ = true;
      owner->changed_.notify_all();
    }
    if (!sd_bus_message_is_method_call(message, dbus_wire::kInterface, nullptr)) return 0;
    ++owner->calls_;
    if (owner->replyFile_ >= 0) {
      sd_bus_reply_method_return(message, "v", "h", owner->replyFile_);
    } else {
      sd_bus_reply_method_return(message, "");
    }
    return 1;
  }

  void serve() {
    for (;;) {
      pollfd fds[2] = {{-1, 0, 0}, {wake_, POLLIN, 0}};
      {
        const std::lock_guard lock(mutex_);
        while (sd_bus_process(bus_.get(), nullptr) > 0) {
        }
        fds[0] = {sd_bus_get_fd(bus_.get()), static_cast<short>(sd_bus_get_events(bus_.get())), 0};
      }
      if (poll(fds, 2, -1) < 0) return;
      std::uint64_t what = 0;
      if (fds[1].revents && read(wake_, &what, sizeof what) == sizeof what && what >= 2) return;
    }
  }

  sdbus_owners::BusPtr bus_;
  sdbus_owners::SlotPtr filter_;
  int wake_;
  int replyFile_;
  bool ready_ = false;
  bool primary_ = false;
  int calls_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
};

// The host is the connection that owned the name when the session began: a
// connection that takes the name after it (the host left, was replaced, or
// released it) is never handed anything; the host itself still is, while it
// is on the bus.
TEST_F(DbusBackendTest, CallsGoOnlyToTheConnectionThatOwnedTheNameAtTheStart) {
  struct Shape {
    const char* name;
    std::uint64_t firstFlags, secondFlags;
    void (*change)(NameOwner& first);
    bool reachesFirst;
  };
  const Shape shapes[] = {
      {"the host leaves, a queued owner takes over", 0, SD_BUS_NAME_QUEUE, [](NameOwner& h) { h.leave(); }, false},
      {"the host is replaced", SD_BUS_NAME_ALLOW_REPLACEMENT, SD_BUS_NAME_REPLACE_EXISTING, [](NameOwner&) {}, true},
      {"the host releases the name to a queued owner", 0, SD_BUS_NAME_QUEUE, [](NameOwner& h) { h.release(); }, true},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    NameOwner first(bus_->address(), shape.firstFlags);
    ASSERT_TRUE(first.ready() && first.awaitPrimary());
    PluginHost session;
    ASSERT_TRUE(session.create(*backend_));
    NameOwner second(bus_->address(), shape.secondFlags);
    ASSERT_TRUE(second.ready());
    shape.change(first);
    ASSERT_TRUE(second.awaitPrimary());

    const int before = first.calls();
    EXPECT_EQ(session.dataAdd("OUTPUT", "the first host's result"), shape.reachesFirst);
    EXPECT_EQ(first.calls() - before, shape.reachesFirst ? 1 : 0);
    EXPECT_EQ(second.calls(), 0);
  }
}

// A string the host sends as a memory file is read only when the file is
// sealed against any change and holds no NUL; else the call fails and the
// text is left alone.
TEST_F(DbusBackendTest, AHostFileThatIsNotSealedOrHoldsANulFailsTheCall) {
  struct Row {
    const char* what;
    std::string bytes;
    int seals;
    bool read;
  };
  const Row rows[] = {
      {"sealed", "caf\xC3\xA9", posix::kTextSeals, true},
      {"not sealed against writing", "text", F_SEAL_SHRINK | F_SEAL_GROW, false},
      {"holding a NUL", std::string("a\0b", 3), posix::kTextSeals, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const posix::Fd file = posix::makeMemoryFile("text");
    ASSERT_TRUE(posix::writeAll(file.get(), row.bytes));
    ASSERT_EQ(fcntl(file.get(), F_ADD_SEALS, row.seals), 0);
    NameOwner owner(bus_->address(), 0, file.get());
    ASSERT_TRUE(owner.ready() && owner.awaitPrimary());
    PluginHost session;
    ASSERT_TRUE(session.create(*backend_));
    Text value = "unchanged";
    EXPECT_EQ(session.dataGet("INPUT", value), row.read);
    EXPECT_TRUE(value == (row.read ? textFromUtf8(row.bytes) : Text("unchanged")));
  }
}

TEST_F(DbusBackendTest, CallsFailOnceTheHostHasGone) {
  serve();
  PluginHost session;
  ASSERT_TRUE(session.create(*backend_));
  hostBus_.reset();
  Text value = "unchanged";
  EXPECT_FALSE(session.dataGet("INPUT", value));
  EXPECT_EQ(value, "unchanged");
}

// A text from another process in a sealed memory file stays there: mapped,
// checked once, and held by the text with the file. What its size or its
// first NUL says is enough to refuse it, so a sparse file of any size costs
// the reader nothing; bytes that are not text are mended into a copy.
TEST(SealedTextTest, ATextFileIsHeldWhereItLiesOrRefusedBeforeItCanCostMemory) {
  struct Row {
    const char* what;
    std::string bytes;
    std::uint64_t size;  // the file's, when larger than its bytes: the rest NUL
    NulBytes nul;
    std::optional<Text> text;
    bool inFile = false;  // held in the file itself, not copied
    const char* reasonPart = "";
    int seals = posix::kTextSeals;
  };
  const Row rows[] = {
      {"a text", "caf\xC3\xA9 \xF0\x9D\x84\x9E", 0, NulBytes::kRefuse, "caf\u00E9 \U0001D11E", true},
      {"a bad byte", "caf\xC3\xA9 \xFF", 0, NulBytes::kRefuse, "caf\u00E9 \uFFFD"},
      {"a sequence cut short by the end", "ab\xE2\x82", 0, NulBytes::kRefuse, "ab\uFFFD\uFFFD"},
      {"sealed against a change of size only", "abc", 0, NulBytes::kMend, std::nullopt, false, "sealed",
       F_SEAL_SHRINK | F_SEAL_GROW},
      {"not sealed", "abc", 0, NulBytes::kMend, std::nullopt, false, "sealed", 0},
      {"a NUL where NUL is refused", std::string("a\0b", 3), 0, NulBytes::kRefuse, std::nullopt, false, "NUL"},
      {"a NUL where NUL is mended", std::string("a\0b", 3), 0, NulBytes::kMend, "a\uFFFDb"},
      {"5 GiB, NUL after the first byte", "a", std::uint64_t{5} << 30, NulBytes::kRefuse, std::nullopt, false, "NUL"},
      {"a size no text of 2^31-1 units can have", "a", std::uint64_t{7} << 30, NulBytes::kMend, std::nullopt, false,
       "holds 7516192768 bytes"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const posix::Fd file = posix::makeMemoryFile("text");
    ASSERT_EQ(pwrite(file.get(), row.bytes.data(), row.bytes.size(), 0), static_cast<ssize_t>(row.bytes.size()));
    ASSERT_EQ(ftruncate(file.get(), static_cast<off_t>(std::max<std::uint64_t>(row.size, row.bytes.size()))), 0);
    ASSERT_EQ(fcntl(file.get(), F_ADD_SEALS, row.seals), 0);
    Result<Text> read = posix::readSealedText(file.get(), row.nul);
    ASSERT_EQ(read.ok(), row.text.has_value()) << (read.ok() ? "" : read.reason());
    if (row.text) {
      EXPECT_TRUE(*read == *row.text);
      EXPECT_EQ(utf16Length(*read), utf16Length(row.text->view()));
      struct stat held {
      }, sent{};
      const int heldFd = posix::sealedFileOf(*read);
      EXPECT_EQ(heldFd >= 0, row.inFile);
      if (heldFd >= 0) {
        ASSERT_EQ(fstat(heldFd, &held), 0);
        ASSERT_EQ(fstat(file.get(), &sent), 0);
        EXPECT_EQ(held.st_ino, sent.st_ino) << "a copy, not the file";
      }
    } else {
      EXPECT_NE(read.reason().find(row.reasonPart), std::string::npos) << read.reason();
    }
  }
}

// The stand-in holds a large record (the document, as INPUT) in one sealed
// memory file and passes that file itself on every read: the text is in
// memory once, however often the plug-in asks for it.
TEST_F(DbusBackendTest, EveryReadOfALargeRecordGetsTheOneFileItIsHeldIn) {
  const std::string text(dbus_wire::kTextByDescriptorBytes + 1, 'x');
  const std::unique_ptr<host::SharedTextWriter> writer = host::newSharedTextWriter();
  ASSERT_TRUE(writer->append(text));
  Result<RecordValue> record = writer->finish();
  ASSERT_TRUE(record) << record.reason();
  store_.add("INPUT", std::move(*record));
  serve();
  const sdbus_owners::BusPtr client = startClient(true);
  ASSERT_NE(client, nullptr);
  std::set<ino_t> files;
  for (int read = 0; read < 2; ++read) {
    sdbus_owners::CallError error;
    sd_bus_message* reply = nullptr;
    ASSERT_GE(
        sd_bus_call_method(client.get(), "htmlkit.HTMLKitPluginsCore", dbus_wire::kObjectPath, dbus_wire::kInterface,
                           "hkp_DataGet", &error.value, &reply, "vv", "s", "INPUT", "s", ""),
        0);
    const sdbus_owners::MessagePtr owned(reply);
    int fd = -1;
    ASSERT_GE(sd_bus_message_read(reply, "v", "h", &fd), 0) << "read " << read << " got no memory file";
    posix::MappedBytes mapped;
    ASSERT_TRUE(posix::mapSealedMemfd(fd, mapped));
    EXPECT_TRUE(mapped.bytes() == text);
    struct stat status {};
    ASSERT_EQ(fstat(fd, &status), 0);
    files.insert(status.st_ino);
  }
  EXPECT_EQ(files.size(), 1u) << "each read got a file of its own";
}

// A large text crosses the bus as the file it lies in, both ways: the
// plug-in's INPUT is the host's own file, mapped, and a result held in a
// sealed file reaches the host as that same file.
TEST_F(DbusBackendTest, AHeldTextCrossesAsTheFileItLiesIn) {
  const std::string text(dbus_wire::kTextByDescriptorBytes + 1, 'x');
  const std::unique_ptr<host::SharedTextWriter> writer = host::newSharedTextWriter();
  ASSERT_TRUE(writer->append(text));
  Result<RecordValue> record = writer->finish();
  ASSERT_TRUE(record) << record.reason();
  const auto inode = [](int fd) {
    struct stat status {};
    return fd >= 0 && fstat(fd, &status) == 0 ? status.st_ino : ino_t{0};
  };
  const ino_t hostFile = inode(std::get<std::shared_ptr<const host::SharedText>>(*record)->file());
  store_.add("INPUT", std::move(*record));
  serve();
  PluginHost session;
  ASSERT_TRUE(session.create(*backend_));
  Text input;
  ASSERT_TRUE(session.dataGet(TXT("INPUT"), input));
  EXPECT_EQ(input.bytes(), text);
  EXPECT_EQ(inode(posix::sealedFileOf(input)), hostFile) << "INPUT was copied";

  const posix::Fd result = posix::makeMemoryFile("result");
  ASSERT_TRUE(posix::writeAll(result.get(), text) && posix::sealText(result.get()));
  Text output = *posix::readSealedText(result.get(), NulBytes::kMend);
  ASSERT_TRUE(session.dataAddByRef(TXT("OUTPUT"), output));
  const RecordValue* value = stored("OUTPUT");
  ASSERT_NE(value, nullptr);
  const auto* shared = std::get_if<std::shared_ptr<const host::SharedText>>(value);
  ASSERT_NE(shared, nullptr) << "OUTPUT went inside the message";
  EXPECT_EQ((*shared)->bytes(), text);
  EXPECT_EQ(inode((*shared)->file()), inode(result.get())) << "OUTPUT was copied into another file";
}

// The stand-in takes a string sent as a memory file only when the file is
// sealed against any change and holds what an "s" may: UTF-8 without NUL.
TEST_F(DbusBackendTest, TheHostRefusesAFileThatIsNotSealedOrNotUtf8WithoutNul) {
  serve();
  const sdbus_owners::BusPtr client = startClient(false);
  ASSERT_NE(client, nullptr);
  struct Row {
    const char* key;
    std::string bytes;
    int seals;
    bool taken;
  };
  const Row rows[] = {
      {"SEALED", "caf\xC3\xA9", posix::kTextSeals, true},
      {"UNSEALED", "text", 0, false},
      {"WRITABLE", "text", F_SEAL_SHRINK | F_SEAL_GROW, false},
      {"NUL", std::string("a\0b", 3), posix::kTextSeals, false},
      {"BAD", "a\xFF", posix::kTextSeals, false},
  };
  for (const Row& row : rows) {
    const posix::Fd file = posix::makeMemoryFile("text");
    ASSERT_TRUE(posix::writeAll(file.get(), row.bytes));
    ASSERT_EQ(fcntl(file.get(), F_ADD_SEALS, row.seals), 0);
    sdbus_owners::CallError error;
    sd_bus_message* reply = nullptr;
    const int r =
        sd_bus_call_method(client.get(), "htmlkit.HTMLKitPluginsCore", dbus_wire::kObjectPath, dbus_wire::kInterface,
                           "hkp_DataAdd", &error.value, &reply, "vv", "s", row.key, "h", file.get());
    const sdbus_owners::MessagePtr owned(reply);
    EXPECT_EQ(r >= 0, row.taken) << row.key;
    if (!row.taken) {
      EXPECT_TRUE(sd_bus_error_has_name(&error.value, SD_BUS_ERROR_INVALID_ARGS)) << row.key;
    }
  }
  hostBus_->stop();
  for (const Row& row : rows) EXPECT_EQ(store_.find(row.key) != nullptr, row.taken) << row.key;
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
  const sdbus_owners::BusPtr client = startClient(false);
  ASSERT_NE(client, nullptr);
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
