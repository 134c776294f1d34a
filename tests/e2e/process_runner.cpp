#include "process_runner.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <stdexcept>

#include "platform/posix/child_process.h"
#include "platform/posix/fd.h"
#include "private_bus/private_bus.h"

extern char** environ;

namespace tarnweld::e2e {
namespace {

std::vector<std::string> childEnvironment(const ProcessRequest& request) {
  std::map<std::string, std::optional<std::string>> changes = request.environment;
  changes.try_emplace(posix::kBusAddressVariable, std::nullopt);
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text(*entry);
    if (!changes.contains(text.substr(0, text.find('=')))) environment.push_back(text);
  }
  for (const auto& [name, value] : changes) {
    if (value) environment.push_back(name + "=" + *value);
  }
  return environment;
}

}  // namespace

ProcessResult runProcess(const ProcessRequest& request) {
  posix::Pipe in, out, err;
  if (!posix::openPipe(in) || !posix::openPipe(out) || !posix::openPipe(err)) throw std::runtime_error("pipe");

  posix::SpawnRequest spawn;
  spawn.program = request.arguments.at(0);
  spawn.arguments = request.arguments;
  spawn.environment = childEnvironment(request);
  if (request.directory) spawn.directory = request.directory->string();
  spawn.standardInput = in.read.get();
  spawn.standardOutput = out.write.get();
  spawn.standardError = err.write.get();
  Result<posix::ChildProcess> spawned = posix::spawnChild(spawn);
  in.read.reset();
  out.write.reset();
  err.write.reset();
  if (!spawned) throw std::runtime_error(spawned.reason());

  // Standard input is written alongside the reads; a child that does not
  // read it makes the write fail with EPIPE, which is ignored.
  const auto oldPipeHandler = signal(SIGPIPE, SIG_IGN);
  ProcessResult result;
  std::size_t written = 0;
  if (request.input.empty()) in.write.reset();
  posix::Fd* ends[2] = {&out.read, &err.read};
  std::string* sinks[2] = {&result.out, &result.err};
  while (out.read || err.read) {
    pollfd fds[3] = {{out.read.get(), POLLIN, 0}, {err.read.get(), POLLIN, 0}, {in.write.get(), POLLOUT, 0}};
    if (poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (!*ends[i] || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[65536];
      const ssize_t got = read(ends[i]->get(), buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        ends[i]->reset();
      }
    }
    if (in.write && fds[2].revents) {
      const ssize_t put = write(in.write.get(), request.input.data() + written, request.input.size() - written);
      if (put > 0) written += static_cast<std::size_t>(put);
      if (put < 0 && errno != EINTR) written = request.input.size();
      if (written == request.input.size()) in.write.reset();
    }
  }
  in.write.reset();
  signal(SIGPIPE, oldPipeHandler);

  const posix::ChildOutcome outcome = spawned->wait();
  result.elapsed = outcome.wallTime;
  if (outcome.end == posix::ChildOutcome::End::Exited) result.exitStatus = outcome.code;
  if (outcome.end == posix::ChildOutcome::End::Signaled) result.signal = outcome.code;
  return result;
}

}  // namespace tarnweld::e2e
