#include "engine/board/Position.h"

#include <cstring>

#include "engine/board/PieceContrib.h"
#include "engine/core/State.h"
#include "engine/core/Text.h"

namespace {

inline bool IsPieceCode(int Code) { return (Code & 7) >= PPawn && (Code & 7) <= PKing; }

// Set-up only: the piece's keys and king square too, and bits set rather than toggled.
void PlacePiece(TPosition* P, int Code, int Square) {
  AddPieceScores(P, Code, Square);
  TogglePieceKeys(P, Code, Square);
  P->Bitboards[Code & 8] |= TBitboard(1) << Square;
  P->Bitboards[Code & 7] |= TBitboard(1) << Square;
  if ((Code & 7) == PKing) P->KingPosition[Code >> 3] = uint8_t(Square);
}

// Counters from text saturate here instead of wrapping.
constexpr int64_t CounterLimit = 1000000000;

void ClearDerived(TPosition* P) {
  std::memset(P->Bitboards, 0, sizeof P->Bitboards);
  P->Phase = 0;
  P->MaterialScores[0] = P->MaterialScores[1] = 0;
  std::memset(P->PositionScores, 0, sizeof P->PositionScores);
  P->Hash = P->PawnHash = 0;
}

}  // namespace

void SetupBoardData(TPosition* P) {
  ClearDerived(P);
  for (int S = 0; S < 64; S++)
    if (IsPieceCode(P->Board[S])) PlacePiece(P, P->Board[S], S);
  P->Bitboards[BBPOccupied] = P->Bitboards[BBPWhite] | P->Bitboards[BBPBlack];
}

void BoardSetPiece(TPosition* P, uint8_t Square, uint8_t Piece) {
  Square &= 63;
  const int Old = P->Board[Square];
  P->Board[Square] = Piece;
  if (Old != 0 && IsPieceCode(Old)) {
    RemovePieceScores(P, Old, Square);
    TogglePieceKeys(P, Old, Square);
    const TBitboard Clear = ~(TBitboard(1) << Square);
    P->Bitboards[Old & 8] &= Clear;
    P->Bitboards[Old & 7] &= Clear;
    P->Bitboards[BBPOccupied] &= Clear;
    if ((Old & 7) == PKing) FollowRemainingKing(P, Old & 8);
  }
  if (IsPieceCode(Piece)) {
    PlacePiece(P, Piece, Square);
    P->Bitboards[BBPOccupied] |= TBitboard(1) << Square;
  }
}

static void SetInitialPosition(TState* S) {
  TPosition* P = &S->Position;
  std::memcpy(P->Board, InitialBoard, sizeof P->Board);
  P->Side = CWhite;
  P->CastleFlags = 15;
  P->EnPassant = -1;
  P->StartPly = P->ReversibleMoves = P->Phase = 0;
  P->Hash = P->PawnHash = 0;
  S->HistoryPly = 0;
  S->Nodes = 0;
}

static void ResetClocks(TState* S) {
  S->TimeLeft[0] = S->TimeLeft[1] = S->MaxTime;
  S->MovesLeft[0] = S->MovesLeft[1] = S->MovesPerControl;
  S->TimeIncrement[0] = S->TimeIncrement[1] = 0;
}

void InitBoard(TState* S) {
  SetInitialPosition(S);
  std::memset(static_cast<void*>(S->HistoryStack), 0, sizeof S->HistoryStack);
  SetupBoardData(&S->Position);
  ResetClocks(S);
}

void InitStandardBoard(TState* S) {
  SetInitialPosition(S);
  SetupBoardData(&S->Position);
  ResetClocks(S);
}

void DropImpossibleCastleRights(TPosition* P) {
  struct TRight {
    int Flag, King, Rook;
    uint8_t KingCode, RookCode;
  };
  static constexpr TRight Rights[4] = {{1, SQ_E1, SQ_H1, PWhiteKing, PWhiteRook},
                                       {2, SQ_E1, SQ_A1, PWhiteKing, PWhiteRook},
                                       {4, SQ_E8, SQ_H8, PBlackKing, PBlackRook},
                                       {8, SQ_E8, SQ_A8, PBlackKing, PBlackRook}};
  for (const TRight& R : Rights)
    if (P->Board[R.King] != R.KingCode || P->Board[R.Rook] != R.RookCode) P->CastleFlags &= ~R.Flag;
}

