#include "engine/frontend/XBoard.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/board/Position.h"
#include "engine/frontend/BoardDisplay.h"
#include "engine/frontend/Input.h"
#include "engine/frontend/Settings.h"
#include "engine/frontend/Words.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/Notation.h"
#include "engine/platform/Version.h"
#include "engine/search/Think.h"
#include "engine/search/TimeControl.h"

namespace {

void NotLegalNow(const std::string& Word) { std::printf("Error (command not legal now): %s\n", Word.c_str()); }
void Unknown(const std::string& Word) { std::printf("Error (unknown command): %s\n", Word.c_str()); }

void Features(const TState* S) {
  std::printf(
      "feature ping=0 setboard=0 playother=0 san=0 usermove=0 time=1 draw=1 sigint=0 sigterm=1 reuse=1 analyze=0 "
      "myname=\"Talvarind %s\" colors=1 ics=0 name=0 pause=0 nps=0 debug=0 memory=0 smp=%d done=1\n",
      VersionString().c_str(), S->ThreadCount > 1 ? 1 : 0);
}

// Minutes, or minutes and seconds around a colon, in milliseconds.
bool ReadBaseTime(const std::string& Word, int64_t& Ms) {
  const size_t Colon = Word.find(':');
  std::string Minutes = Word.substr(0, Colon), Seconds = Colon == std::string::npos ? "0" : Word.substr(Colon + 1);
  Trim(Minutes);
  Trim(Seconds);
  int32_t M = 0, Sec = 0;
  if (!ReadNumber(Minutes, M) || !ReadNumber(Seconds, Sec)) return false;
  Ms = int64_t(M) * 60000 + int64_t(Sec) * 1000;
  return true;
}

bool Level(TState* S, std::string& Line) {
  const std::string Moves = NextWord(Line), Base = NextWord(Line), Increment = NextWord(Line);
  int32_t PerControl = 0, Inc = 0;
  int64_t BaseMs = 0;
  if (!ReadNumber(Moves, PerControl) || !ReadBaseTime(Base, BaseMs) || !ReadNumber(Increment, Inc)) return false;
  S->MaxMoves = PerControl;
  S->MaxTime = BaseMs;
  S->TimeIncrement[0] = S->TimeIncrement[1] = int64_t(Inc) * 1000;
  S->MovesLeft[0] = S->MovesLeft[1] = S->MaxMoves;
  S->TimeLeft[0] = S->TimeLeft[1] = S->MaxTime;
  return true;
}

// The moves the side to move still has to make before its next time control.
void RecomputeMovesLeft(TState* S) {
  const int Side = S->Position.Side >> 3;
  // A whole game in one period has no next control: the budget then shares the clock among the moves
  // still to come, whatever was played before.
  if (S->MaxMoves <= 0) {
    S->MovesLeft[Side] = 0;
    return;
  }
  const int32_t Made = Side == 0 ? (S->HistoryPly + 1) >> 1 : S->HistoryPly >> 1;
  S->MovesLeft[Side] = -Made;
  while (S->MovesLeft[Side] <= 0) S->MovesLeft[Side] += S->MaxMoves;
}

// Squares as "e4"; -1 for anything else.
int SquareOf(const std::string& Text, size_t At) {
  if (Text.size() < At + 2) return -1;
  const char File = Text[At], Rank = Text[At + 1];
  if (File < 'a' || File > 'h' || Rank < '1' || Rank > '8') return -1;
  return (Rank - '1') * 8 + (File - 'a');
}

void Edit(TState* S) {
  TPosition* P = &S->Position;
  int Colour = CWhite;
  std::string Line;
  for (;;) {
    if (!InputReadLine(true, Line)) {
      if (InputEnded()) break;
      continue;
    }
    Trim(Line);
    if (Line.empty()) continue;
    if (Line == ".") break;
    const char First = Line[0];
    if (First == '#') {
      std::memset(P->Board, 0, sizeof P->Board);
      SetupBoardData(P);
    } else if (First == 'c') {
      Colour ^= 8;
    } else if (First == 'x') {
      const int Square = SquareOf(Line, 1);
      if (Square >= 0) BoardSetPiece(P, uint8_t(Square), 0);
    } else if (const char* Type = std::strchr("PNBRQK", First); Type && First) {
      const int Square = SquareOf(Line, 1);
      if (Square >= 0) BoardSetPiece(P, uint8_t(Square), uint8_t(Colour | (PPawn + (Type - "PNBRQK"))));
    }
  }
  P->ReversibleMoves = 0;
  DropImpossibleCastleRights(P);
  // A new board is a new game: nothing before it may be taken back.
  S->HistoryPly = 0;
}

// Gives the move to Side. A real change starts a new game record, as a new board does: a take-back reads
// the mover from the side to move, so the moves before the change would be taken back with the wrong
// colour's pieces.
void HandMoveTo(TState* S, int Side) {
  if (S->Position.Side == Side) return;
  S->Position.Side = Side;
  S->HistoryPly = 0;
}

// The one step every in-search call ends in: stop the think and the dialogue.
void Leave(TState* S) {
  S->PonderSearch = false;
  S->AbortSearch = true;
  S->Quit = true;
}

// Set by "force" during the think that is running: its move is not played.
bool ForcedInSearch = false;

void InSearchHandler(TState* S, int32_t ComputerSide) {
  TXBoardClocks Unused;
  ProcessXBoardInput(S, ComputerSide, true, Unused);
}

// The clocks xboard sent are the engine's and the opponent's, whoever is to move when they arrive.
void ApplyClocks(TState* S, TXBoardClocks& Clocks) {
  const int Engine = S->Position.Side >> 3;
  if (Clocks.Own >= 0) S->TimeLeft[Engine] = Clocks.Own;
  if (Clocks.Opponent >= 0) S->TimeLeft[Engine ^ 1] = Clocks.Opponent;
  Clocks = TXBoardClocks{};
}

}  // namespace

