// One ordered log of every call the fakes receive, shared by the fake host and
// the fake parser so that tests see the order across both; and the labels of
// the calls that are to fail.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace tarnweld::fakes {

// Non-zero while the fakes do their own bookkeeping (recording a call), so
// that a test that fails the program's allocations leaves the fakes' alone.
inline thread_local int tFakeAtWork = 0;
struct FakeAtWork {
  FakeAtWork() { ++tFakeAtWork; }
  ~FakeAtWork() { --tFakeAtWork; }
  FakeAtWork(const FakeAtWork&) = delete;
  FakeAtWork& operator=(const FakeAtWork&) = delete;
};

struct CallLog {
  std::vector<std::string> entries;
  std::set<std::string> failing;

  // Records the call `label`; returns true when it is to succeed.
  bool record(const std::string& label) {
    const FakeAtWork atWork;
    entries.push_back(label);
    return failing.count(label) == 0;
  }
};

}  // namespace tarnweld::fakes
