#include "xml_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>

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
  outcome.reason = record->reason().value_or("<unreadable>");
  outcome.srcText = record->srcText().value_or("<unreadable>");
  outcome.line = record->line().value_or(-1);
  outcome.linepos = record->linepos().value_or(-1);
  return outcome;
}

LoadOutcome asUnprivilegedUser(const std::function<LoadOutcome()>& load) {
  if (geteuid() != 0) return load();
  constexpr uid_t kNobody = 65534;
  int channel[2];
  if (pipe2(channel, O_CLOEXEC) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
        setresuid(kNobody, kNobody, kNobody) != 0) {
      _exit(1);
    }
    const LoadOutcome outcome = load();
    std::string said(outcome.loaded == true ? "1" : "0");
    said += textToUtf8(outcome.reason);
    _exit(write(channel[1], said.data(), said.size()) == static_cast<ssize_t>(said.size()) ? 0 : 1);
  }
  close(channel[1]);
  std::string said;
  char chunk[1024];
  for (ssize_t count; (count = read(channel[0], chunk, sizeof chunk)) > 0;) said.append(chunk, count);
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  LoadOutcome outcome;
  if (said.empty() || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return outcome;
  outcome.loaded = said[0] == '1';
  outcome.reason = textFromUtf8(said.substr(1));
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

HttpServer::HttpServer(std::map<std::string, std::string> answers, bool ipv6)
    : answers_(std::move(answers)), ipv6_(ipv6) {
  sockaddr_storage address{};
  socklen_t size = 0;
  if (ipv6) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
    in6->sin6_family = AF_INET6;
    in6->sin6_addr = in6addr_loopback;
    size = sizeof *in6;
  } else {
    auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
    in4->sin_family = AF_INET;
    in4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    size = sizeof *in4;
  }
  fd_ = socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(fd_, 8) != 0 ||
      getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ADD_FAILURE() << "no HTTP server";
    return;
  }
  port_ = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                     : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  server_ = std::thread([this] {
    while (!stop_) {
      pollfd entry{fd_, POLLIN, 0};
      if (poll(&entry, 1, 50) <= 0) continue;
      const int client = accept(fd_, nullptr, nullptr);
      if (client < 0) continue;
      std::string request;
      char chunk[4096];
      pollfd in{client, POLLIN, 0};
      while (request.find("\r\n\r\n") == std::string::npos && poll(&in, 1, 2000) > 0) {
        const ssize_t count = recv(client, chunk, sizeof chunk, 0);
        if (count <= 0) break;
        request.append(chunk, static_cast<std::size_t>(count));
      }
      const std::size_t start = request.find(' ') + 1;
      const std::string path = request.substr(start, request.find(' ', start) - start);
      const auto found = answers_.find(path);
      const std::string answer = found != answers_.end() ? found->second : httpAnswer("404 Not Found", "", "none");
      for (std::size_t sent = 0; sent < answer.size();) {
        const ssize_t count = send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
        if (count <= 0) break;
        sent += static_cast<std::size_t>(count);
      }
      close(client);
    }
  });
}

HttpServer::~HttpServer() {
  stop_ = true;
  if (server_.joinable()) server_.join();
  if (fd_ >= 0) close(fd_);
}

std::string HttpServer::url(std::string_view path) const {
  return (ipv6_ ? "http://[::1]:" : "http://127.0.0.1:") + std::to_string(port_) + std::string(path);
}

std::string httpAnswer(std::string_view status, std::string_view headers, std::string_view body) {
  return "HTTP/1.1 " + std::string(status) + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n" + std::string(headers) + "\r\n" + std::string(body);
}

