// Runs a program to its end for the end-to-end tests: arguments, standard
// input, environment changes and working directory in; standard output,
// standard error, exit status and wall time out. Both output pipes are read
// as they fill, so a chatty child cannot block.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tarnweld::e2e {

struct ProcessResult {
  std::string out;
  std::string err;
  int exitStatus = -1;  // -1 when it did not exit normally
  int signal = 0;
  std::chrono::duration<double> elapsed{};
};

struct ProcessRequest {
  std::vector<std::string> arguments;  // argv[0] is the program's path
  std::string input;
  // Variables to set; a nullopt value removes the variable. DBUS_SESSION_BUS_ADDRESS
  // is always removed unless set here, so the host starts its private bus.
  std::map<std::string, std::optional<std::string>> environment;
  std::optional<std::filesystem::path> directory;
};

ProcessResult runProcess(const ProcessRequest& request);

using test::TempDir;

}  // namespace tarnweld::e2e
