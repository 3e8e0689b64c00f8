#include "engine/moves/Notation.h"

#include "engine/board/Position.h"
#include "engine/core/State.h"
#include "engine/moves/MoveGen.h"

int MoveToChars(TMove Move, char* Buffer) {
  const int From = MoveFrom(Move), To = MoveTo(Move);
  int N = 0;
  Buffer[N++] = char('a' + (From & 7));
  Buffer[N++] = char('1' + (From >> 3));
  Buffer[N++] = char('a' + (To & 7));
  Buffer[N++] = char('1' + (To >> 3));
  switch (MoveType(Move)) {
    case MTPromoteKnight: Buffer[N++] = 'n'; break;
    case MTPromoteBishop: Buffer[N++] = 'b'; break;
    case MTPromoteRook: Buffer[N++] = 'r'; break;
    case MTPromoteQueen: Buffer[N++] = 'q'; break;
    default: break;
  }
  Buffer[N] = 0;
  return N;
}

std::string MoveToString(TMove Move) {
  char Buffer[8];
  return std::string(Buffer, size_t(MoveToChars(Move, Buffer)));
}

TMove ParseMove(TState* S, std::string_view Text) {
  if (Text.size() != 4 && Text.size() != 5) return 0;
  char T[5] = {};
  for (size_t I = 0; I < Text.size(); I++) {
    const char C = Text[I];
    T[I] = C >= 'a' && C <= 'z' ? char(C - 32) : C;
  }
  if (T[0] < 'A' || T[0] > 'H' || T[2] < 'A' || T[2] > 'H') return 0;
  if (T[1] < '1' || T[1] > '8' || T[3] < '1' || T[3] > '8') return 0;
  int Promotion = 0;
  if (Text.size() == 5) {
    switch (T[4]) {
      case 'N': Promotion = MTPromoteKnight; break;
      case 'B': Promotion = MTPromoteBishop; break;
      case 'R': Promotion = MTPromoteRook; break;
      case 'Q': Promotion = MTPromoteQueen; break;
      case 'K':
      case 'P': break;
      default: return 0;
    }
  }
  const int From = (T[1] - '1') * 8 + (T[0] - 'A');
  const int To = (T[3] - '1') * 8 + (T[2] - 'A');
  const TMove Wanted = TMove(From) | (TMove(To) << 6) | (TMove(Promotion) << 12);

  TMoveBuffer Moves;
  const int Count = GenerateLegalMoves(&S->Position, Moves);
  for (int I = 0; I < Count; I++) {
    const TMove M = Moves[I];
    const bool Matches = Promotion && MoveIsPromotion(M) ? (M & 0xFFFF) == Wanted : (M & 0xFFF) == (Wanted & 0xFFF);
    if (Matches) return M;
  }
  return 0;
}
