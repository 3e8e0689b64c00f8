// The search's calls of the dialogue's hooks (core/SearchHooks.h), each skipped when it is not installed.
#pragma once

#include "engine/core/State.h"

inline const TSearchHooks* HooksOf(const TState* S) {
  static constexpr TSearchHooks None{};
  return S->Hooks ? S->Hooks : &None;
}

inline void HookInSearchInput(TState* S) {
  if (auto* F = HooksOf(S)->InSearchInput) F(S);
}
inline void HookIterationStarted(TState* S, int32_t Iteration) {
  if (auto* F = HooksOf(S)->IterationStarted) F(S, Iteration);
}
inline void HookIterationDone(TState* S, int32_t Iteration, const TSearchLine* Lines, int32_t Count) {
  if (auto* F = HooksOf(S)->IterationDone) F(S, Iteration, Lines, Count);
}
inline void HookIterationStopped(TState* S, int32_t Iteration) {
  if (auto* F = HooksOf(S)->IterationStopped) F(S, Iteration);
}
inline void HookAnswer(TState* S, TMove Move) {
  if (auto* F = HooksOf(S)->Answer) F(S, Move);
}
