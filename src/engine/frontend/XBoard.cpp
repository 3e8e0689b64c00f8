#include "engine/frontend/XBoard.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/board/Position.h"
#include "engine/frontend/BoardDisplay.h"
#include "engine/frontend/Input.h"
#include "engine/frontend/Reports.h"
#include "engine/frontend/Settings.h"
#include "engine/frontend/Words.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/Notation.h"
#include "engine/platform/Output.h"
#include "engine/platform/Version.h"
#include "engine/search/Think.h"
#include "engine/search/TimeControl.h"

namespace {

// Every line leaves at once: an interface acts on each line as it comes, and waits for the one it needs.
__attribute__((format(printf, 1, 2))) void Say(const char* Format, ...) {
  std::va_list Arguments;
  va_start(Arguments, Format);
  OutputPrintList(Format, Arguments);
  va_end(Arguments);
  OutputFlush();
}
void NotLegalNow(const std::string& Word) { Say("Error (command not legal now): %s\n", Word.c_str()); }
void Unknown(const std::string& Word) { Say("Error (unknown command): %s\n", Word.c_str()); }

void Features(const TState* S) {
  Say("feature ping=0 setboard=0 playother=0 san=0 usermove=0 time=1 draw=1 sigint=0 sigterm=1 reuse=1 analyze=0 "
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
  SetTimeControl(S, PerControl, BaseMs, int64_t(Inc) * 1000);
  return true;
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

// The hint think runs while the user is on move, and what the user does meanwhile belongs to the game:
// "force" acts on the engine's real side, and a move is kept (the hint search then ends at once) to be
// played and answered as soon as the hint is out.
struct THintThink {
  int32_t* ComputerSide = nullptr;  // set while a hint think runs
  std::string UserLine;             // the line with the user's move, if one came
};
THintThink HintThink;

void InSearchHandler(TState* S, int32_t ComputerSide) {
  TXBoardClocks Unused;
  ProcessXBoardInput(S, HintThink.ComputerSide ? *HintThink.ComputerSide : ComputerSide, true, Unused);
}

void InSearchInput(TState* S) {
  // The poll's computer side: the one not to move at the root; the handler works on a copy.
  if (InputAvailable()) InSearchHandler(S, S->RootSide ^ 8);
}

// One thinking line per completed iteration, when posting is on.
void IterationStarted(TState* S, int32_t) { S->Dumped = false; }

void IterationDone(TState* S, int32_t, const TSearchLine* Lines, int32_t) {
  if (!S->Dumped) DumpState(S, Lines[0].Score);
}

// The clocks xboard sent are the engine's and the opponent's, whoever is to move when they arrive.
void ApplyClocks(TState* S, TXBoardClocks& Clocks) {
  const int Engine = S->Position.Side >> 3;
  if (Clocks.Own >= 0) S->TimeLeft[Engine] = Clocks.Own;
  if (Clocks.Opponent >= 0) S->TimeLeft[Engine ^ 1] = Clocks.Opponent;
  Clocks = TXBoardClocks{};
}

}  // namespace

const TSearchHooks XBoardHooks{InSearchInput, IterationStarted, IterationDone, nullptr, nullptr};

void PrintResult(TState* S) {
  TPosition* P = &S->Position;
  if (IsCheckmate(P)) Say(P->Side == CWhite ? "0-1 {Black mates}\n" : "1-0 {White mates}\n");
  else if (IsStalemate(P)) Say("1/2-1/2 {Stalemate}\n");
  else if (RepetitionCount(P) >= 3) Say("1/2-1/2 {Draw by repetition}\n");
  else if (P->ReversibleMoves >= 100) Say("1/2-1/2 {Draw by fifty move rule}\n");
}

namespace {

// One command line being carried out: the command word, the rest of the line, and the dialogue's state.
struct TCommandLine {
  TState* S;
  const std::string& Word;
  std::string& Rest;
  int32_t& ComputerSide;
  bool InSearch;
  TXBoardClocks& Clocks;

  // The next word as a number; a missing or malformed one is answered as the protocol wants.
  bool Number(int32_t& Value) {
    if (ReadNumber(NextWord(Rest), Value)) return true;
    NotLegalNow(Word);
    return false;
  }
};

void CarryOut(TState* S, std::string Line, int32_t& ComputerSide, bool InSearch, TXBoardClocks& Clocks);

// The hint, from a short think; then the user's move if one came during it.
void Hint(TCommandLine& C) {
  HintThink.ComputerSide = &C.ComputerSide;
  HintThink.UserLine.clear();
  const bool Found = ThinkHint(C.S);
  HintThink.ComputerSide = nullptr;
  if (Found) Say("Hint: %s\n", MoveToString(C.S->BestMove).c_str());
  if (!HintThink.UserLine.empty() && !C.S->Quit)
    CarryOut(C.S, std::move(HintThink.UserLine), C.ComputerSide, false, C.Clocks);
  HintThink.UserLine.clear();
}

void Nothing(TCommandLine&) {}

void Quit(TCommandLine& C) { Leave(C.S); }

void MoveNow(TCommandLine& C) {
  TState* S = C.S;
  if (!C.InSearch) return;
  if (S->PonderSearch && (S->MaxNodes > 0 || S->MaxTime > 0)) S->PonderSearch = false;
  else S->AbortSearch = true;
}

void Cores(TCommandLine& C) {
  TState* S = C.S;
  int32_t N = 0;
  if (C.Number(N)) SetThreadLimit(S, N);
}

void SetBoard(TCommandLine& C) {
  Trim(C.Rest);
  SetPosition(&C.S->Position, C.Rest);
  C.S->HistoryPly = 0;
  if (IsIllegal(&C.S->Position)) Say("tellusererror Illegal position\n");
}

void EditBoard(TCommandLine& C) { Edit(C.S); }

void UnknownWord(TCommandLine& C) { Unknown(C.Word); }

void ProtocolVersion(TCommandLine& C) {
  int32_t N = 0;
  if (ReadNumber(NextWord(C.Rest), N) && N == 2) Features(C.S);
  else Unknown(C.Word);
}

void NewGame(TCommandLine& C) {
  InitBoard(C.S);
  C.S->MaxDepth = 0;
  C.ComputerSide = CBlack;
  C.Clocks = TXBoardClocks{};
}

void Force(TCommandLine& C) {
  C.ComputerSide = -1;
  // Interfaces send it when a game ends under a running think: stop, and play nothing.
  if (C.InSearch) {
    ForcedInSearch = true;
    C.S->AbortSearch = true;
  }
}

void Go(TCommandLine& C) {
  C.ComputerSide = C.S->Position.Side;
  CountMovesToControl(C.S);
}

void WhiteOrBlack(TCommandLine& C) {
  HandMoveTo(C.S, C.Word == "white" ? CWhite : CBlack);
  C.ComputerSide = C.S->Position.Side ^ 8;
}

void PlayOther(TCommandLine& C) {
  HandMoveTo(C.S, C.S->Position.Side ^ 8);
  C.ComputerSide = C.S->Position.Side ^ 8;
}

void SecondsPerMove(TCommandLine& C) {
  TState* S = C.S;
  int32_t N = 0;
  if (!C.Number(N)) return;
  SetTimePerMove(S, int64_t(N) * 1000);
  C.Clocks = TXBoardClocks{};
}

void SearchDepth(TCommandLine& C) {
  int32_t N = 0;
  if (C.Number(N)) C.S->MaxDepth = N > 256 ? 256 : N;
}

void SearchNodes(TCommandLine& C) {
  int32_t N = 0;
  if (C.Number(N)) C.S->MaxNodes = N < 0 ? 0 : N;
}

void TimeControl(TCommandLine& C) {
  if (Level(C.S, C.Rest)) C.Clocks = TXBoardClocks{};
  else NotLegalNow(C.Word);
}

void OwnClock(TCommandLine& C) {
  int32_t N = 0;
  if (C.Number(N)) C.Clocks.Own = int64_t(N) * 10;
}

void OpponentClock(TCommandLine& C) {
  int32_t N = 0;
  if (C.Number(N)) C.Clocks.Opponent = int64_t(N) * 10;
}

void Ping(TCommandLine& C) { Say("pong %s\n", C.Rest.c_str()); }

void Undo(TCommandLine& C) {
  if (!MakeUndoMove(&C.S->Position)) NotLegalNow(C.Word);
}

void Remove(TCommandLine& C) {
  if (C.S->HistoryPly <= 1) {
    NotLegalNow(C.Word);
    return;
  }
  MakeUndoMove(&C.S->Position);
  MakeUndoMove(&C.S->Position);
}

void HardOrEasy(TCommandLine& C) { C.S->Pondering = C.Word == "hard"; }

void PostOrNot(TCommandLine& C) { C.S->DumpState = C.Word == "post"; }

void OfferDraw(TCommandLine&) { Say("offer draw\n"); }

void PrintBoard(TCommandLine& C) {
  DrawSmallBoard(C.S);
  OutputFlush();
}

struct TXBoardCommand {
  const char* Word;
  // Would change the board, the game or the limits under a running search: answered "not legal now" there.
  bool RefusedInSearch;
  void (*Handler)(TCommandLine&);
};

constexpr TXBoardCommand Commands[] = {
    {"xboard", false, Nothing},
    {"accepted", false, Nothing},
    {"rejected", false, Nothing},
    {"quit", false, Quit},
    {"?", false, MoveNow},
    {"cores", true, Cores},
    {"setboard", true, SetBoard},
    {"edit", true, EditBoard},
    {"analyze", false, UnknownWord},
    {"protover", false, ProtocolVersion},
    {"new", true, NewGame},
    {"force", false, Force},
    {"go", true, Go},
    {"white", true, WhiteOrBlack},
    {"black", true, WhiteOrBlack},
    {"playother", true, PlayOther},
    {"st", true, SecondsPerMove},
    {"sd", true, SearchDepth},
    {"sn", true, SearchNodes},
    {"level", true, TimeControl},
    {"time", true, OwnClock},
    {"otim", true, OpponentClock},
    {"ping", false, Ping},
    {"hint", true, Hint},
    {"undo", true, Undo},
    {"remove", true, Remove},
    {"hard", true, HardOrEasy},
    {"easy", true, HardOrEasy},
    {"post", false, PostOrNot},
    {"nopost", false, PostOrNot},
    {"draw", false, OfferDraw},
    {"printit", true, PrintBoard},
};

// Any other word is a move, on its own or after "usermove".
void UserMove(TCommandLine& C, const std::string& Whole) {
  if (C.InSearch && HintThink.ComputerSide) {
    // The user has moved while the hint was being looked for: the hint is wanted no longer.
    if (HintThink.UserLine.empty()) HintThink.UserLine = Whole;
    C.S->AbortSearch = true;
  } else if (C.InSearch) {
    // A move typed ahead while the engine thinks is dropped; anything longer is an error.
    if (!C.Rest.empty()) NotLegalNow(C.Word);
  } else {
    const std::string Text = C.Word == "usermove" ? NextWord(C.Rest) : C.Word;
    const TMove Move = ParseMove(C.S, Text);
    if (Move != 0 && PlayGameMove(C.S, Move)) PrintResult(C.S);
    else Unknown(Text);
  }
}

void CarryOut(TState* S, std::string Line, int32_t& ComputerSide, bool InSearch, TXBoardClocks& Clocks) {
  const std::string Whole = Line;
  const std::string Word = NextWord(Line);
  TCommandLine C{S, Word, Line, ComputerSide, InSearch, Clocks};
  for (const TXBoardCommand& Command : Commands) {
    if (Word != Command.Word) continue;
    if (InSearch && Command.RefusedInSearch) NotLegalNow(Word);
    else Command.Handler(C);
    return;
  }
  UserMove(C, Whole);
}

}  // namespace

void ProcessXBoardInput(TState* S, int32_t& ComputerSide, bool InSearch, TXBoardClocks& Clocks) {
  if (S->Quit) return;
  std::string Line;
  if (!InputReadLine(!InSearch, Line)) {
    // The interface has gone: nobody is left to play against.
    if (InputEnded()) Leave(S);
    return;
  }
  OutputFlush();
  CarryOut(S, std::move(Line), ComputerSide, InSearch, Clocks);
}

void XBoard(TState* S) {
  InitBoard(S);
  int32_t ComputerSide = CBlack;
  TXBoardClocks Clocks;
  S->DumpState = false;
  S->Mode = MXBoard;
  S->Hooks = &XBoardHooks;
  S->MaxDepth = 256;
  Say("tellics say     Talvarind %s\n", VersionString().c_str());
  Say("tellics say     by Yorvane 'Kesk' Drummelt\n");
  S->Quit = false;
  while (!S->Quit) {
    OutputFlush();
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
        Say("%s\n", MoveToString(S->BestMove).c_str());
        if (PlayGameMove(S, S->BestMove)) {
          Say("move %s\n", MoveToString(S->BestMove).c_str());
          PrintResult(S);
          continue;
        }
      }
      Say("1/2-1/2 {Draw by internal chess engine error}\n");
    }
    ProcessXBoardInput(S, ComputerSide, false, Clocks);
  }
  OutputFlush();
}