void PrintResult(TState* S) {
  TPosition* P = &S->Position;
  if (IsCheckmate(P)) std::printf(P->Side == CWhite ? "0-1 {Black mates}\n" : "1-0 {White mates}\n");
  else if (IsStalemate(P)) std::printf("1/2-1/2 {Stalemate}\n");
  else if (RepetitionCount(P) >= 3) std::printf("1/2-1/2 {Draw by repetition}\n");
  else if (P->ReversibleMoves >= 100) std::printf("1/2-1/2 {Draw by fifty move rule}\n");
}

void ProcessXBoardInput(TState* S, int32_t& ComputerSide, bool InSearch, TXBoardClocks& Clocks) {
  if (S->Quit) return;
  std::string Line;
  if (!InputReadLine(!InSearch, Line)) {
    // The interface has gone: nobody is left to play against.
    if (InputEnded()) Leave(S);
    return;
  }
  std::fflush(stdout);
  const std::string Cmd = NextWord(Line);
  // Commands that would change the board, the game or the limits under a running search.
  const auto Allowed = [&]() {
    if (InSearch) NotLegalNow(Cmd);
    return !InSearch;
  };
  const auto Number = [&](int32_t& Value) {
    if (ReadNumber(NextWord(Line), Value)) return true;
    NotLegalNow(Cmd);
    return false;
  };
  int32_t N = 0;

  if (Cmd == "xboard" || Cmd == "accepted" || Cmd == "rejected") {
  } else if (Cmd == "quit") {
    Leave(S);
  } else if (Cmd == "?") {
    if (InSearch) {
      if (S->PonderSearch && (S->MaxNodes > 0 || S->MaxTime > 0)) S->PonderSearch = false;
      else S->AbortSearch = true;
    }
  } else if (Cmd == "cores") {
    if (Allowed() && Number(N)) SetThreadLimit(S, N);
  } else if (Cmd == "setboard") {
    if (Allowed()) {
      Trim(Line);
      SetPosition(&S->Position, Line);
      S->HistoryPly = 0;
      if (IsIllegal(&S->Position)) std::printf("tellusererror Illegal position\n");
    }
  } else if (Cmd == "edit") {
    if (Allowed()) Edit(S);
  } else if (Cmd == "analyze") {
    Unknown(Cmd);
  } else if (Cmd == "protover") {
    if (ReadNumber(NextWord(Line), N) && N == 2) Features(S);
    else Unknown(Cmd);
  } else if (Cmd == "new") {
    if (Allowed()) {
      InitBoard(S);
      S->MaxDepth = 0;
      ComputerSide = CBlack;
      Clocks = TXBoardClocks{};
    }
  } else if (Cmd == "force") {
    ComputerSide = -1;
    // Interfaces send it when a game ends under a running think: stop, and play nothing.
    if (InSearch) {
      ForcedInSearch = true;
      S->AbortSearch = true;
    }
  } else if (Cmd == "go") {
    if (Allowed()) {
      ComputerSide = S->Position.Side;
      RecomputeMovesLeft(S);
    }
  } else if (Cmd == "white" || Cmd == "black") {
    if (Allowed()) {
      HandMoveTo(S, Cmd == "white" ? CWhite : CBlack);
      ComputerSide = S->Position.Side ^ 8;
    }
  } else if (Cmd == "playother") {
    if (Allowed()) {
      HandMoveTo(S, S->Position.Side ^ 8);
      ComputerSide = S->Position.Side ^ 8;
    }
  } else if (Cmd == "st") {
    if (Allowed() && Number(N)) {
      S->MovesLeft[0] = S->MovesLeft[1] = 1;
      S->MaxMoves = 1;
      S->MaxTime = int64_t(N) * 1000;
      S->TimeLeft[0] = S->TimeLeft[1] = S->MaxTime;
      S->TimeIncrement[0] = S->TimeIncrement[1] = 0;
      Clocks = TXBoardClocks{};
    }
  } else if (Cmd == "sd") {
    if (Allowed() && Number(N)) S->MaxDepth = N > 256 ? 256 : N;
  } else if (Cmd == "sn") {
    if (Allowed() && Number(N)) S->MaxNodes = N < 0 ? 0 : N;
  } else if (Cmd == "level") {
    if (Allowed()) {
      if (Level(S, Line)) Clocks = TXBoardClocks{};
      else NotLegalNow(Cmd);
    }
  } else if (Cmd == "time") {
    if (Allowed() && Number(N)) Clocks.Own = int64_t(N) * 10;
  } else if (Cmd == "otim") {
    if (Allowed() && Number(N)) Clocks.Opponent = int64_t(N) * 10;
  } else if (Cmd == "ping") {
    std::printf("pong %s\n", Line.c_str());
  } else if (Cmd == "hint") {
    if (Allowed() && ThinkHint(S)) std::printf("Hint: %s\n", MoveToString(S->BestMove).c_str());
  } else if (Cmd == "undo") {
    if (Allowed() && !MakeUndoMove(&S->Position)) NotLegalNow(Cmd);
  } else if (Cmd == "remove") {
    if (Allowed()) {
      if (S->HistoryPly > 1) {
        MakeUndoMove(&S->Position);
        MakeUndoMove(&S->Position);
      } else {
        NotLegalNow(Cmd);
      }
    }
  } else if (Cmd == "hard" || Cmd == "easy") {
    if (Allowed()) S->Pondering = Cmd == "hard";
  } else if (Cmd == "post" || Cmd == "nopost") {
    S->DumpState = Cmd == "post";
  } else if (Cmd == "draw") {
    std::printf("offer draw\n");
  } else if (Cmd == "printit") {
    if (Allowed()) DrawSmallBoard(S);
  } else if (InSearch) {
    // A move typed ahead while the engine thinks is dropped; anything longer is an error.
    if (!Line.empty()) NotLegalNow(Cmd);
  } else {
    const std::string Text = Cmd == "usermove" ? NextWord(Line) : Cmd;
    const TMove Move = ParseMove(S, Text);
    if (Move != 0 && MakeMove(&S->Position, Move)) PrintResult(S);
    else Unknown(Text);
  }
  // A reply must not wait in the buffer while the search goes on.
  std::fflush(stdout);
}

