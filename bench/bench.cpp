// tarnweld-bench: times `tarnweld-host run` against xsltproc on the same
// generated catalogs with the same stylesheet, alternating the two, and
// prints medians and the ratios ours/xsltproc for wall time and peak memory
// (the plug-in's peak, as tarnweld-host reports it, against xsltproc's).
// It also checks that both produce the same text.
//
//   tarnweld-bench [--runs N] [--sizes 1k,1m,50m] [--host PATH] [--keep DIR]
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

#include "posix/child_process.h"
#include "posix/fd.h"
#include "posix/private_bus.h"

namespace fs = std::filesystem;

namespace {

struct Size {
  std::string name;
  std::size_t bytes;
  int runs;
  double timeTarget;    // ours / xsltproc wall time, at most
  double memoryTarget;  // ours / xsltproc peak memory, at most; 0: none
};

const std::vector<Size> kSizes = {
    {"1k", 1'000, 9, 3.0, 0},
    {"1m", 1'000'000, 7, 1.3, 0},
    {"50m", 50'000'000, 3, 1.15, 1.3},
};

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

// A catalog of about `bytes` bytes, with non-ASCII text in every record.
void writeCatalog(const fs::path& path, std::size_t bytes) {
  static const char* const kTitles[] = {"Lanterns Over Tarn Water", "Café Nocturne",   "Weld &amp; Ember",
                                        "Глубокое озеро",           "Þórsmörk Echoes", "静かな湖"};
  static const char* const kArtists[] = {"The Fell Quartet", "Åsa Lindqvist Trio", "Ironwork Choir",
                                         "Mira Sokolova",    "Ólafur Grímsson",    "Naoko Sato"};
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<catalog title=\"Bench Shelf – Ünïcode\">\n";
  for (std::size_t i = 0; text.size() < bytes; ++i) {
    char record[512];
    std::snprintf(record, sizeof record,
                  "  <record id=\"r%zu\">\n    <title>%s %zu</title>\n    <artist>%s</artist>\n"
                  "    <year>%zu</year>\n    <price currency=\"EUR\">%zu.%02zu</price>\n  </record>\n",
                  i, kTitles[i % 6], i, kArtists[(i / 6) % 6], 1950 + i % 75, 5 + i % 20, i % 100);
    text += record;
  }
  text += "</catalog>\n";
  std::ofstream(path, std::ios::binary) << text;
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
  tarnweld::posix::SpawnResult spawned = tarnweld::posix::spawnChild(request);
  Measure m;
  if (!outFd || !errFd || !spawned.child) {
    m.status = 127;
    return m;
  }
  const tarnweld::posix::ChildOutcome outcome = spawned.child.wait();
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

}  // namespace

int main(int argc, char** argv) {
  int runsOverride = 0;
  std::string sizesWanted = "1k,1m,50m";
  fs::path host = fs::canonical("/proc/self/exe").parent_path() / "tarnweld-host";
  std::optional<fs::path> keep;
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
    } else {
      std::fprintf(stderr, "usage: tarnweld-bench [--runs N] [--sizes 1k,1m,50m] [--host PATH] [--keep DIR]\n");
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
  std::string error;
  const auto bus = tarnweld::posix::PrivateBus::start(error);
  if (!bus) {
    std::fprintf(stderr, "tarnweld-bench: %s\n", error.c_str());
    return 1;
  }
  const std::vector<std::string> environment =
      tarnweld::posix::environmentWith(tarnweld::posix::kBusAddressVariable, bus->address());

  bool allMet = true, allSame = true;
  std::printf("%-5s %4s  %10s %10s %7s %7s  %11s %11s %7s %7s  %s\n", "size", "runs", "ours s", "xsltproc s", "ratio",
              "target", "plug-in MiB", "xsltproc MiB", "ratio", "target", "output");
  for (const Size& size : kSizes) {
    if (("," + sizesWanted + ",").find("," + size.name + ",") == std::string::npos) continue;
    const fs::path document = dir / ("catalog-" + size.name + ".xml");
    if (!fs::exists(document)) writeCatalog(document, size.bytes);
    // Beside the document under its base name, where the plug-in looks for it.
    const fs::path stylesheet = dir / ("catalog-" + size.name + ".xsl");
    std::ofstream(stylesheet) << kStylesheet;
    const int runs = runsOverride > 0 ? runsOverride : size.runs;

    std::vector<double> oursTime, theirTime, oursMem, theirMem;
    bool same = true, failed = false;
    for (int run = 0; run < runs; ++run) {
      const Measure ours = runCommand({host.string(), "--stats", "run", document.string()}, environment,
                                      dir / "ours.out", dir / "ours.err");
      const Measure theirs = runCommand({*xsltproc, "--nonet", stylesheet.string(), document.string()}, environment,
                                        dir / "theirs.out", dir / "theirs.err");
      if (ours.status != 0 || theirs.status != 0) {
        std::fprintf(stderr, "%s: a run failed: ours %d, xsltproc %d\n%s", size.name.c_str(), ours.status,
                     theirs.status, readFile(dir / "ours.err").c_str());
        failed = true;
        break;
      }
      oursTime.push_back(ours.seconds);
      theirTime.push_back(theirs.seconds);
      oursMem.push_back(static_cast<double>(pluginPeakKiB(readFile(dir / "ours.err"))));
      theirMem.push_back(static_cast<double>(theirs.peakKiB));
      if (run == 0) same = readFile(dir / "ours.out") == readFile(dir / "theirs.out");
    }
    if (failed) return 1;

    const double timeRatio = median(oursTime) / median(theirTime);
    const double memRatio = median(oursMem) / median(theirMem);
    const bool met = timeRatio <= size.timeTarget && (size.memoryTarget == 0 || memRatio <= size.memoryTarget);
    allMet = allMet && met;
    allSame = allSame && same;
    char memTarget[16] = "-";
    if (size.memoryTarget > 0) std::snprintf(memTarget, sizeof memTarget, "%.2f", size.memoryTarget);
    std::printf("%-5s %4d  %10.3f %10.3f %7.2f %7.2f  %11.1f %11.1f %7.2f %7s  %s%s\n", size.name.c_str(), runs,
                median(oursTime), median(theirTime), timeRatio, size.timeTarget, median(oursMem) / 1024,
                median(theirMem) / 1024, memRatio, memTarget, same ? "same" : "DIFFERENT",
                met ? "" : "  (target missed)");
    std::fflush(stdout);
  }
  if (!keep) fs::remove_all(dir);
  std::printf("%s\n", allSame ? (allMet ? "all targets met" : "some targets missed") : "outputs differ");
  return allSame ? 0 : 1;
}
