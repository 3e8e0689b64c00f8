#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "engine/Engine.h"
#include "engine/board/Position.h"
#include "engine/board/PositionCheck.h"
#include "engine/frontend/Input.h"
#include "engine/frontend/Settings.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/MoveGen.h"
#include "engine/moves/Notation.h"
#include "engine/platform/Output.h"
#include "engine/search/Think.h"

namespace fuzz {

namespace {

// A pipe's default capacity: the whole input is written before the dialogue starts reading.
constexpr size_t MaxInput = 60000;

}  // namespace

void ParkInput() {
  static const int Parked = [] {
    int Fds[2];
    if (pipe(Fds) != 0) return -1;
    close(Fds[1]);
    return Fds[0];
  }();
  InputAttach(Parked);
}

std::vector<std::string> InputLines(std::string_view Data) {
  std::vector<std::string> Lines;
  std::string Line;
  for (const char C : Data) {
    if (C == '\r' || C == '\n') {
      Lines.push_back(std::move(Line));
      Line.clear();
    } else {
      Line += C;
    }
  }
  if (!Line.empty()) Lines.push_back(std::move(Line));
  return Lines;
}

void ResetState(TState* S) {
  // As the program starts.
  SetStateDefaults(S);
  S->MaxDepth = DefaultShellDepth;
  S->TranspositionTableDirty = false;
  InitBoard(S);
  ClearSearchTables(S);
}

void RunOnInput(std::string_view Input, const std::function<void()>& Dialogue) {
  int Fds[2];
  if (pipe(Fds) != 0) return;
  Input = Input.substr(0, MaxInput);
  while (!Input.empty()) {
    const ssize_t Count = write(Fds[1], Input.data(), Input.size());
    if (Count <= 0) break;
    Input.remove_prefix(size_t(Count));
  }
  close(Fds[1]);
  InputAttach(Fds[0]);

  // What the dialogue answers is of no interest here, only what it does.
  SetOutputSink([](std::string_view, void*) {}, nullptr);
  Dialogue();
  SetOutputSink(nullptr, nullptr);

  ParkInput();
  close(Fds[0]);
}

void Note(TFindings& F, std::string_view Where, const std::string& Faults) {
  if (Faults.empty()) return;
  if (!F.empty()) F += "; ";
  F += Where;
  F += ": ";
  F += Faults;
}

void CheckPosition(TFindings& F, const TState* S, std::string_view Where) {
  Note(F, Where, PositionFaults(&S->Position));
}

void CheckMovesFrom(TFindings& F, TPosition* P, int Depth, int& Budget) {
  TMoveBuffer Moves;
  GenerateQuietMoves(P, GenerateCaptureMoves(P, Moves));
  const TPosition Before = *P;
  for (int I = 0; Moves[I] && Budget > 0 && F.empty(); I++, Budget--) {
    TUndoMove Undo;
    DoMakeMove(P, Moves[I], &Undo);
    const std::string Move = MoveToString(Moves[I]);
    Note(F, "after " + Move, PositionFaults(P));
    if (F.empty() && Depth > 1 && !IsIllegal(P)) CheckMovesFrom(F, P, Depth - 1, Budget);
    DoUndoMove(P, &Undo);
    Note(F, "taking back " + Move, PositionDifference(*P, Before));
  }
}

std::string PositionDifference(const TPosition& A, const TPosition& B) {
  std::string Fields;
  const auto Differs = [&Fields](bool Different, const char* Name) {
    if (!Different) return;
    if (!Fields.empty()) Fields += ' ';
    Fields += Name;
  };
  Differs(std::memcmp(A.Board, B.Board, sizeof A.Board) != 0, "Board");
  Differs(std::memcmp(A.Bitboards, B.Bitboards, sizeof A.Bitboards) != 0, "Bitboards");
  Differs(std::memcmp(A.KingPosition, B.KingPosition, sizeof A.KingPosition) != 0, "KingPosition");
  Differs(std::memcmp(A.MaterialScores, B.MaterialScores, sizeof A.MaterialScores) != 0, "MaterialScores");
  Differs(std::memcmp(A.PositionScores, B.PositionScores, sizeof A.PositionScores) != 0, "PositionScores");
  Differs(A.Side != B.Side, "Side");
  Differs(A.CastleFlags != B.CastleFlags, "CastleFlags");
  Differs(A.EnPassant != B.EnPassant, "EnPassant");
  Differs(A.StartPly != B.StartPly, "StartPly");
  Differs(A.ReversibleMoves != B.ReversibleMoves, "ReversibleMoves");
  Differs(A.Phase != B.Phase, "Phase");
  Differs(A.Hash != B.Hash, "Hash");
  Differs(A.PawnHash != B.PawnHash, "PawnHash");
  return Fields;
}

}  // namespace fuzz
