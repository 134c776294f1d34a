// tarnweld-bench: times `tarnweld-host run` against xsltproc on the same
// generated catalogs with the same stylesheet, alternating the two, and
// prints medians and the medians of the per-run ratios ours/xsltproc for wall
// time and peak memory (the plug-in's peak, as tarnweld-host reports it,
// against xsltproc's). It also checks that both produce the same text. The
// other XSLT processors found installed (Saxon-HE, Xalan-C) run in the same
// rotation and get a row each, ours against them.
//
//   tarnweld-bench [--runs N] [--sizes 1k,1m,65m] [--host PATH] [--keep DIR] [--no-peers]
//
// The size 300m (not run unless asked for) shows that a document larger than
// any one bus message transforms, with the same output as xsltproc.
#include <fcntl.h>

#include <algorithm>
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
#include <vector>

#include "platform/posix/child_process.h"
#include "platform/posix/fd.h"
#include "private_bus/private_bus.h"

namespace fs = std::filesystem;

namespace {

struct Size {
  std::string name;
  std::size_t records;
  int runs;
  double timeTarget;    // ours / xsltproc wall time, at most; 0: none
  double memoryTarget;  // ours / xsltproc peak memory, at most; 0: none
};

const std::vector<Size> kSizes = {
    {"1k", 8, 21, 2.0, 0},
    {"1m", 9'000, 11, 1.10, 0},
    {"65m", 500'000, 5, 0.85, 0.95},
    {"300m", 1'700'000, 1, 0, 0},
};
constexpr const char* kDefaultSizes = "1k,1m,65m";

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

constexpr const char* kStylesheet = R"(<?xml version="1.0" encoding="UTF-8"?>
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

// A catalog of `records` records, with non-ASCII text in every one.
void writeCatalog(const fs::path& path, std::size_t records) {
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
  std::ofstream(path, std::ios::binary) << text;
  text.clear();
}

struct Measure {
  double seconds = 0;
  long peakKiB = 0;  // the child's own peak, or what it reported for its plug-in
  int status = 0;    // the exit status; 128 + the signal when killed; 127 when not started
};

// Runs `argv` (argv[0] a path) in `environment` with stdout and stderr sent
// to files; measures wall time and the child's peak resident set.
Measure runCommand(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                   const fs::path& out, const fs::path& err) {
  const tarnweld::posix::Fd outFd(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  const tarnweld::posix::Fd errFd(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  tarnweld::posix::SpawnRequest request;
  request.program = argv.at(0);
  request.arguments = argv;
  request.environment = environment;
  request.standardOutput = outFd.get();
  request.standardError = errFd.get();
  tarnweld::Result<tarnweld::posix::ChildProcess> spawned = tarnweld::posix::spawnChild(request);
  Measure m;
  if (!outFd || !errFd || !spawned) {
    m.status = 127;
    return m;
  }
  const tarnweld::posix::ChildOutcome outcome = spawned->wait();
  m.seconds = std::chrono::duration<double>(outcome.wallTime).count();
  m.peakKiB = outcome.peakRssKiB;
  m.status = outcome.end == tarnweld::posix::ChildOutcome::End::Exited ? outcome.code : 128 + outcome.code;
  return m;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
      std::fprintf(
          stderr,
          "usage: tarnweld-bench [--runs N] [--sizes 1k,1m,65m,300m] [--host PATH] [--keep DIR] [--no-peers]\n");
      return 2;
    }
  }

  char pattern[] = "/tmp/tarnweld-bench-XXXXXX";
  const fs::path dir = keep ? *keep : fs::path(mkdtemp(pattern));
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
  std::printf("%-5s %4s  %10s %10s %7s %7s  %11s %11s %7s %7s  %s\n", "size", "runs", "ours s", "xsltproc s", "ratio",
              "target", "plug-in MiB", "xsltproc MiB", "ratio", "target", "output");
  for (const Size& size : kSizes) {
    if (("," + sizesWanted + ",").find("," + size.name + ",") == std::string::npos) continue;
    const fs::path document = dir / ("catalog-" + size.name + ".xml");
    if (!fs::exists(document)) writeCatalog(document, size.records);
    // Beside the document under its base name, where the plug-in looks for it.
    const fs::path stylesheet = dir / ("catalog-" + size.name + ".xsl");
    std::ofstream(stylesheet) << kStylesheet;
    const int runs = runsOverride > 0 ? runsOverride : size.runs;

    // Per run: wall time and peak memory of ours, xsltproc's, then each peer's.
    std::vector<std::vector<double>> times(2 + peers.size()), memory(2 + peers.size());
    bool same = true, failed = false;
    for (int run = 0; run < runs && !failed; ++run) {
      const Measure ours = runCommand({host.string(), "--stats", "run", document.string()}, environment,
                                      dir / "ours.out", dir / "ours.err");
      const Measure theirs = runCommand({*xsltproc, "--nonet", stylesheet.string(), document.string()}, environment,
                                        dir / "theirs.out", dir / "theirs.err");
      if (ours.status != 0 || theirs.status != 0) {
        std::fprintf(stderr, "%s: a run failed: ours %d, xsltproc %d\n%s", size.name.c_str(), ours.status,
                     theirs.status, readFile(dir / "ours.err").c_str());
        failed = true;
      }
      times[0].push_back(ours.seconds);
      times[1].push_back(theirs.seconds);
      memory[0].push_back(static_cast<double>(pluginPeakKiB(readFile(dir / "ours.err"))));
      memory[1].push_back(static_cast<double>(theirs.peakKiB));
      if (run == 0) same = readFile(dir / "ours.out") == readFile(dir / "theirs.out");
      for (std::size_t p = 0; p < peers.size(); ++p) {
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
                     (size.memoryTarget == 0 || memRatio <= size.memoryTarget);
    allMet = allMet && met;
    allSame = allSame && same;
    char timeTarget[16] = "-", memTarget[16] = "-";
    if (size.timeTarget > 0) std::snprintf(timeTarget, sizeof timeTarget, "%.2f", size.timeTarget);
    if (size.memoryTarget > 0) std::snprintf(memTarget, sizeof memTarget, "%.2f", size.memoryTarget);
    std::printf("%-5s %4d  %10.3f %10.3f %7.2f %7s  %11.1f %11.1f %7.2f %7s  %s%s\n", size.name.c_str(), runs,
                median(times[0]), median(times[1]), timeRatio, timeTarget, median(memory[0]) / 1024,
                median(memory[1]) / 1024, memRatio, memTarget, same ? "same" : "DIFFERENT",
                met ? "" : "  (target missed)");
    for (std::size_t p = 0; p < peers.size(); ++p) {
      if (std::ranges::find(times[2 + p], 0.0) != times[2 + p].end()) {
        std::printf("      vs %s: failed\n", peers[p].name.c_str());
        continue;
      }
      std::printf("      vs %-9s %10.3f s, ours/it %.2f; %.1f MiB, ours/it %.2f\n", (peers[p].name + ":").c_str(),
                  median(times[2 + p]), medianRatio(times[0], times[2 + p]), median(memory[2 + p]) / 1024,
                  medianRatio(memory[0], memory[2 + p]));
    }
    std::fflush(stdout);
  }
  if (!keep) fs::remove_all(dir);
  std::printf("%s\n", allSame ? (allMet ? "all targets met" : "some targets missed") : "outputs differ");
  return allSame ? 0 : 1;
}