bool EnPassantPossible(const TPosition* P, int Square) {
  if (Square < 0 || Square >= 64) return false;
  const int OpponentPawnKind = P->Side == CWhite ? ATPBlackPawn : ATPWhitePawn;
  const TBitboard Takers = AttackTables[OpponentPawnKind][Square] & P->Bitboards[P->Side] & P->Bitboards[BBPPawn];
  // Only a square that a double step can have passed over: taking there removes the pawn behind it,
  // and with no such pawn the capture would corrupt the board.
  const int PassedRank = P->Side == CWhite ? SQ_RANK_6 : SQ_RANK_3;
  const int Behind = Square ^ 8;
  const bool Passed =
      (Square >> 3) == PassedRank && P->Board[Square] == 0 && P->Board[Behind] == ((P->Side ^ 8) | PPawn);
  return Takers && Passed;
}

void DropImpossibleEnPassant(TPosition* P) {
  if (P->EnPassant != -1 && !EnPassantPossible(P, P->EnPassant)) P->EnPassant = -1;
}

namespace {

// FEN text, leniently: whatever cannot be read keeps its default. One step per field, over one cursor.
class TFenReader {
 public:
  TFenReader(TPosition* P, std::string_view Text) : P(P), Text(Text) {}

  void Read() {
    Clear();
    Placement();
    SideToMove();
    Castling();
    EnPassant();
    if (I < Text.size() && IsDigit(Ch(I))) Counters();
    else EpdOperations();
  }

 private:
  TPosition* const P;
  const std::string_view Text;
  size_t I = 0;

