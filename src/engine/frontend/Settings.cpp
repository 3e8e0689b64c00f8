#include "engine/frontend/Settings.h"

void SetThreadLimit(TState* S, int32_t Wanted) {
  S->MaxThreadCount = Wanted < S->ThreadCount ? Wanted : S->ThreadCount;
  S->UsedThreadCount = S->MaxThreadCount < 1 ? 1 : S->MaxThreadCount;
}
