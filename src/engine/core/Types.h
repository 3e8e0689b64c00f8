// Shared encodings: pieces, squares, bitboards, the move word, positions and undo records.
#pragma once

#include <cstdint>

struct TState;
using PState = TState*;

using TBitboard = uint64_t;
using TMove = uint32_t;

// Piece types and colours
constexpr int PEmpty = 0, PPawn = 1, PKnight = 2, PBishop = 3, PRook = 4, PQueen = 5, PKing = 6, PIllegal = 7;
constexpr int CWhite = 0, CBlack = 8;
constexpr int PMWhite = 0, PMBlack = 8, PMColorMask = 8, PMPieceMask = 7, PMColorShift = 3;
constexpr int PWhitePawn = 1, PWhiteKnight = 2, PWhiteBishop = 3, PWhiteRook = 4, PWhiteQueen = 5, PWhiteKing = 6;
constexpr int PBlackPawn = 9, PBlackKnight = 10, PBlackBishop = 11, PBlackRook = 12, PBlackQueen = 13, PBlackKing = 14;
constexpr int SWhite = 0, SBlack = 1;

// Squares
// A rank per line.
// clang-format off
enum : int {
  SQ_A1, SQ_B1, SQ_C1, SQ_D1, SQ_E1, SQ_F1, SQ_G1, SQ_H1,
  SQ_A2, SQ_B2, SQ_C2, SQ_D2, SQ_E2, SQ_F2, SQ_G2, SQ_H2,
  SQ_A3, SQ_B3, SQ_C3, SQ_D3, SQ_E3, SQ_F3, SQ_G3, SQ_H3,
  SQ_A4, SQ_B4, SQ_C4, SQ_D4, SQ_E4, SQ_F4, SQ_G4, SQ_H4,
  SQ_A5, SQ_B5, SQ_C5, SQ_D5, SQ_E5, SQ_F5, SQ_G5, SQ_H5,
  SQ_A6, SQ_B6, SQ_C6, SQ_D6, SQ_E6, SQ_F6, SQ_G6, SQ_H6,
  SQ_A7, SQ_B7, SQ_C7, SQ_D7, SQ_E7, SQ_F7, SQ_G7, SQ_H7,
  SQ_A8, SQ_B8, SQ_C8, SQ_D8, SQ_E8, SQ_F8, SQ_G8, SQ_H8,
  SQ_OFF
  // clang-format on
};
constexpr int SQ_FILE_A = 0, SQ_FILE_B = 1, SQ_FILE_C = 2, SQ_FILE_D = 3, SQ_FILE_E = 4, SQ_FILE_F = 5, SQ_FILE_G = 6,
              SQ_FILE_H = 7;
constexpr int SQ_RANK_1 = 0, SQ_RANK_2 = 1, SQ_RANK_3 = 2, SQ_RANK_4 = 3, SQ_RANK_5 = 4, SQ_RANK_6 = 5, SQ_RANK_7 = 6,
              SQ_RANK_8 = 7;

constexpr int DELTA_N = 8, DELTA_E = 1, DELTA_S = -8, DELTA_W = -1, DELTA_NN = 16, DELTA_NE = 9, DELTA_SE = -7,
              DELTA_SS = -16, DELTA_SW = -9, DELTA_NW = 7;

// Bitboard masks
constexpr TBitboard BB_RANK_1 = 0xFFull;
constexpr TBitboard BB_RANK_2 = BB_RANK_1 << 8, BB_RANK_3 = BB_RANK_1 << 16, BB_RANK_4 = BB_RANK_1 << 24,
                    BB_RANK_5 = BB_RANK_1 << 32, BB_RANK_6 = BB_RANK_1 << 40, BB_RANK_7 = BB_RANK_1 << 48,
                    BB_RANK_8 = BB_RANK_1 << 56;
constexpr TBitboard BB_FILE_A = 0x0101010101010101ull;
constexpr TBitboard BB_FILE_B = BB_FILE_A << 1, BB_FILE_C = BB_FILE_A << 2, BB_FILE_D = BB_FILE_A << 3,
                    BB_FILE_E = BB_FILE_A << 4, BB_FILE_F = BB_FILE_A << 5, BB_FILE_G = BB_FILE_A << 6,
                    BB_FILE_H = BB_FILE_A << 7;
constexpr TBitboard BB_WHITE = 0x5555555555555555ull, BB_BLACK = 0xAAAAAAAAAAAAAAAAull;
constexpr TBitboard DIAG_A1H8_BB = 0x8040201008040201ull, DIAG_A8H1_BB = 0x0102040810204080ull,
                    DIAG_B8H2_BB = 0x0204081020408000ull;

// Bitboard index layout
constexpr int BBPWhite = 0, BBPPawn = 1, BBPKnight = 2, BBPBishop = 3, BBPRook = 4, BBPQueen = 5, BBPKing = 6,
              BBPOccupied = 7, BBPBlack = 8, BBPCount = 9;

using TBitboards = TBitboard[BBPCount];
using TSquareBitboards = TBitboard[64];
using TBoard = uint8_t[64];

