#include "engine/frontend/Reports.h"

#include <cstdio>

#include "engine/moves/Notation.h"
#include "engine/platform/Output.h"
#include "engine/platform/Timer.h"

namespace {

// Appends " move" for each move of the principal variation, up to its first 0 word.
void WritePV(const TState* S) {
  char Move[8];
  for (int I = 0; I < 256 && S->PV[I]; I++) {
    MoveToChars(S->PV[I], Move);
    OutputChar(' ');
    OutputWrite(Move);
  }
}

}  // namespace

void DumpState(TState* S, int32_t Score) {
  if (S->DumpState && S->Mode == MXBoard) {
    const int64_t Centiseconds = (GetMilliseconds() - S->StartTime) / 10;
    OutputPrint("%3d %8d %8lld %12lld", S->IterativeDepth.load(), Score, (long long)Centiseconds, (long long)S->Nodes);
    WritePV(S);
    OutputChar('\n');
  }
  OutputFlush();
  S->Dumped = true;
}

void DumpUCIState(TState* S, int32_t Score) {
  const int64_t Time = GetMilliseconds() - S->StartTime;
  const int64_t Nps = Time ? S->Nodes * 1000 / Time : 0;
  OutputPrint("score cp %d time %lld nodes %lld nps %lld pv", Score, (long long)Time, (long long)S->Nodes,
              (long long)Nps);
  WritePV(S);
  OutputChar('\n');
  OutputFlush();
}
