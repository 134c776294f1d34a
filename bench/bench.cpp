// tarnweld-bench: times `tarnweld-host run` against xsltproc on the same
// generated documents with the same stylesheet, alternating the two, and
// prints medians and the medians of the per-run ratios ours/xsltproc for wall
// time and peak memory (the plug-in's peak, as tarnweld-host reports it,
// against xsltproc's). It also checks that both produce the same text. The
// other XSLT processors found installed (Saxon-HE, Xalan-C) run in the same
// rotation and get a row each, ours against them.
//
//   tarnweld-bench [--runs N] [--sizes 1k,1m,65m] [--host PATH] [--keep DIR] [--no-peers]
//
// The rows 1k, 1m and 65m run by default. The large rows run only when named:
// 300m (a catalog larger than any one bus message), 300m-result (a small
// document whose result is 300 MiB), and those that run under a memory cap
// and pass or fail: 1200m-result (a 1.2 GiB result must arrive whole),
// 1g-text and 1g-elements (a 1 GiB one-line document, one text node or a
// million elements, must transform or be refused with a report within
// seconds, never killed), 2000m-text (a one-node text of 2,000 MiB, within
// the host's limit on a text, must be refused with a report within 2 s of
// the plug-in's time, never killed) and 3g-text (a one-node text of 3 GiB,
// past that limit: the stand-in alone must refuse it, exit 2 with the limit
// as its reason, within seconds and before holding it whole).
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/posix/child_process.h"
#include "platform/posix/fd.h"
#include "private_bus/private_bus.h"

namespace fs = std::filesystem;