// Move word
constexpr int MTNormal = 0, MTCastle = 1, MTEnPassantCapture = 2, MTEnPassantSet = 3, MTPromoteKnight = 4,
              MTPromoteBishop = 5, MTPromoteRook = 6, MTPromoteQueen = 7;
constexpr uint32_t MFCapture = 1;

constexpr inline int MoveFrom(TMove m) { return int(m & 63); }
constexpr inline int MoveTo(TMove m) { return int((m >> 6) & 63); }
constexpr inline int MoveType(TMove m) { return int((m >> 12) & 15); }
constexpr inline bool MoveIsCapture(TMove m) { return (m >> 16) & MFCapture; }
constexpr inline bool MoveIsPromotion(TMove m) { return MoveType(m) >= MTPromoteKnight; }
constexpr inline TMove MakeMoveWord(int from, int to, int type = MTNormal, uint32_t flags = 0) {
  return TMove(from) | (TMove(to) << 6) | (TMove(type) << 12) | (flags << 16);
}

constexpr int MaxMoves = 256;
using TMoves = TMove[MaxMoves];
// Scratch for the generators.  A position set up from text may hold any material; no piece has more than
// 27 moves (a queen), a pawn at most 12 (three promotion squares), castling 2, so 64 * 27 + 2 < 2048 words
// hold every list with its terminator.  Only the first MaxMoves of such a list are ever used.
constexpr int MaxGeneratedMoves = 2048;
using TMoveBuffer = TMove[MaxGeneratedMoves];

// Scores, depths and limits
constexpr int InfinityScore = 32767;
constexpr int MateScore = 32000;
constexpr int MateMinScore = 31000;
constexpr int MaxEval = 29999;
constexpr int DrawScore = 0;
constexpr int OnePly = 4;
constexpr int MaxPly = 256;
// A GUI game can outlast 256 half-moves; the history holds 1024 so that no game move is ever refused.
constexpr int MaxGameMoves = 1024;
constexpr int MaxHistoryStack = 1024;
constexpr int MaxSearchHistoryStack = 1024;
constexpr int MaxCPUCores = 32;
constexpr int MaxSplitPointsPerThread = 8;
constexpr int MaxThreadsPerSplitPoint = 8;

using TNodeType = int32_t;
constexpr TNodeType NTAll = 0, NTCut = 1, NTPV = 2;
constexpr int GPOpening = 0, GPEnding = 1;
constexpr int MNone = 0, MXBoard = 1, MUCI = 2;
constexpr int ATPWhitePawn = 0, ATPBlackPawn = 1, ATPKnight = 2, ATPBishop = 3, ATPRook = 4, ATPQueen = 5, ATPKing = 6;

constexpr const char* StartPosition = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

struct TPosition {
  PState State;
  TBoard Board;
  TBitboards Bitboards;
  uint8_t KingPosition[2];
  int32_t MaterialScores[2];
  int32_t PositionScores[2][2];  // [phase][side]
  int32_t Side;
  int32_t CastleFlags;
  int32_t EnPassant;
  int32_t StartPly;
  int32_t ReversibleMoves;
  int32_t Phase;
  uint64_t Hash;
  uint64_t PawnHash;
  int32_t FirstRootMove;
};
using PPosition = TPosition*;

struct TUndoMove {
  TMove Move;
  uint8_t ToPiece;
  uint8_t Flags;
  int8_t EnPassant;
  uint8_t CastleFlags;
  int32_t ReversibleMoves;
  // Both, since a position set up with several kings of a colour cannot tell from the move which one was
  // meant before.
  uint8_t KingPosition[2];
  uint64_t Hash;
  uint64_t PawnHash;
};
static_assert(sizeof(TUndoMove) == 32);

using THistoryStack = TUndoMove[MaxHistoryStack];

// Typed-constant tables
inline constexpr char PieceChars[17] = " PNBRQK  pnbrqk ";
inline constexpr int32_t PieceMaterialScores[8] = {0, 100, 325, 325, 515, 975, 0, 0};
inline constexpr uint8_t PiecePhaseScores[8] = {0, 1, 10, 10, 20, 40, 0, 0};
inline constexpr uint8_t CastleMask[64] = {
    13, 15, 15, 15, 12, 15, 15, 14,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    15, 15, 15, 15, 15, 15, 15, 15,  //
    7,  15, 15, 15, 3,  15, 15, 11,
};
inline constexpr uint8_t InitialBoard[64] = {
    4,  2,  3,  5,  6,  3,  2,  4,  //
    1,  1,  1,  1,  1,  1,  1,  1,  //
    0,  0,  0,  0,  0,  0,  0,  0,  //
    0,  0,  0,  0,  0,  0,  0,  0,  //
    0,  0,  0,  0,  0,  0,  0,  0,  //
    0,  0,  0,  0,  0,  0,  0,  0,  //
    9,  9,  9,  9,  9,  9,  9,  9,  //
    12, 10, 11, 13, 14, 11, 10, 12,
};
