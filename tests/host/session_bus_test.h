// A fixture with a private session bus of its own, named in
// DBUS_SESSION_BUS_ADDRESS while the test runs, so that the D-Bus backend
// finds it as it would the user's.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "private_bus/private_bus.h"

namespace tarnweld::test {

class SessionBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto started = posix::PrivateBus::start();
    ASSERT_TRUE(started) << started.reason();
    bus_ = std::move(*started);
    setenv("DBUS_SESSION_BUS_ADDRESS", bus_->address().c_str(), 1);
  }
  void TearDown() override { unsetenv("DBUS_SESSION_BUS_ADDRESS"); }

  std::unique_ptr<posix::PrivateBus> bus_;
};

}  // namespace tarnweld::test