namespace {

// What a row's document is and what its stylesheet makes of it.
enum class Workload {
  kCatalog,        // `count` records; the result an HTML table of them
  kLargeResult,    // one text of 1 MiB and `count` empty elements; the result the text `count` times
  kLargeText,      // one line, one text node of `count` MiB; the result counts elements and the last text's characters
  kLargeElements,  // one line, `count` MiB of elements of about 1 KiB each; the result as for kLargeText
};

// A document too large to transform is refused at once, as xsltproc refuses
// a text node beyond its limit; a transformation takes what it takes. A row
// may hold it to less.
constexpr double kRefusalSeconds = 10;
// The host's limit on a text, in UTF-16 units, which the stand-in's refusal
// names.
constexpr std::string_view kMaxTextUnitsText = "2147483647";

struct Size {
  std::string name;
  Workload workload;
  std::size_t count;
  int runs;
  double timeTarget;    // ours / xsltproc wall time, at most; 0: none
  double memoryTarget;  // ours / xsltproc peak memory, at most; 0: none
  // Run under a memory cap of this many GiB (0: none) and judged pass or
  // fail: a result must arrive whole and the same as xsltproc's; a document
  // must give the right result, or a report within refusalSeconds of the
  // plug-in's start; the plug-in never killed.
  double capGiB = 0;
  // For a row that only the stand-in runs: of the stand-in's wall time.
  double refusalSeconds = kRefusalSeconds;
  // Only the stand-in runs, and must refuse the document itself
  // (judgeStandIn): no plug-in, no xsltproc.
  bool standInOnly = false;
  bool capped() const { return capGiB > 0; }
};

const std::vector<Size> kSizes = {
    {"1k", Workload::kCatalog, 8, 21, 2.0, 0},
    {"1m", Workload::kCatalog, 9'000, 11, 0.90, 0},
    {"65m", Workload::kCatalog, 500'000, 5, 0.70, 0.85},
    {"300m", Workload::kCatalog, 1'700'000, 1, 0, 0},
    {"300m-result", Workload::kLargeResult, 300, 3, 2.0, 2.0},
    {"1200m-result", Workload::kLargeResult, 1'200, 1, 0, 0, 4},
    // The document is in memory once for the whole run: the stand-in's
    // sealed memory file, which the plug-in parses where it lies. Beside it
    // the run may hold what xsltproc needs for the same document, its tree:
    // about 15 MiB for the one text node, which libxml2 refuses after its
    // first 10 MB, and about 2.2 GiB for the million elements (their text
    // and a node each). The caps are those sums, with a few hundred MiB for
    // the plug-in's libraries and its result.
    {"1g-text", Workload::kLargeText, 1'024, 1, 0, 0, 1.5},
    {"1g-elements", Workload::kLargeElements, 1'024, 1, 0, 0, 3.5},
    // Within the host's limit on a text (2,147,483,647 UTF-16 units), and
    // refused as the 1 GiB one is, at once: the document once, and room.
    {"2000m-text", Workload::kLargeText, 2'000, 1, 0, 0, 4, 2},
    // Past that limit: the stand-in refuses it alone, having counted no
    // further than the limit, so the run never holds the document whole.
    // No plug-in starts and xsltproc does not run.
    {"3g-text", Workload::kLargeText, 3'072, 1, 0, 0, 3, 5, true},
};
constexpr const char* kDefaultSizes = "1k,1m,65m";

// The caps of the capped rows are on the whole run (the stand-in with the
// plug-in, or xsltproc), as a memory cgroup's limit would hold it: the
// bench watches the run's memory, memory files included, and kills its
// largest process when the run holds more (RunWatcher). A cgroup would be
// the exact tool, but needs a cgroup v2 hierarchy with the memory controller
// that the bench may change, which not every machine gives. As a backstop to
// the watcher, each process also gets the cap as its RLIMIT_DATA (its heap
// and anonymous mappings): an allocation beyond it fails rather than taking
// the machine's memory between two looks. Not RLIMIT_AS, which would count
// the address space that the node pool reserves and never uses.
// Anything still running after this long is killed, so that no row hangs.
constexpr auto kCappedRunTimeout = std::chrono::minutes(10);

// Another XSLT processor, when installed: its command for a document and a
// stylesheet.
struct Peer {
  std::string name;
  std::vector<std::string> (*command)(const std::string& program, const std::string& document,
                                      const std::string& stylesheet);
  std::string program;  // found on this machine
};

std::vector<Peer> findPeers() {
  std::vector<Peer> peers;
  const auto java = tarnweld::posix::findOnPath("java");
  if (java && fs::exists("/usr/share/java/Saxon-HE.jar")) {
    peers.push_back({"Saxon-HE",
                     [](const std::string& program, const std::string& document, const std::string& stylesheet) {
                       return std::vector<std::string>{program, "-jar", "/usr/share/java/Saxon-HE.jar",
                                                       "-s:" + document, "-xsl:" + stylesheet};
                     },
                     *java});
  }
  if (const auto xalan = tarnweld::posix::findOnPath("Xalan")) {
    peers.push_back({"Xalan-C",
                     [](const std::string& program, const std::string& document, const std::string& stylesheet) {
                       return std::vector<std::string>{program, document, stylesheet};
                     },
                     *xalan});
  }
  return peers;
}

constexpr const char* kCatalogStylesheet = R"(<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8"/>
  <xsl:template match="/catalog">
    <html><head><title><xsl:value-of select="@title"/></title></head>
    <body><table>
      <tr><th>Id</th><th>Title</th><th>Artist</th><th>Year</th><th>Price</th></tr>
      <xsl:for-each select="record">
        <tr><td><xsl:value-of select="@id"/></td><td><xsl:value-of select="title"/></td>
        <td><xsl:value-of select="artist"/></td><td><xsl:value-of select="year"/></td>
        <td><xsl:value-of select="price"/>&#160;<xsl:value-of select="price/@currency"/></td></tr>
      </xsl:for-each>
    </table></body></html>
  </xsl:template>
</xsl:stylesheet>
)";

// Every copy of the text becomes a part of the result: a result as large as
// the count of copies says, from a document of about one copy.
constexpr const char* kLargeResultStylesheet = R"xsl(<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="xml" encoding="UTF-8"/>
  <xsl:template match="/source">
    <result><xsl:for-each select="copy"><part><xsl:value-of select="../text"/></part></xsl:for-each></result>
  </xsl:template>
</xsl:stylesheet>
)xsl";

// A short result that shows the whole document arrived: its elements, and
// the characters of its last text (the whole text when it is one node).
constexpr const char* kLargeDocumentStylesheet = R"xsl(<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="text" encoding="UTF-8"/>
  <xsl:template match="/">elements <xsl:value-of select="count(//*)"/>, last text <xsl:value-of select="string-length((//text())[last()])"/> characters</xsl:template>
</xsl:stylesheet>
)xsl";

// The text of the large rows, repeated: ASCII with some two- and three-byte
// characters, nothing that needs escaping.
constexpr std::string_view kPhrase = "Lanterns over tarn water, café nocturne, Þórsmörk echoes, 静かな湖; ";
constexpr std::size_t kMiB = std::size_t{1} << 20;

std::size_t charactersOf(std::string_view utf8) {
  return static_cast<std::size_t>(
      std::ranges::count_if(utf8, [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// Whole phrases, as many as fit in `bytes`.
std::string phrasesWithin(std::size_t bytes) {
  std::string text;
  text.reserve(bytes);
  while (text.size() + kPhrase.size() <= bytes) text += kPhrase;
  return text;
}

// A catalog of `records` records, with non-ASCII text in every one.
std::string catalogText(std::size_t records) {
  static const char* const kTitles[] = {"Lanterns Over Tarn Water", "Café Nocturne",   "Weld &amp; Ember",
                                        "Глубокое озеро",           "Þórsmörk Echoes", "静かな湖"};
  static const char* const kArtists[] = {"The Fell Quartet", "Åsa Lindqvist Trio", "Ironwork Choir",
                                         "Mira Sokolova",    "Ólafur Grímsson",    "Naoko Sato"};
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<catalog title=\"Bench Shelf – Ünïcode\">\n";
  for (std::size_t i = 0; i < records; ++i) {
    char record[512];
    std::snprintf(record, sizeof record,
                  "  <record id=\"r%zu\">\n    <title>%s %zu</title>\n    <artist>%s</artist>\n"
                  "    <year>%zu</year>\n    <price currency=\"EUR\">%zu.%02zu</price>\n  </record>\n",
                  i, kTitles[i % 6], i, kArtists[(i / 6) % 6], 1950 + i % 75, 5 + i % 20, i % 100);
    text += record;
  }
  text += "</catalog>\n";
  return text;
}

// Writes the row's document and stylesheet. Returns whether both were
// written whole, and, for the large documents, the result they must give.
struct Written {
  bool ok = false;
  std::optional<std::string> expected;
};

Written writeWorkload(const Size& size, const fs::path& document, const fs::path& stylesheet) {
  Written written;
  const char* stylesheetText = size.workload == Workload::kCatalog       ? kCatalogStylesheet
                               : size.workload == Workload::kLargeResult ? kLargeResultStylesheet
                                                                         : kLargeDocumentStylesheet;
  std::ofstream stylesheetOut(stylesheet, std::ios::binary);
  stylesheetOut << stylesheetText;
  stylesheetOut.close();
  if (!stylesheetOut) return written;
  // The expected result depends only on the row, so it is known even when a
  // kept document is used again.
  std::size_t elements = 1, lastText = 0, repeats = 0;
  std::string piece;
  if (size.workload == Workload::kLargeText) {
    piece = phrasesWithin(kMiB);
    repeats = size.count;
    lastText = charactersOf(piece) * repeats;
  } else if (size.workload == Workload::kLargeElements) {
    const std::string text = phrasesWithin(1024 - std::string_view("<e></e>").size());
    piece = "<e>" + text + "</e>";
    repeats = size.count * kMiB / piece.size();
    elements += repeats;
    lastText = charactersOf(text);
  }
  if (size.workload == Workload::kLargeText || size.workload == Workload::kLargeElements) {
    written.expected =
        "elements " + std::to_string(elements) + ", last text " + std::to_string(lastText) + " characters";
  }
  if (fs::exists(document)) {
    written.ok = true;
    return written;
  }

  // Written under another name first: a document cut short (the disk full,
  // the bench stopped) is never taken for a whole one by a later run that
  // keeps its files.
  const fs::path partial = fs::path(document) += ".part";
  std::ofstream out(partial, std::ios::binary);
  switch (size.workload) {
    case Workload::kCatalog:
      out << catalogText(size.count);
      break;
    case Workload::kLargeResult:
      out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<source><text>" << phrasesWithin(kMiB) << "</text>";
      for (std::size_t i = 0; i < size.count; ++i) out << "<copy/>";
      out << "</source>\n";
      break;
    case Workload::kLargeText:
    case Workload::kLargeElements:
      // One line: the document's only line break is at its end.
      out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><document>";
      for (std::size_t i = 0; i < repeats && out; ++i)
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
      out << "</document>\n";
      break;
  }
  out.close();
  // On the disk before it is timed, as an editor's saved file is: a run
  // that reads it must not compete with its writing back.
  if (const tarnweld::posix::Fd written(open(partial.c_str(), O_RDONLY | O_CLOEXEC)); written) {
    static_cast<void>(fsync(written.get()));
  }
  std::error_code error;
  if (out) fs::rename(partial, document, error);
  written.ok = out && !error;
  if (!written.ok) fs::remove(partial, error);
  return written;
}

// Lowers this process's soft RLIMIT_DATA while it lives: a child started
// meanwhile keeps the limit, and this process gets its own back afterwards.
class DataLimit {
 public:
  explicit DataLimit(rlim_t bytes) {
    saved_ = getrlimit(RLIMIT_DATA, &limit_) == 0;
    if (!saved_) return;
    rlimit lowered = limit_;
    lowered.rlim_cur = std::min(bytes, limit_.rlim_max);
    saved_ = setrlimit(RLIMIT_DATA, &lowered) == 0;
  }
  ~DataLimit() {
    if (saved_) setrlimit(RLIMIT_DATA, &limit_);
  }
  DataLimit(const DataLimit&) = delete;
  DataLimit& operator=(const DataLimit&) = delete;
  explicit operator bool() const { return saved_; }

 private:
  rlimit limit_{};
  bool saved_ = false;
};

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Measure {
  double seconds = 0;
  long peakKiB = 0;  // the child's own peak, or what it reported for its plug-in
  int status = 0;    // the exit status; 128 + the signal when killed; 127 when not started
  bool timedOut = false;
  // When watched: the peaks of the plug-in and of the whole run, memory
  // files included, and what the run held when it was stopped at the cap.
  long pluginPeakKiB = 0;
  long runPeakKiB = 0;
  long stoppedAtKiB = 0;
};

// How a run may be held in and watched.
struct RunOptions {
  rlim_t capBytes = 0;  // the memory cap; 0: none
  std::optional<std::chrono::steady_clock::duration> timeout;
  bool watched = false;  // its memory with memory files sampled
};

// What one process holds: its resident pages other than shared memory, and
// the memory files it has open or mapped, by inode, with their pages. A
// file's pages belong to no process's resident set until mapped and touched,
// so a file written through write() would otherwise never show.
struct ProcessMemory {
  long ownKiB = 0;
  std::map<ino_t, long> fileKiB;
};

long memoryFileKiB(const fs::path& link, std::map<ino_t, long>& files) {
  struct stat file {};
  if (stat(link.c_str(), &file) != 0) return 0;
  return files[file.st_ino] = static_cast<long>(file.st_blocks / 2);
}

ProcessMemory memoryOf(pid_t pid) {
  const fs::path proc = fs::path("/proc") / std::to_string(pid);
  ProcessMemory memory;
  std::ifstream status(proc / "status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("RssAnon:") || line.starts_with("RssFile:")) memory.ownKiB += std::atol(line.c_str() + 8);
  }
  std::ifstream maps(proc / "maps");
  for (std::string line; std::getline(maps, line);) {
    if (line.find("/memfd:") == std::string::npos) continue;
    memoryFileKiB(proc / "map_files" / line.substr(0, line.find(' ')), memory.fileKiB);
  }
  std::error_code error;
  for (fs::directory_iterator fd(proc / "fd", error), end; !error && fd != end; fd.increment(error)) {
    std::error_code linkError;
    if (fs::read_symlink(fd->path(), linkError).string().starts_with("/memfd:") && !linkError) {
      memoryFileKiB(fd->path(), memory.fileKiB);
    }
  }
  return memory;
}

// When process `pid` started, in clock ticks since boot; 0 when it is gone.
unsigned long long startTimeOf(pid_t pid) {
  std::ifstream stat(fs::path("/proc") / std::to_string(pid) / "stat");
  std::string line;
  std::getline(stat, line);
  // The command name, in parentheses, may hold spaces: fields count from its end.
  std::istringstream fields(line.substr(std::min(line.size(), line.rfind(')') + 1)));
  std::string field;
  for (int i = 3; i < 22 && fields >> field;) ++i;
  unsigned long long ticks = 0;
  fields >> ticks;
  return ticks;
}

// Kills process `pid` if it is still the one that started at `startTime`:
// through a descriptor for the process, so that a number used again by
// another process is never signalled.
void killIfSame(pid_t pid, unsigned long long startTime) {
  const tarnweld::posix::Fd process(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
  if (process && startTimeOf(pid) == startTime) syscall(SYS_pidfd_send_signal, process.get(), SIGKILL, nullptr, 0);
}

// `root` and every process below it.
std::vector<pid_t> processTree(pid_t root) {
  std::vector<pid_t> tree{root};
  for (std::size_t i = 0; i < tree.size(); ++i) {
    std::error_code error;
    const fs::path tasks = fs::path("/proc") / std::to_string(tree[i]) / "task";
    for (fs::directory_iterator task(tasks, error), end; !error && task != end; task.increment(error)) {
      std::ifstream children(task->path() / "children");
      for (pid_t child = 0; children >> child;) tree.push_back(child);
    }
  }
  return tree;
}

// Watches a run every few milliseconds while it lives: the peak of the
// plug-in's memory with its memory files, and of the whole run's (every
// process's own pages, and every memory file once). With a cap it acts as a
// memory cgroup's limit would: when the run holds more, its largest process
// is killed.
class RunWatcher {
 public:
  RunWatcher(pid_t root, long capKiB)
      : thread_([this, root, capKiB](const std::stop_token& stop) {
          while (!stop.stop_requested()) {
            sample(root, capKiB);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
          }
        }) {}

  // Stops watching; fills in the peaks.
  void stop(Measure& m) {
    thread_.request_stop();
    if (thread_.joinable()) thread_.join();
    m.pluginPeakKiB = pluginPeakKiB_;
    m.runPeakKiB = runPeakKiB_;
    m.stoppedAtKiB = stoppedAtKiB_;
  }

 private:
  void sample(pid_t root, long capKiB) {
    long runKiB = 0, largestKiB = 0;
    pid_t largest = 0;
    unsigned long long largestStart = 0;
    std::map<ino_t, long> runFiles;
    for (const pid_t pid : processTree(root)) {
      const ProcessMemory memory = memoryOf(pid);
      long processKiB = memory.ownKiB;
      for (const auto& [inode, kib] : memory.fileKiB) processKiB += kib;
      runKiB += memory.ownKiB;
      runFiles.insert(memory.fileKiB.begin(), memory.fileKiB.end());
      std::ifstream comm(fs::path("/proc") / std::to_string(pid) / "comm");
      if (std::string name; std::getline(comm, name) && name == "tarnweld") {
        pluginPeakKiB_ = std::max(pluginPeakKiB_, processKiB);
      }
      if (processKiB > largestKiB) {
        largestKiB = processKiB;
        largest = pid;
        largestStart = startTimeOf(pid);
      }
    }
    for (const auto& [inode, kib] : runFiles) runKiB += kib;
    runPeakKiB_ = std::max(runPeakKiB_, runKiB);
    if (capKiB > 0 && runKiB > capKiB && largest > 0 && stoppedAtKiB_ == 0) {
      stoppedAtKiB_ = runKiB;
      killIfSame(largest, largestStart);
    }
  }

  // Written by the watching thread only, read after it has been joined.
  long pluginPeakKiB_ = 0, runPeakKiB_ = 0, stoppedAtKiB_ = 0;
  std::jthread thread_;
};

// Runs `argv` (argv[0] a path) in `environment` with stdout and stderr sent
// to files; measures wall time and the child's peak resident set, and, when
// watched, the peaks with memory files (capped: stopped at the cap).
Measure runCommand(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                   const fs::path& out, const fs::path& err, const RunOptions& options = {}) {
  const tarnweld::posix::Fd outFd(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  const tarnweld::posix::Fd errFd(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  tarnweld::posix::SpawnRequest request;
  request.program = argv.at(0);
  request.arguments = argv;
  request.environment = environment;
  request.standardOutput = outFd.get();
  request.standardError = errFd.get();
  // A run that is killed for its time is killed with everything it started.
  request.ownProcessGroup = options.timeout.has_value();
  Measure m;
  std::optional<DataLimit> limit;
  if (options.capBytes > 0 && !limit.emplace(options.capBytes)) {
    m.status = 127;
    return m;
  }
  tarnweld::Result<tarnweld::posix::ChildProcess> spawned = tarnweld::posix::spawnChild(request);
  limit.reset();
  if (!outFd || !errFd || !spawned) {
    m.status = 127;
    return m;
  }
  std::optional<RunWatcher> watcher;
  if (options.watched) watcher.emplace(spawned->pid(), static_cast<long>(options.capBytes >> 10));
  const tarnweld::posix::ChildOutcome outcome = spawned->wait(options.timeout);
  if (watcher) watcher->stop(m);
  m.seconds = std::chrono::duration<double>(outcome.wallTime).count();
  m.peakKiB = outcome.peakRssKiB;
  m.timedOut = outcome.end == tarnweld::posix::ChildOutcome::End::TimedOut;
  m.status = outcome.end == tarnweld::posix::ChildOutcome::End::Exited ? outcome.code : 128 + outcome.code;
  return m;
}

// At most the first `bytes` bytes of a file.
std::string readPrefix(const fs::path& path, std::size_t bytes) {
  std::string text(bytes, '\0');
  std::ifstream in(path, std::ios::binary);
  in.read(text.data(), static_cast<std::streamsize>(bytes));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

// Whether two files hold the same bytes, read a piece at a time: the large
// rows' results are too large to hold twice.
bool sameFiles(const fs::path& a, const fs::path& b) {
  std::error_code sizeA, sizeB;
  if (fs::file_size(a, sizeA) != fs::file_size(b, sizeB) || sizeA || sizeB) return false;
  std::ifstream inA(a, std::ios::binary), inB(b, std::ios::binary);
  if (!inA || !inB) return false;
  std::vector<char> pieceA(kMiB), pieceB(kMiB);
  for (;;) {
    inA.read(pieceA.data(), static_cast<std::streamsize>(kMiB));
    inB.read(pieceB.data(), static_cast<std::streamsize>(kMiB));
    const std::streamsize count = inA.gcount();
    if (count != inB.gcount() || std::memcmp(pieceA.data(), pieceB.data(), static_cast<std::size_t>(count)) != 0) {
      return false;
    }
    if (count < static_cast<std::streamsize>(kMiB)) return !inA.bad() && !inB.bad();
  }
}

// The first `count` characters of UTF-8 text, on one line.
std::string firstCharacters(std::string_view text, std::size_t count) {
  std::string shown;
  std::size_t characters = 0;
  for (const char c : text) {
    const bool starts = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (starts && characters++ == count) break;
    shown.push_back(c == '\n' || c == '\r' ? ' ' : c);
  }
  return shown;
}

// The last line of a program's messages, for a row that failed.
std::string lastLine(const std::string& text) {
  std::string_view rest(text);
  while (!rest.empty() && rest.back() == '\n') rest.remove_suffix(1);
  const auto at = rest.rfind('\n');
  return std::string(at == std::string_view::npos ? rest : rest.substr(at + 1));
}

// The plug-in's wall time from tarnweld-host's --stats line: from its start
// to its end, without the stand-in's reading of the document.
double pluginSeconds(const std::string& stderrText) {
  const auto at = stderrText.find("plug-in wall time ");
  return at == std::string::npos ? 0 : std::atof(stderrText.c_str() + at + 18);
}

// The plug-in's peak from tarnweld-host's --stats line.
long pluginPeakKiB(const std::string& stderrText) {
  const auto at = stderrText.find("peak RSS ");
  return at == std::string::npos ? 0 : std::atol(stderrText.c_str() + at + 9);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The median of the per-run ratios ours[i] / theirs[i]: a run disturbed by
// other work on the machine moves one pair, not one side of every ratio.
double medianRatio(const std::vector<double>& ours, const std::vector<double>& theirs) {
  std::vector<double> ratios;
  for (std::size_t i = 0; i < ours.size() && i < theirs.size(); ++i) {
    if (theirs[i] > 0) ratios.push_back(ours[i] / theirs[i]);
  }
  return ratios.empty() ? 0 : median(ratios);
}

// What a capped run's result says. tarnweld-host ends with 0 for a result and
// 4 for a report; anything else (the plug-in killed, timed out, failed) fails
// the row.
constexpr int kHostReportStatus = 4;
constexpr std::string_view kReportPrefix = "Tarnweld Error - ";

struct Judgement {
  bool pass = false;
  std::string output;  // the output column
  std::string detail;  // a line under the row
};

Judgement judgeCapped(const Measure& ours, const Measure& theirs, const fs::path& dir,
                      const std::optional<std::string>& expected, double refusalSeconds) {
  Judgement j;
  const fs::path oursOut = dir / "ours.out", oursErr = dir / "ours.err";
  const std::string held = "the run held " + std::to_string(ours.runPeakKiB >> 10) + " MiB at most";
  if (ours.stoppedAtKiB > 0) {
    j.output = "none";
    j.detail = "FAIL: killed at the cap, the run holding " + std::to_string(ours.stoppedAtKiB >> 10) + " MiB";
    return j;
  }
  if (ours.timedOut || (ours.status != 0 && ours.status != kHostReportStatus)) {
    j.output = "none";
    j.detail = "FAIL: " + std::string(ours.timedOut ? "timed out" : "exit " + std::to_string(ours.status)) + ", " +
               held + ": " + lastLine(readFile(oursErr));
    return j;
  }
  const std::string start = readPrefix(oursOut, 1024);
  const bool report = ours.status == kHostReportStatus && start.starts_with(kReportPrefix);
  if (expected) {
    // A large document: the right counts, or a report soon.
    const bool right = ours.status == 0 && fs::file_size(oursOut) == expected->size() && start == *expected;
    j.output = right ? "expected" : report ? "report" : "WRONG";
    // A refusal is the plug-in's: timed from its start, not from the
    // stand-in's reading of the document (the editor holds it already).
    const double refusedIn = pluginSeconds(readFile(oursErr));
    j.pass = right || (report && refusedIn <= refusalSeconds);
    j.detail =
        (j.pass ? "pass: " : "FAIL: ") +
        std::string(right    ? "transformed"
                    : report ? "refused"
                             : "neither") +
        " in " + std::to_string(report ? refusedIn : ours.seconds).substr(0, 5) + " s" +
        (report ? " of the plug-in's time (at most " + std::to_string(static_cast<int>(refusalSeconds)) + ")" : "") +
        ", " + held + ": \"" + firstCharacters(start, 200) + "\"" +
        (right || report ? "" : ", not \"" + *expected + "\"");
    return j;
  }
  // A large result: whole, and the same as xsltproc's.
  if (theirs.status != 0 || theirs.stoppedAtKiB > 0) {
    j.output = report ? "report" : "unchecked";
    j.detail = "FAIL: xsltproc failed (exit " + std::to_string(theirs.status) + "), nothing to compare with; ours: \"" +
               firstCharacters(start, 200) + "\"";
    return j;
  }
  const bool same = !report && sameFiles(oursOut, dir / "theirs.out");
  j.output = report ? "report" : same ? "same" : "DIFFERENT";
  j.pass = same;
  j.detail = (same ? "pass: the whole result, " : "FAIL: ") +
             (report ? "a report: \"" + firstCharacters(start, 200) + "\""
                     : std::to_string(fs::file_size(oursOut) / kMiB) + " MiB" + (same ? "" : " not the same")) +
             "; " + held;
  return j;
}

// A document past the host's limit: the stand-in alone refuses it, with
// exit 2 and the limit as its reason, within `refusalSeconds` of its start,
// the plug-in never started, and nothing printed.
Judgement judgeStandIn(const Measure& ours, const fs::path& dir, double refusalSeconds) {
  Judgement j;
  const std::string err = readFile(dir / "ours.err");
  const std::string held = "the run held " + std::to_string(ours.runPeakKiB >> 10) + " MiB at most";
  if (ours.stoppedAtKiB > 0) {
    j.output = "none";
    j.detail = "FAIL: killed at the cap, the run holding " + std::to_string(ours.stoppedAtKiB >> 10) + " MiB";
    return j;
  }
  const bool started = ours.pluginPeakKiB > 0 || err.find("plug-in wall time") != std::string::npos;
  const bool refused = ours.status == 2 && !ours.timedOut && err.find(kMaxTextUnitsText) != std::string::npos &&
                       fs::file_size(dir / "ours.out") == 0 && !started;
  j.output = refused ? "refused" : "WRONG";
  j.pass = refused && ours.seconds <= refusalSeconds;
  j.detail = (j.pass ? "pass: " : "FAIL: ") + std::string(refused ? "refused" : "not refused as it must be") +
             " by the stand-in in " + std::to_string(ours.seconds).substr(0, 5) + " s (at most " +
             std::to_string(static_cast<int>(refusalSeconds)) + "), exit " + std::to_string(ours.status) +
             (started ? ", the plug-in started" : "") + ", " + held + ": \"" + firstCharacters(lastLine(err), 200) +
             "\"";
  return j;
}

// Removes the benchmark's files however it ends, unless they are to be kept.
struct Workspace {
  fs::path dir;
  bool keep = false;
  ~Workspace() {
    std::error_code ignored;
    if (!keep) fs::remove_all(dir, ignored);
  }
};

}  // namespace

int main(int argc, char** argv) {
  int runsOverride = 0;
  std::string sizesWanted = kDefaultSizes;
  fs::path host = fs::canonical("/proc/self/exe").parent_path() / "tarnweld-host";
  std::optional<fs::path> keep;
  bool withPeers = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runsOverride = std::atoi(argv[++i]);
    } else if (arg == "--sizes" && i + 1 < argc) {
      sizesWanted = argv[++i];
    } else if (arg == "--host" && i + 1 < argc) {
      host = argv[++i];
    } else if (arg == "--keep" && i + 1 < argc) {
      keep = argv[++i];
    } else if (arg == "--no-peers") {
      withPeers = false;
    } else {
      std::fprintf(stderr,
                   "usage: tarnweld-bench [--runs N] [--sizes 1k,1m,65m,300m,300m-result,1200m-result,1g-text,"
                   "1g-elements,2000m-text,3g-text] [--host PATH] [--keep DIR] [--no-peers]\n");
      return 2;
    }
  }
  for (std::string_view rest = sizesWanted; !rest.empty();) {
    const std::string_view name = rest.substr(0, rest.find(','));
    rest.remove_prefix(std::min(rest.size(), name.size() + 1));
    if (std::ranges::none_of(kSizes, [&](const Size& size) { return size.name == name; })) {
      std::fprintf(stderr, "tarnweld-bench: no size \"%.*s\"\n", static_cast<int>(name.size()), name.data());
      return 2;
    }
  }

  char pattern[] = "/tmp/tarnweld-bench-XXXXXX";
  Workspace workspace;
  if (keep) {
    workspace.dir = *keep;
    workspace.keep = true;
  } else if (const char* made = mkdtemp(pattern)) {
    workspace.dir = made;
  } else {
    std::fprintf(stderr, "tarnweld-bench: cannot make a directory in /tmp: %s\n", std::strerror(errno));
    return 1;
  }
  const fs::path& dir = workspace.dir;
  fs::create_directories(dir);

  const auto xsltproc = tarnweld::posix::findOnPath("xsltproc");
  if (!xsltproc) {
    std::fprintf(stderr, "tarnweld-bench: no xsltproc on PATH\n");
    return 1;
  }
  // A session bus for the whole benchmark, so that no run pays for starting one.
  const auto started = tarnweld::posix::PrivateBus::start();
  if (!started) {
    std::fprintf(stderr, "tarnweld-bench: %s\n", started.reason().c_str());
    return 1;
  }
  const auto& bus = *started;
  const std::vector<std::string> environment =
      tarnweld::posix::environmentWith(tarnweld::posix::kBusAddressVariable, bus->address());

  const std::vector<Peer> peers = withPeers ? findPeers() : std::vector<Peer>{};

  bool allMet = true, allSame = true;
  std::printf("%-12s %4s  %10s %10s %7s %7s  %11s %11s %7s %7s  %s\n", "size", "runs", "ours s", "xsltproc s", "ratio",
              "target", "plug-in MiB", "xsltproc MiB", "ratio", "target", "output");
  for (const Size& size : kSizes) {
    if (("," + sizesWanted + ",").find("," + size.name + ",") == std::string::npos) continue;
    // The stylesheet sits beside the document under its base name, where the
    // plug-in looks for it.
    const std::string base = size.workload == Workload::kCatalog ? "catalog-" + size.name : size.name;
    const fs::path document = dir / (base + ".xml");
    const fs::path stylesheet = dir / (base + ".xsl");
    const Written written = writeWorkload(size, document, stylesheet);
    if (!written.ok) {
      std::fprintf(stderr, "tarnweld-bench: cannot write %s\n", document.c_str());
      return 1;
    }
    const int runs = runsOverride > 0 ? runsOverride : size.runs;
    // A large result is made in memory files: the plug-in's peak counts them.
    const bool countMemoryFiles = size.workload == Workload::kLargeResult;
    RunOptions oursOptions, theirOptions;
    if (size.capped()) {
      oursOptions = theirOptions = {static_cast<rlim_t>(size.capGiB * double(1 << 30)), kCappedRunTimeout, true};
    }
    oursOptions.watched = oursOptions.watched || countMemoryFiles;

    // Per run: wall time and peak memory of ours, xsltproc's, then each peer's.
    std::vector<std::vector<double>> times(2 + peers.size()), memory(2 + peers.size());
    bool same = true, failed = false;
    Judgement judgement;
    judgement.pass = true;
    for (int run = 0; run < runs && !failed; ++run) {
      const Measure ours = runCommand({host.string(), "--stats", "run", document.string()}, environment,
                                      dir / "ours.out", dir / "ours.err", oursOptions);
      const Measure theirs = size.standInOnly
                                 ? Measure{}
                                 : runCommand({*xsltproc, "--nonet", stylesheet.string(), document.string()},
                                              environment, dir / "theirs.out", dir / "theirs.err", theirOptions);
      times[0].push_back(ours.seconds);
      times[1].push_back(theirs.seconds);
      memory[0].push_back(static_cast<double>(std::max(pluginPeakKiB(readFile(dir / "ours.err")), ours.pluginPeakKiB)));
      memory[1].push_back(static_cast<double>(theirs.peakKiB));
      if (size.standInOnly) {
        if (Judgement j = judgeStandIn(ours, dir, size.refusalSeconds); judgement.pass) judgement = std::move(j);
      } else if (size.capped()) {
        // Every run must pass; the row shows the first that did not.
        if (Judgement j = judgeCapped(ours, theirs, dir, written.expected, size.refusalSeconds); judgement.pass) {
          judgement = std::move(j);
        }
      } else {
        if (ours.status != 0 || theirs.status != 0) {
          std::fprintf(stderr, "%s: a run failed: ours %d, xsltproc %d\n%s", size.name.c_str(), ours.status,
                       theirs.status, readFile(dir / "ours.err").c_str());
          failed = true;
        }
        if (run == 0 && !failed) same = sameFiles(dir / "ours.out", dir / "theirs.out");
      }
      for (std::size_t p = 0; p < peers.size() && !size.capped(); ++p) {
        const Measure peer = runCommand(peers[p].command(peers[p].program, document.string(), stylesheet.string()),
                                        environment, dir / "peer.out", dir / "peer.err");
        times[2 + p].push_back(peer.status == 0 ? peer.seconds : 0);
        memory[2 + p].push_back(static_cast<double>(peer.peakKiB));
      }
    }
    if (failed) return 1;

    const double timeRatio = medianRatio(times[0], times[1]);
    const double memRatio = medianRatio(memory[0], memory[1]);
    const bool met = (size.timeTarget == 0 || timeRatio <= size.timeTarget) &&
                     (size.memoryTarget == 0 || memRatio <= size.memoryTarget) && judgement.pass;
    allMet = allMet && met;
    allSame = allSame && same;
    char timeTarget[16] = "-", memTarget[16] = "-";
    if (size.timeTarget > 0) std::snprintf(timeTarget, sizeof timeTarget, "%.2f", size.timeTarget);
    if (size.memoryTarget > 0) std::snprintf(memTarget, sizeof memTarget, "%.2f", size.memoryTarget);
    const std::string output = size.capped() ? judgement.output : same ? "same" : "DIFFERENT";
    std::printf("%-12s %4d  %10.3f %10.3f %7.2f %7s  %11.1f %11.1f %7.2f %7s  %s%s\n", size.name.c_str(), runs,
                median(times[0]), median(times[1]), timeRatio, timeTarget, median(memory[0]) / 1024,
                median(memory[1]) / 1024, memRatio, memTarget, output.c_str(),
                met             ? ""
                : size.capped() ? "  (failed)"
                                : "  (target missed)");
    if (countMemoryFiles) std::printf("      plug-in MiB: resident, with the memory files it holds\n");
    if (size.capped()) {
      std::printf("      capped at %.1f GiB; %s\n", size.capGiB, judgement.detail.c_str());
      if (written.expected && !size.standInOnly) {
        std::error_code ignored;
        const bool right = fs::file_size(dir / "theirs.out", ignored) == written.expected->size() &&
                           readPrefix(dir / "theirs.out", written.expected->size()) == *written.expected;
        std::printf("      xsltproc: %s\n", right ? "the right counts" : "no right counts");
      }
      const std::string theirErrors = readPrefix(dir / "theirs.err", 1024);
      if (!theirErrors.empty() && !size.standInOnly) {
        std::printf("      xsltproc said: \"%s\"\n",
                    firstCharacters(theirErrors.substr(0, theirErrors.find('\n')), 200).c_str());
      }
    }
    for (std::size_t p = 0; p < peers.size() && !size.capped(); ++p) {
      if (std::ranges::find(times[2 + p], 0.0) != times[2 + p].end()) {
        std::printf("      vs %s: failed\n", peers[p].name.c_str());
        continue;
      }
      std::printf("      vs %-9s %10.3f s, ours/it %.2f; %.1f MiB, ours/it %.2f\n", (peers[p].name + ":").c_str(),
                  median(times[2 + p]), medianRatio(times[0], times[2 + p]), median(memory[2 + p]) / 1024,
                  medianRatio(memory[0], memory[2 + p]));
    }
    std::fflush(stdout);
    // The large rows' files run to gigabytes: gone once the row is done,
    // unless they are kept.
    if (size.capped() && !keep) {
      std::error_code ignored;
      for (const char* name : {"ours.out", "theirs.out"}) fs::remove(dir / name, ignored);
      fs::remove(document, ignored);
    }
  }
  std::printf("%s\n", allSame ? (allMet ? "all targets met" : "some targets missed") : "outputs differ");
  return allSame ? 0 : 1;
}
