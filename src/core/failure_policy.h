// The program's one failure policy: every step runs under "resume with the
// next step". A step either yields its result or fails; a step that fails
// stores nothing, so whatever it would have written keeps its earlier value,
// and the program goes on with the step after it. Nothing is logged, no error
// state is kept, and no later step asks whether an earlier one failed: the
// only account of a failure is what the run hands back as its output text.
//
// Steps report failure by their result (false, an empty optional, a null
// pointer). A step that throws instead (memory ran out, a library threw) has
// failed like any other: no exception crosses a step.
#pragma once

#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace tarnweld {

// Runs a step that stores nothing of its own, such as a host call that hands
// a record over. Its outcome is dropped on purpose: the next step runs either way.
template <typename Step>
void runStep(Step&& step) noexcept {
  try {
    static_cast<void>(std::forward<Step>(step)());
  } catch (...) {
  }
}

// Runs a step that yields a value (an optional or an owning pointer) and
// stores the value in `target` only when the step succeeded.
template <typename T, typename Step>
void runStep(T& target, Step&& step) noexcept {
  try {
    auto result = std::forward<Step>(step)();
    if (!result) return;
    if constexpr (std::is_convertible_v<decltype(result), T>) {
      target = std::move(result);
    } else {
      target = std::move(*result);
    }
  } catch (...) {
  }
}

}  // namespace tarnweld