TlsServer::TlsServer(const std::filesystem::path& directory, Certificate certificate)
    : directory_(directory), authority_(directory / "test-ca.pem") {
  const char* kinds[] = {"good", "expired", "other-host", "weak-key"};
  const std::string kind = kinds[static_cast<int>(certificate)];
  if (certificate != Certificate::kGood) authority_ = directory / ("test-ca-" + kind + ".pem");
  const std::string key = (directory / ("test-key-" + kind + ".pem")).string();
  const std::string cert = authority();
  const std::string newKey =
      certificate == Certificate::kWeakKey ? "-newkey rsa:1024" : "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1";
  const std::string name = certificate == Certificate::kOtherHost
                               ? "-subj /CN=other.invalid -addext subjectAltName=DNS:other.invalid"
                               : "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1";
  std::string made;
  if (certificate == Certificate::kExpired) {
    // req makes no certificate that has already expired; a one-day CA does.
    const std::string ca = (directory / "expired-ca").string();
    made = "mkdir -p '" + ca + "' && cd '" + ca + "' && : > index && echo 01 > serial && printf '" +
           "[ca]\\ndefault_ca=c\\n[c]\\ndatabase=index\\nnew_certs_dir=.\\nserial=serial\\npolicy=p\\n"
           "default_md=sha256\\ncopy_extensions=copy\\n[p]\\ncommonName=supplied\\n' > conf && "
           "openssl req -new " +
           newKey + " -nodes " + name + " -keyout '" + key + "' -out csr.pem && " +
           "openssl ca -batch -config conf -selfsign -keyfile '" + key + "' -in csr.pem -out '" + cert +
           "' -startdate 20200101000000Z -enddate 20200102000000Z";
  } else {
    made = "openssl req -x509 " + newKey + " -nodes -days 2 " + name + " -keyout '" + key + "' -out '" + cert + "'";
  }
  made = "(" + made + ") >/dev/null 2>&1";
  if (std::system(made.c_str()) != 0) {
    ADD_FAILURE() << "no test certificate";
    return;
  }
  // A weak key is refused by the client's checks, not by the server.
  const char* level = certificate == Certificate::kWeakKey ? "DEFAULT@SECLEVEL=0" : "DEFAULT";
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], 1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    if (chdir(directory.c_str()) != 0) _exit(127);
    execlp("openssl", "openssl", "s_server", "-accept", "127.0.0.1:0", "-cert", cert.c_str(), "-key", key.c_str(),
           "-cipher", level, "-WWW", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  // The server says where it listens once it does: "ACCEPT 127.0.0.1:PORT".
  std::string said;
  char chunk[256];
  pollfd entry{out[0], POLLIN, 0};
  while (said.find('\n', said.find("ACCEPT")) == std::string::npos && poll(&entry, 1, 5000) > 0) {
    const ssize_t count = read(out[0], chunk, sizeof chunk);
    if (count <= 0) break;
    said.append(chunk, static_cast<std::size_t>(count));
  }
  close(out[0]);
  const std::size_t accept = said.find("ACCEPT ");
  if (accept == std::string::npos) {
    ADD_FAILURE() << "the TLS server did not start: " << said;
    return;
  }
  address_ = said.substr(accept + 7, said.find('\n', accept) - accept - 7);
}

TlsServer::~TlsServer() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

std::string TlsServer::url(std::string_view path) const { return "https://" + address_ + std::string(path); }

int withSilentNameServer(const std::filesystem::path& resolvConf, const std::function<bool()>& check) {
  const uid_t uid = geteuid();
  const gid_t gid = getegid();
  const pid_t child = fork();
  if (child == 0) {
    const auto writeFile = [](const char* path, const std::string& text) {
      const int fd = open(path, O_WRONLY | O_CLOEXEC);
      const bool written = fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
      if (fd >= 0) close(fd);
      return written;
    };
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWNET) != 0) _exit(kNoIsolation);
    if (!writeFile("/proc/self/setgroups", "deny") ||
        !writeFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !writeFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
      _exit(kNoIsolation);
    }
    ifreq request{};
    std::strcpy(request.ifr_name, "lo");
    const int control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (control < 0 || ioctl(control, SIOCGIFFLAGS, &request) != 0) _exit(kNoIsolation);
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    if (ioctl(control, SIOCSIFFLAGS, &request) != 0) _exit(kNoIsolation);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(resolvConf.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0) {
      _exit(kNoIsolation);
    }
    // The name server: it takes every question and answers none.
    const int silent = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (silent < 0 || bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) _exit(kNoIsolation);
    _exit(check() ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 1;
  return WEXITSTATUS(status);
}

std::string utf8(TextView text) { return textToUtf8(text); }

}  // namespace tarnweld::xml::testing
