#include "xml_test_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

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

std::string utf8(std::u16string_view text) { return toUtf8(text); }

}  // namespace tarnweld::xml::testing
