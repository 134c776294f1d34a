#include "xml_test_support.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "text/utf.h"

namespace tarnweld::xml::testing {

WorkingDirectory::WorkingDirectory(const std::filesystem::path& directory) : saved_(std::filesystem::current_path()) {
  std::filesystem::current_path(directory);
}

WorkingDirectory::~WorkingDirectory() {
  std::error_code ignored;
  std::filesystem::current_path(saved_, ignored);
}

OutputWatch::OutputWatch() {
  std::fflush(stdout);
  std::fflush(stderr);
  sink_ = std::tmpfile();
  savedOut_ = dup(1);
  savedErr_ = dup(2);
  dup2(fileno(sink_), 1);
  dup2(fileno(sink_), 2);
}

std::string OutputWatch::finish() {
  if (!sink_) return {};
  std::fflush(stdout);
  std::fflush(stderr);
  dup2(savedOut_, 1);
  dup2(savedErr_, 2);
  close(savedOut_);
  close(savedErr_);
  std::rewind(sink_);
  std::string printed;
  for (int c; (c = std::fgetc(sink_)) != EOF;) printed.push_back(static_cast<char>(c));
  std::fclose(sink_);
  sink_ = nullptr;
  return printed;
}

OutputWatch::~OutputWatch() { finish(); }

LoadOutcome outcomeOf(const XmlDocument& document, std::optional<bool> loaded) {
  LoadOutcome outcome;
  outcome.loaded = loaded;
  std::unique_ptr<ParseError> record = document.parseError();
  if (!record) return outcome;
  outcome.reason = record->reason().value_or(u"<unreadable>");
  outcome.srcText = record->srcText().value_or(u"<unreadable>");
  outcome.line = record->line().value_or(-1);
  outcome.linepos = record->linepos().value_or(-1);
  return outcome;
}

Listener::Listener(bool trickle) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(fd_, 4) != 0 ||
      getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ADD_FAILURE() << "no listener";
    return;
  }
  port_ = ntohs(address.sin_port);
  if (!trickle) return;
  server_ = std::thread([this] {
    pollfd entry{fd_, POLLIN, 0};
    while (!stop_ && poll(&entry, 1, 50) <= 0) {
    }
    if (stop_) return;
    const int client = accept(fd_, nullptr, nullptr);
    const char answer[] = "HTTP/1.0 200 OK\r\n\r\n<a>";
    for (std::size_t i = 0; !stop_ && client >= 0; i = (i + 1) % (sizeof answer - 1)) {
      if (send(client, answer + i, 1, MSG_NOSIGNAL) != 1) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    if (client >= 0) close(client);
  });
}

Listener::~Listener() {
  stop_ = true;
  if (server_.joinable()) server_.join();
  if (fd_ >= 0) close(fd_);
}

bool Listener::wasContacted() const {
  pollfd entry{fd_, POLLIN, 0};
  return poll(&entry, 1, 0) > 0;
}

std::string utf8(std::u16string_view text) { return toUtf8(text); }

}  // namespace tarnweld::xml::testing