  static bool IsDigit(unsigned char C) { return C >= '0' && C <= '9'; }
  static bool IsLetter(unsigned char C) { return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z'); }
  unsigned char Ch(size_t At) const { return At < Text.size() ? (unsigned char)Text[At] : 0; }
  void SkipSeparator() {
    if (I < Text.size() && (IsBlank((unsigned char)Text[I]) || Text[I] == '/')) I++;
  }
  void Advance(size_t N) { I = I + N < Text.size() ? I + N : Text.size(); }
  // Absurd counters saturate instead of overflowing.
  int64_t ReadNumber() { return ReadDigits(Text, I, CounterLimit); }
  int32_t StartPlyOf(int64_t N) const {
    const int64_t Ply = 2 * (N > 1 ? N - 1 : 0) + (P->Side == CBlack ? 1 : 0);
    return int32_t(Ply > 255 ? 255 : Ply);
  }

  void Clear() {
    std::memset(P->Board, 0, sizeof P->Board);
    ClearDerived(P);
    P->Side = CWhite;
    P->CastleFlags = 0;
    P->EnPassant = -1;
    P->StartPly = 0;
    P->ReversibleMoves = 0;
  }

  void Placement() {
    for (int Rank = 7; Rank >= 0; Rank--) {
      int File = 0;
      while (File < 8 && I < Text.size()) {
        const unsigned char C = Ch(I++);
        if (C >= '1' && C <= '8') {
          // A run of empty squares never reaches past the h-file.
          File += C - '0';
          if (File > 8) File = 8;
          continue;
        }
        const char* Found = C ? std::strchr(PieceChars, C) : nullptr;
        const int Code = Found ? int(Found - PieceChars) : 0;
        if (IsPieceCode(Code)) {
          P->Board[Rank * 8 + File] = uint8_t(Code);
          PlacePiece(P, Code, Rank * 8 + File);
        }
        File++;
      }
      SkipSeparator();
    }
    P->Bitboards[BBPOccupied] = P->Bitboards[BBPWhite] | P->Bitboards[BBPBlack];
  }

  void SideToMove() {
    if (I < Text.size()) {
      P->Side = Ch(I) == 'w' ? CWhite : CBlack;
      Advance(1);
    }
    SkipSeparator();
  }

  void Castling() {
    if (Ch(I) == '-') {
      Advance(1);
    } else {
      for (;;) {
        const unsigned char C = Ch(I);
        if (C == 'K') P->CastleFlags |= 1;
        else if (C == 'Q') P->CastleFlags |= 2;
        else if (C == 'k') P->CastleFlags |= 4;
        else if (C == 'q') P->CastleFlags |= 8;
        else break;
        I++;
      }
    }
    SkipSeparator();
  }

  void EnPassant() {
    if (Ch(I) == '-') {
      P->EnPassant = -1;
      Advance(1);
    } else if (Ch(I) >= 'a' && Ch(I) <= 'h' && Ch(I + 1) >= '1' && Ch(I + 1) <= '8') {
      const int Square = (Ch(I) - 'a') + 8 * (Ch(I + 1) - '1');
      Advance(2);
      P->EnPassant = EnPassantPossible(P, Square) ? Square : -1;
    } else {
      P->EnPassant = -1;
      Advance(1);
    }
    SkipSeparator();
  }

  // The half-move clock and the full-move number.
  void Counters() {
    P->ReversibleMoves = int32_t(ReadNumber());
    SkipSeparator();
    if (I < Text.size() && IsDigit(Ch(I))) {
      P->StartPly = StartPlyOf(ReadNumber());
      SkipSeparator();
    }
  }

  static int64_t DecimalOrZero(std::string_view S) {
    int64_t V = 0;
    return ReadDecimal(TrimBlanks(S), -CounterLimit, CounterLimit, V) == TNumberRead::NotANumber ? 0 : V;
  }

  // In place of the counters: "hmvc" and "fmvn", each ended by ";"; other operations are skipped.
  void EpdOperations() {
    while (I < Text.size() && IsLetter(Ch(I))) {
      char Name[8] = {};
      size_t NameLength = 0;
      while (I < Text.size() && (IsLetter(Ch(I)) || IsDigit(Ch(I)) || Ch(I) == '_')) {
        const unsigned char C = Ch(I++);
        if (NameLength < sizeof Name - 1) Name[NameLength] = char(C >= 'A' && C <= 'Z' ? C + 32 : C);
        NameLength++;
      }
      SkipSeparator();
      std::string_view Operand;
      if (Ch(I) == '"') {
        const size_t Start = ++I;
        while (I < Text.size() && Text[I] != '"') I++;
        Operand = Text.substr(Start, I - Start);
        Advance(1);
      } else {
        const size_t Start = I;
        while (I < Text.size() && Text[I] != ';') I++;
        Operand = Text.substr(Start, I - Start);
      }
      const std::string_view Op(Name, NameLength < sizeof Name ? NameLength : 0);
      if (Op == "fmvn") P->StartPly = StartPlyOf(DecimalOrZero(Operand));
      else if (Op == "hmvc") P->ReversibleMoves = int32_t(DecimalOrZero(Operand));
      if (Ch(I) != ';') break;
      I++;
      SkipSeparator();
    }
  }
};

}  // namespace

void SetPosition(TPosition* P, std::string_view Text) {
  TFenReader(P, TrimBlanks(Text) == "startpos" ? std::string_view(StartPosition) : Text).Read();
  DropImpossibleCastleRights(P);
}

TBitboard AttacksFrom(const TPosition* P, int Square) {
  const int Code = P->Board[Square];
  const TBitboard Occupancy = P->Bitboards[BBPOccupied];
  switch (Code & 7) {
    case PPawn: return AttackTables[Code & 8 ? ATPBlackPawn : ATPWhitePawn][Square];
    case PKnight: return AttackTables[ATPKnight][Square];
    case PBishop: return BishopAttacks(Occupancy, Square);
    case PRook: return RookAttacks(Occupancy, Square);
    case PQueen: return QueenAttacks(Occupancy, Square);
    case PKing: return AttackTables[ATPKing][Square];
    default: return 0;
  }
}

TBitboard AttacksTo(const TPosition* P, int Square) {
  const TBitboard* B = P->Bitboards;
  const TBitboard Occupancy = B[BBPOccupied];
  return (B[BBPWhite] & B[BBPPawn] & AttackTablesTo[ATPWhitePawn][Square]) |
         (B[BBPBlack] & B[BBPPawn] & AttackTablesTo[ATPBlackPawn][Square]) |
         (B[BBPKnight] & AttackTablesTo[ATPKnight][Square]) |
         ((B[BBPBishop] | B[BBPQueen]) & BishopAttacks(Occupancy, Square)) |
         ((B[BBPRook] | B[BBPQueen]) & RookAttacks(Occupancy, Square)) | (B[BBPKing] & AttackTablesTo[ATPKing][Square]);
}
