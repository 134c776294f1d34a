#include "win_test_support.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/windows/com.h"
#include "platform/windows/handle.h"
#include "platform/windows/process_facts.h"
#include "text/utf.h"

namespace tarnweld::test {

std::u16string programPath(std::u16string_view name) { return win::exeDirectory() + std::u16string(name); }

std::u16string sourcePath(std::string_view relative) {
  std::u16string path = u"Z:" + fromUtf8Lenient(TARNWELD_SOURCE_DIR) + u"/" + fromUtf8Lenient(relative);
  std::ranges::replace(path, u'/', u'\\');
  return path;
}

bool underWine() { return win::wineVersion().has_value(); }

namespace {

// One end of a child's output: the child inherits the write end; the read
// end is drained on a thread of its own, so that a child that writes more
// than the pipe holds cannot block while the caller waits for it to end.
struct Capture {
  win::Handle read, write;

  bool open(SECURITY_ATTRIBUTES& inheritable) {
    HANDLE readRaw = nullptr, writeRaw = nullptr;
    if (!CreatePipe(&readRaw, &writeRaw, &inheritable, 0)) return false;
    read = win::Handle(readRaw);
    write = win::Handle(writeRaw);
    return SetHandleInformation(read.get(), HANDLE_FLAG_INHERIT, 0) != 0;
  }

  std::thread drainInto(std::string& text) {
    write = win::Handle();  // the child holds the only write end now: reading ends when it does
    return std::thread([this, &text] {
      char buffer[4096];
      DWORD got = 0;
      while (ReadFile(read.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    });
  }
};

}  // namespace

ProcessEnd runProcess(std::u16string commandLine, DWORD limitMs) {
  ProcessEnd end;
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Capture out, err;
  if (!out.open(inheritable) || !err.open(inheritable)) return end;
  const win::Handle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul.get();
  startup.hStdOutput = out.write.get();
  startup.hStdError = err.write.get();
  PROCESS_INFORMATION info{};
  const auto started = std::chrono::steady_clock::now();
  if (!CreateProcessW(nullptr, win::wide(commandLine.data()), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &info))
    return end;
  const win::Handle process(info.hProcess), thread(info.hThread);
  std::thread outReader = out.drainInto(end.output);
  std::thread errReader = err.drainInto(end.errors);
  if (WaitForSingleObject(process.get(), limitMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), INFINITE);
  } else {
    DWORD code = 0;
    if (GetExitCodeProcess(process.get(), &code)) end.exitCode = code;
  }
  outReader.join();
  errReader.join();
  end.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return end;
}

Listener::Listener(std::string body) : body_(std::move(body)) {
  WSADATA data;
  started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (socket_ == INVALID_SOCKET || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(socket_, 8) != 0 || getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return;
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { serve(); });
}

Listener::~Listener() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
  if (started_) WSACleanup();
}

std::u16string Listener::url(std::string_view path) const {
  return fromUtf8Lenient("http://127.0.0.1:" + std::to_string(port_) + std::string(path));
}

void Listener::add(std::string path, std::string body) {
  const std::lock_guard lock(mutex_);
  bodies_.emplace_back(std::move(path), std::move(body));
}

std::vector<std::string> Listener::requests() {
  const std::lock_guard lock(mutex_);
  return requests_;
}

void Listener::serve() {
  while (!stop_) {
    // Each wait is short, so the owner's stop is seen soon.
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(socket_, &ready);
    timeval wait{0, 50'000};
    if (select(0, &ready, nullptr, nullptr, &wait) != 1) continue;
    const SOCKET client = accept(socket_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    std::string request;
    char buffer[1024];
    int got = 0;
    while (request.find("\r\n\r\n") == std::string::npos && (got = recv(client, buffer, sizeof buffer, 0)) > 0)
      request.append(buffer, got);
    std::string body = body_;
    {
      const std::lock_guard lock(mutex_);
      const std::string line = request.substr(0, request.find("\r\n"));
      requests_.push_back(line);
      for (const auto& [path, text] : bodies_) {
        if (line.starts_with("GET " + path + " ")) body = text;
      }
    }
    const std::string reply =
        "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
    send(client, reply.data(), static_cast<int>(reply.size()), 0);
    closesocket(client);
  }
}

}  // namespace tarnweld::test
