#include "engine/board/PositionCheck.h"

#include <cstdio>
#include <cstdlib>

#include "engine/board/Hash.h"
#include "engine/board/PieceSquare.h"
#include "engine/board/Position.h"

namespace {

inline bool IsPieceCode(int Code) { return Code != 0 && (Code & 7) >= PPawn && (Code & 7) <= PKing; }

std::string SquareText(int Square) { return {char('a' + (Square & 7)), char('1' + (Square >> 3))}; }

void Note(std::string& Faults, const std::string& What) {
  if (!Faults.empty()) Faults += ", ";
  Faults += What;
}

}  // namespace

uint64_t PieceKey(const TPosition* P) {
  uint64_t Key = 0;
  for (int Square = 0; Square < 64; Square++)
    if (IsPieceCode(P->Board[Square])) Key ^= HashPieces[P->Board[Square]][Square];
  return Key;
}

std::string PositionFaults(const TPosition* P, bool WithHash) {
  std::string Faults;
  const TBitboard* B = P->Bitboards;
  int32_t Phase = 0, Material[2] = {0, 0}, Scores[2][2] = {{0, 0}, {0, 0}};
  uint64_t PawnKey = 0;
  for (int Square = 0; Square < 64; Square++) {
    const int Code = P->Board[Square];
    const TBitboard Bit = TBitboard(1) << Square;
    if (Code != 0 && !IsPieceCode(Code)) {
      Note(Faults, "Board[" + SquareText(Square) + "] holds code " + std::to_string(Code));
      continue;
    }
    const bool White = Code && !(Code & 8), Black = Code && (Code & 8);
    bool Agrees = ((B[BBPWhite] & Bit) != 0) == White && ((B[BBPBlack] & Bit) != 0) == Black &&
                  ((B[BBPOccupied] & Bit) != 0) == (Code != 0);
    for (int Type = PPawn; Type <= PKing; Type++)
      Agrees = Agrees && ((B[Type] & Bit) != 0) == (Code && (Code & 7) == Type);
    if (!Agrees) Note(Faults, "bitboards disagree with Board[" + SquareText(Square) + "]");
    if (!Code) continue;
    const int Type = Code & 7, Side = Code >> 3;
    Phase += PiecePhaseScores[Type];
    Material[Side] += PieceMaterialScores[Type];
    Scores[GPOpening][Side] += PieceSquareTable[GPOpening][Code][Square];
    Scores[GPEnding][Side] += PieceSquareTable[GPEnding][Code][Square];
    if (Type == PPawn) PawnKey ^= HashPieces[Code][Square];
  }
  if (B[BBPOccupied] != (B[BBPWhite] | B[BBPBlack]) || (B[BBPWhite] & B[BBPBlack]))
    Note(Faults, "occupied is not white | black");
  for (int Side = 0; Side < 2; Side++) {
    const TBitboard Kings = B[Side << 3] & B[BBPKing];
    const int King = P->KingPosition[Side];
    // Set-up text may place several kings of a colour, or none; the square must still be on the board.
    if (King >= 64 || (Kings && !(Kings >> King & 1))) Note(Faults, "KingPosition[" + std::to_string(Side) + "]");
    if (Material[Side] != P->MaterialScores[Side]) Note(Faults, "MaterialScores[" + std::to_string(Side) + "]");
    for (int Stage = 0; Stage < 2; Stage++)
      if (Scores[Stage][Side] != P->PositionScores[Stage][Side])
        Note(Faults, "PositionScores[" + std::to_string(Stage) + "][" + std::to_string(Side) + "]");
  }
  if (Phase != P->Phase) Note(Faults, "Phase");
  if (PawnKey != P->PawnHash) Note(Faults, "PawnHash");
  if (WithHash && PieceKey(P) != P->Hash) Note(Faults, "Hash");
  if (P->Side != CWhite && P->Side != CBlack) Note(Faults, "Side");
  if (P->CastleFlags & ~15) Note(Faults, "CastleFlags");
  else {
    TPosition Copy = *P;
    DropImpossibleCastleRights(&Copy);
    if (Copy.CastleFlags != P->CastleFlags) Note(Faults, "a castling right without its king or rook at home");
  }
  if (const int Ep = P->EnPassant; Ep != -1) {
    // The square a double step passed over: empty, on the third or sixth rank, the pawn just behind it.
    const bool Fits = Ep >= 0 && Ep < 64 && ((Ep >> 3) == SQ_RANK_3 || (Ep >> 3) == SQ_RANK_6) && P->Board[Ep] == 0 &&
                      P->Board[Ep ^ 8] == ((Ep >> 3) == SQ_RANK_3 ? PWhitePawn : PBlackPawn);
    if (!Fits) Note(Faults, "EnPassant " + std::to_string(Ep));
  }
  return Faults;
}

void AssertSoundPosition(const TPosition* P, const char* Step) {
  const std::string Faults = PositionFaults(P);
  if (Faults.empty()) return;
  std::fprintf(stderr, "talvarind: unsound position after %s: %s\n", Step, Faults.c_str());
  std::abort();
}

void AssertSoundMove(const TPosition* P, const TUndoMove* Undo, uint64_t KeyBefore) {
  AssertSoundPosition(P, "a move");
  uint64_t Rest = KeyBefore ^ HashSide ^ HashCastle[Undo->CastleFlags & 15] ^ HashCastle[P->CastleFlags & 15];
  if (Undo->EnPassant >= 0) Rest ^= HashEnPassant[Undo->EnPassant];
  if (P->EnPassant >= 0) Rest ^= HashEnPassantFile[P->EnPassant & 7];
  if ((P->Hash ^ PieceKey(P)) == Rest) return;
  std::fprintf(stderr, "talvarind: the key went wrong in the move %u\n", unsigned(Undo->Move));
  std::abort();
}
