#include "support/Referee.h"

#include "engine/Engine.h"
#include "engine/board/Position.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/Notation.h"
#include "support/Replay.h"

const char* EndingName(TEnding Ending) {
  switch (Ending) {
    case TEnding::None: return "none";
    case TEnding::Checkmate: return "checkmate";
    case TEnding::Stalemate: return "stalemate";
    case TEnding::FiftyMoves: return "fifty-move rule";
    case TEnding::Repetition: return "threefold repetition";
    case TEnding::Adjudicated: return "adjudicated";
  }
  return "?";
}

TReferee::TReferee(int MaxPlies) : S(std::make_unique<TState>()), MaxPlies(MaxPlies) {
  EngineStartup();
  S->Position.State = S.get();
  NewGame();
}

TReferee::~TReferee() = default;

void TReferee::NewGame(std::string_view Fen) {
  InitBoard(S.get());
  SetPosition(&S->Position, Fen);
  S->HistoryPly = 0;
  Keys.assign(1, S->Position.Hash);
  Played.clear();
}

bool TReferee::Play(std::string_view Move) {
  const TMove Word = ParseMove(S.get(), Move);
  if (Word == 0 || MoveToString(Word) != Move || !MakeMove(&S->Position, Word)) return false;
  Keys.push_back(S->Position.Hash);
  Played.emplace_back(Move);
  return true;
}

TEnding TReferee::Ending() {
  TPosition* P = &S->Position;
  if (IsCheckmate(P)) return TEnding::Checkmate;
  if (IsStalemate(P)) return TEnding::Stalemate;
  if (P->ReversibleMoves >= 100) return TEnding::FiftyMoves;
  // The key holds the side to move, castling rights and en-passant square besides the pieces; only the
  // positions since the last capture or pawn move can repeat.
  int Seen = 0;
  const size_t Now = Keys.size() - 1;
  for (size_t Back = 0; Back <= size_t(P->ReversibleMoves) && Back <= Now; Back += 2)
    Seen += Keys[Now - Back] == P->Hash;
  if (Seen >= 3) return TEnding::Repetition;
  if (int(Played.size()) >= MaxPlies) return TEnding::Adjudicated;
  return TEnding::None;
}

int TReferee::SideToMove() const { return S->Position.Side >> 3; }

std::vector<std::string> TReferee::LegalMoves() { return ::LegalMoves(S.get()); }
