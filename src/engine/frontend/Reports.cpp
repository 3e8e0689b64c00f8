#include "engine/frontend/Reports.h"

#include <cstdio>

#include "engine/moves/Notation.h"
#include "engine/platform/Output.h"
#include "engine/platform/Timer.h"

namespace {

// Appends " move" for each move of the principal variation, up to its first 0 word.
void WritePV(const TMove* PV) {
  char Move[8];
  for (int I = 0; I < 256 && PV[I]; I++) {
    MoveToChars(PV[I], Move);
    OutputChar(' ');
    OutputWrite(Move);
  }
}

}  // namespace

int32_t MateInMoves(int32_t Score) {
  if (Score >= MateMinScore && Score <= MateScore) return (MateScore - Score + 1) / 2;
  if (Score <= -MateMinScore && Score >= -MateScore) return -((MateScore + Score + 1) / 2);
  return NoMate;
}

void DumpState(TState* S, int32_t Score) {
  if (S->PostThinking && S->Mode == MXBoard) {
    const int64_t Centiseconds = (GetMilliseconds() - S->StartTime) / 10;
    // Mates as xboard shows them: 100000 + N for mate in N moves, -100000 - N for mated in N.
    const int32_t Mate = MateInMoves(Score);
    if (Mate != NoMate) Score = Mate > 0 ? 100000 + Mate : -100000 + Mate;
    OutputPrint("%3d %8d %8lld %12lld", S->IterativeDepth.load(), Score, (long long)Centiseconds, (long long)S->Nodes);
    WritePV(S->PV);
    OutputChar('\n');
  }
  OutputFlush();
  S->Dumped = true;
}

void DumpUCIState(TState* S, int32_t Score, const TMove* PV) {
  const int64_t Time = GetMilliseconds() - S->StartTime;
  const int64_t Nps = Time ? S->Nodes * 1000 / Time : 0;
  const int32_t Mate = MateInMoves(Score);
  OutputPrint(Mate != NoMate ? "score mate %d" : "score cp %d", Mate != NoMate ? Mate : Score);
  OutputPrint(" time %lld nodes %lld nps %lld pv", (long long)Time, (long long)S->Nodes, (long long)Nps);
  WritePV(PV ? PV : S->PV);
  OutputChar('\n');
  OutputFlush();
}
