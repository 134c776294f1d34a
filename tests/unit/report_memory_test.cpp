// Memory running out during a run: while a report is composed, the piece
// being added is lost and the others stand; at any allocation of a run, the
// run still hands OUTPUT and MODE_OUTPUT back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "fakes/fake_host.h"
#include "fakes/fake_parser.h"
#include "main/mod_main.h"
#include "text/utf.h"

namespace {
// While non-zero, every allocation of at least this many bytes fails.
std::size_t gFailingFrom = 0;
// While non-zero, the program's allocations are counted down and the one that
// brings the count to zero fails; the fakes' own bookkeeping is not counted.
std::size_t gFailingAt = 0;
bool gFailed = false;
}  // namespace

void* operator new(std::size_t size) {
  if (gFailingFrom != 0 && size >= gFailingFrom) throw std::bad_alloc();
  if (gFailingAt != 0 && tarnweld::fakes::tFakeAtWork == 0 && --gFailingAt == 0) {
    gFailed = true;
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
// This pair is the replacement of the global allocation functions: its
// blocks come from malloc, so free is the matching release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
#pragma GCC diagnostic pop

namespace tarnweld {
namespace {

TEST(ReportMemoryTest, APieceThatCannotBeAddedIsLeftOutAndTheOutputStillGoesBack) {
  fakes::CallLog log;
  fakes::FakeHost host(log);
  fakes::FakeParser parser(log);
  host.records = {{TXT("INPUT"), TXT("<doc/>")}};
  const std::size_t reasonLength = 100'000;
  parser.xml = {false, Text(reasonLength, TXT('r')), TXT("src"), 2, 3, std::nullopt};

  // The reason and its line fit, but not the report once the reason line is
  // added to it.
  gFailingFrom = (reasonLength + 32) * sizeof(TextUnit);
  modMain::entry(TXT("/hkprun"), {host, parser});
  gFailingFrom = 0;

  ASSERT_GE(host.calls.size(), 2u);
  const auto& output = host.calls[host.calls.size() - 2];
  ASSERT_EQ(output.name, "hkp_DataAdd");
  EXPECT_EQ(textToUtf8(output.args.at(1).text),
            "Tarnweld Error - The XML Source Did Not Validate!\r\n\r\nLine: 2 Column: 3\r\n\r\nText: src");
  EXPECT_EQ(host.calls.back().args, (std::vector{fakes::stringArg(TXT("MODE_OUTPUT")), fakes::intArg(7)}));
}

TEST(ReportMemoryTest, EveryAllocationOfARunMayFailAndOutputAndModeStillGoBack) {
  struct Row {
    const char* what;
    Text input;
    fakes::FakeDocumentScript xml;
  };
  const Row rows[] = {
      {"a transformation", TXT("<?xml-stylesheet href='s.xsl'?><doc/>"), {}},
      {"an XML report", TXT("<doc"), {false, TXT("unclosed"), TXT("<doc"), 1, 5, std::nullopt}},
      {"the empty-input message", TXT(""), {}},
  };
  for (const Row& row : rows) {
    std::size_t failedAt = 1;
    for (;; ++failedAt) {
      fakes::CallLog log;
      fakes::FakeHost host(log);
      fakes::FakeParser parser(log);
      // A name too long to be held inside its string: locating the
      // stylesheet allocates too.
      host.records = {{TXT("INPUT"), row.input}, {TXT("FILE_NAME"), TXT("C:\\documents\\of the year\\doc.xml")}};
      parser.xml = row.xml;
      gFailed = false;
      gFailingAt = failedAt;
      modMain::entry(TXT("/hkprun"), {host, parser});
      gFailingAt = 0;
      if (!gFailed) break;  // the run made fewer allocations: every one has failed once

      bool outputBack = false, modeBack = false;
      for (const auto& call : host.calls) {
        outputBack |= call.succeeded && call.name == "hkp_DataAdd" && call.args.at(0).text == TXT("OUTPUT");
        modeBack |= call.succeeded && call.name == "hkp_DataAddInt" && call.args.at(1).number == 7;
      }
      EXPECT_TRUE(outputBack && modeBack) << row.what << ": allocation " << failedAt << " failed";
    }
    EXPECT_GT(failedAt, 1u) << row.what;
  }
}

}  // namespace
}  // namespace tarnweld