void XBoard(TState* S) {
  InitBoard(S);
  int32_t ComputerSide = CBlack;
  TXBoardClocks Clocks;
  S->DumpState = false;
  S->Mode = MXBoard;
  S->MaxDepth = 256;
  std::printf("tellics say     Talvarind %s\n", VersionString().c_str());
  std::printf("tellics say     by Yorvane 'Kesk' Drummelt\n");
  S->Quit = false;
  XBoardInSearchHandler = InSearchHandler;
  while (!S->Quit) {
    std::fflush(stdout);
    if (S->Position.Side == ComputerSide) {
      ApplyClocks(S, Clocks);
      ForcedInSearch = false;
      const bool Found = Think(S);
      if (ForcedInSearch) {
        ComputerSide = -1;
        continue;
      }
      // As ThinkAndExecute, with the "move" line the interface acts on after the bare one.
      if (Found) {
        std::printf("%s\n", MoveToString(S->BestMove).c_str());
        if (MakeMove(&S->Position, S->BestMove)) {
          std::printf("move %s\n", MoveToString(S->BestMove).c_str());
          PrintResult(S);
          continue;
        }
      }
      std::printf("1/2-1/2 {Draw by internal chess engine error}\n");
    }
    ProcessXBoardInput(S, ComputerSide, false, Clocks);
  }
  XBoardInSearchHandler = nullptr;
  std::fflush(stdout);
}
