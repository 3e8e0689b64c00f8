#include "engine/frontend/XBoard.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

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
#include "engine/search/TransTable.h"

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

// The think that is running, which decides what a line read during it does.
enum class TThink {
  None,      // none, or one the dialogue did not start (the fuzz target's): the engine's own move
  Own,       // the engine's move: pings are answered after it
  Hint,      // the hint: the user's move and clocks are kept for after it
  Ponder,    // on the user's time, with the guessed reply made: a hit makes it the engine's own think
  Analysis,  // analyze mode: no end but a new board, "exit" or "quit"
};

// What the dialogue keeps beside the engine state between and during its thinks.
struct TDialogue {
  TThink Think = TThink::None;
  // The dialogue's own computer side and clocks while a hint, ponder or analysis think runs.
  int32_t* ComputerSide = nullptr;
  TXBoardClocks* Clocks = nullptr;
  // Lines that stopped a ponder or analysis think, carried out in order once it has stopped; those that
  // arrive after them join them.
  std::deque<std::string> Pending;
  // Pings that came during the engine's own think or the hint, answered after its move or the hint.
  std::vector<std::string> HeldPongs;
  bool Analysing = false;
  // The analysis search ended by itself (the last iteration, or no move): analysed again on a new board.
  bool AnalysisFinished = false;
  int32_t SavedPost = 0;     // "post" as it was before analysis, and as "post" and "nopost" set it during it
  TMove Guess = 0;           // the reply the ponder think has made
  bool Hit = false;          // the user played it
  std::string HintUserLine;  // the line with the user's move during the hint, if one came
};
TDialogue D;

// The pongs held back, now that the move or the hint is out.
void ReleasePongs() {
  for (const std::string& N : D.HeldPongs) Say("pong %s\n", N.c_str());
  D.HeldPongs.clear();
}

// The next line: one held back by a stopped think first, then standard input.
bool ReadLine(bool Blocking, std::string& Line) {
  if (!D.Pending.empty()) {
    Line = std::move(D.Pending.front());
    D.Pending.pop_front();
    return true;
  }
  return InputReadLine(Blocking, Line);
}

void Features(const TState* S) {
  Say("feature ping=1 setboard=1 playother=0 san=0 usermove=0 time=1 draw=1 sigint=0 sigterm=1 reuse=1 analyze=1 "
      "myname=\"Talvarind %s\" colors=1 ics=0 name=0 pause=0 nps=0 debug=0 memory=1 smp=%d done=1\n",
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
    if (!ReadLine(true, Line)) {
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
  // A double step's square stays only while its pawn and a taker do.
  DropImpossibleEnPassant(P);
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
  // A hint, ponder or analysis think works on the dialogue's own side and clocks; the engine's own think
  // on copies, which nothing it accepts changes but "force" (which ForcedInSearch carries).
  TXBoardClocks Unused;
  ProcessXBoardInput(S, D.ComputerSide ? *D.ComputerSide : ComputerSide, true, D.Clocks ? *D.Clocks : Unused);
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
void ApplyClocksFor(TState* S, int Engine, TXBoardClocks& Clocks) {
  if (Clocks.Own >= 0) S->TimeLeft[Engine] = Clocks.Own;
  if (Clocks.Opponent >= 0) S->TimeLeft[Engine ^ 1] = Clocks.Opponent;
  Clocks = TXBoardClocks{};
}
void ApplyClocks(TState* S, TXBoardClocks& Clocks) { ApplyClocksFor(S, S->Position.Side >> 3, Clocks); }

}  // namespace

const TSearchHooks XBoardHooks{InSearchInput, IterationStarted, IterationDone, nullptr, nullptr};

namespace {

// The result of a finished game, or null while it goes on.
const char* ResultText(TPosition* P) {
  if (IsCheckmate(P)) return P->Side == CWhite ? "0-1 {Black mates}" : "1-0 {White mates}";
  if (IsStalemate(P)) return "1/2-1/2 {Stalemate}";
  if (RepetitionCount(P) >= 3) return "1/2-1/2 {Draw by repetition}";
  if (P->ReversibleMoves >= 100) return "1/2-1/2 {Draw by fifty move rule}";
  return nullptr;
}

}  // namespace

void PrintResult(TState* S) {
  if (const char* Result = ResultText(&S->Position)) Say("%s\n", Result);
}

void ResetXBoardDialogue() {
  D = TDialogue{};
  ForcedInSearch = false;
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
  D.Think = TThink::Hint;
  D.ComputerSide = &C.ComputerSide;
  D.Clocks = &C.Clocks;
  D.HintUserLine.clear();
  const bool Found = ThinkHint(C.S);
  D.Think = TThink::None;
  D.ComputerSide = nullptr;
  D.Clocks = nullptr;
  if (Found) Say("Hint: %s\n", MoveToString(C.S->BestMove).c_str());
  ReleasePongs();
  if (!D.HintUserLine.empty() && !C.S->Quit) CarryOut(C.S, std::move(D.HintUserLine), C.ComputerSide, false, C.Clocks);
  D.HintUserLine.clear();
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

// "memory N": a table of N MiB, rounded down to a power of two as the Hash option is. A size that cannot be
// had is refused with the protocol's error line for a command the engine cannot carry out, and the table
// stays as it was.
void Memory(TCommandLine& C) {
  TState* S = C.S;
  int32_t N = 0;
  if (!C.Number(N)) return;
  const long long Kept = (long long)TranspositionTableMegabytes(S);
  switch (TranspositionTableResize(S, N)) {
    case TTableSizing::Done: break;
    case TTableSizing::MoreThanMemory:
      Say("Error (more than the machine's memory; the %lld MB table is kept): memory %d\n", Kept, N);
      break;
    case TTableSizing::CannotAllocate:
      Say("Error (the memory cannot be had; the %lld MB table is kept): memory %d\n", Kept, N);
      break;
  }
}

void SetBoard(TCommandLine& C) {
  Trim(C.Rest);
  SetPosition(&C.S->Position, C.Rest);
  C.S->HistoryPly = 0;
  if (IsIllegal(&C.S->Position)) Say("tellusererror Illegal position\n");
}

void EditBoard(TCommandLine& C) { Edit(C.S); }

void ProtocolVersion(TCommandLine& C) {
  int32_t N = 0;
  if (ReadNumber(NextWord(C.Rest), N) && N == 2) Features(C.S);
  else Unknown(C.Word);
}

void NewGame(TCommandLine& C) {
  InitBoard(C.S);
  ClearSearchTables(C.S);
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

// After everything before it: during the engine's own think or the hint, after its move or the hint.
void Ping(TCommandLine& C) {
  if (C.InSearch && (D.Think == TThink::Own || D.Think == TThink::Hint)) D.HeldPongs.push_back(C.Rest);
  else Say("pong %s\n", C.Rest.c_str());
}

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

void PostOrNot(TCommandLine& C) { C.S->PostThinking = C.Word == "post"; }

void OfferDraw(TCommandLine&) { Say("offer draw\n"); }

void PrintBoard(TCommandLine& C) {
  DrawSmallBoard(C.S);
  OutputFlush();
}

// Analyze mode: the engine plays neither side and thinks on every board it is given.
void Analyze(TCommandLine& C) {
  if (D.Analysing) return;
  D.Analysing = true;
  D.AnalysisFinished = false;
  C.ComputerSide = -1;
}

void ExitAnalysis(TCommandLine&) { D.Analysing = false; }

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
    // The status update of analyze mode is optional; unanswered, xboard sends no more of them.
    {".", false, Nothing},
    {"quit", false, Quit},
    {"?", false, MoveNow},
    {"cores", true, Cores},
    {"memory", true, Memory},
    {"setboard", true, SetBoard},
    {"edit", true, EditBoard},
    {"analyze", true, Analyze},
    {"exit", true, ExitAnalysis},
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

const TXBoardCommand* CommandNamed(const std::string& Word) {
  for (const TXBoardCommand& Command : Commands)
    if (Word == Command.Word) return &Command;
  return nullptr;
}

// Move text as the interface sends it, against a move: coordinates, the promotion letter in either case.
bool SameMove(std::string Text, TMove Move) {
  for (char& Ch : Text) Ch = char(std::tolower(static_cast<unsigned char>(Ch)));
  return Move != 0 && Text == MoveToString(Move);
}

// The user's move matched the guess: the ponder think becomes the engine's own, with a budget from the
// clocks the interface sent just before the move (the engine's clock as "time" gave it), counted from now.
void PonderHitNow(TState* S) {
  const int Engine = S->RootSide >> 3;
  if (D.Clocks) ApplyClocksFor(S, Engine, *D.Clocks);
  D.Hit = true;
  D.Think = TThink::Own;
  if (S->Thinking) {
    S->MaxThinkTime.store(ThinkBudgetFor(S, Engine), std::memory_order_relaxed);
    PonderHit(S);
  }
}

// A line during a ponder or analysis think. What changes nothing under the search is done at once; the
// guessed reply, when it comes, is a hit; anything else (a move, a board, the game, the limits, "easy",
// "force") stops the think and waits in Pending, to be carried out once the think has stopped (and the
// guess has been taken back).
void BesideTheGame(TCommandLine& C, const std::string& Whole) {
  TState* S = C.S;
  const std::string& W = C.Word;
  const bool Pondering = D.Think == TThink::Ponder;
  if (!D.Pending.empty()) {
    D.Pending.push_back(Whole);
    return;
  }
  if (W == "quit") return Leave(S);
  if (W == "ping") return Ping(C);
  if (W == "time") return OwnClock(C);
  if (W == "otim") return OpponentClock(C);
  if (W == "draw") return OfferDraw(C);
  if (W == "xboard" || W == "accepted" || W == "rejected" || W == "." || W == "?" || W == "protover") return;
  if (W == "post" || W == "nopost") {
    if (Pondering) PostOrNot(C);
    else D.SavedPost = W == "post";
    return;
  }
  // "hard" changes nothing under a ponder think; in analysis either word only sets the flag for later.
  if (W == "hard" && Pondering) return;
  if ((W == "hard" || W == "easy") && !Pondering) return HardOrEasy(C);
  if (Pondering && W == "hint") {
    Say("Hint: %s\n", MoveToString(D.Guess).c_str());
    return;
  }
  if (!Pondering && W == "exit") {
    D.Analysing = false;
    S->AbortSearch = true;
    return;
  }
  if (Pondering && (W == "usermove" || !CommandNamed(W))) {
    std::string Rest = C.Rest;
    if (SameMove(W == "usermove" ? NextWord(Rest) : W, D.Guess)) return PonderHitNow(S);
  }
  D.Pending.push_back(Whole);
  S->AbortSearch = true;
}

// Any other word is a move, on its own or after "usermove".
void UserMove(TCommandLine& C, const std::string& Whole) {
  if (C.InSearch && D.Think == TThink::Hint) {
    // The user has moved while the hint was being looked for: the hint is wanted no longer.
    if (D.HintUserLine.empty()) D.HintUserLine = Whole;
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
  if (InSearch && (D.Think == TThink::Ponder || D.Think == TThink::Analysis)) return BesideTheGame(C, Whole);
  if (const TXBoardCommand* Command = CommandNamed(Word)) {
    // The clocks sent while the hint is looked for come before the user's move: they are kept for it.
    const bool KeptDuringHint = D.Think == TThink::Hint && (Word == "time" || Word == "otim");
    if (InSearch && Command->RefusedInSearch && !KeptDuringHint) NotLegalNow(Word);
    else Command->Handler(C);
    return;
  }
  UserMove(C, Whole);
}

// The engine's move after its own think; false when it has none to play (or a "force" came meanwhile).
bool Answer(TState* S, int32_t& ComputerSide, bool Found) {
  if (ForcedInSearch) {
    ComputerSide = -1;
    ReleasePongs();
    return false;
  }
  // As ThinkAndExecute, with the "move" line the interface acts on after the bare one.
  if (Found) {
    Say("%s\n", MoveToString(S->BestMove).c_str());
    if (PlayGameMove(S, S->BestMove)) {
      Say("move %s\n", MoveToString(S->BestMove).c_str());
      PrintResult(S);
      ReleasePongs();
      return true;
    }
  }
  Say("1/2-1/2 {Draw by internal chess engine error}\n");
  ReleasePongs();
  return false;
}

// After the engine's move, with "hard": a ponder think on the position after the reply its variation
// expects (the table's move when the variation has none), until the user moves. True when the user played that reply
// and the think is now the engine's move (S->BestMove, Found); false when the guess was taken back (there was none, or
// the user did something else, which now waits in Pending).
bool Ponder(TState* S, int32_t& ComputerSide, TXBoardClocks& Clocks, bool& Found) {
  TMove Guess = S->PV[0] == S->BestMove ? S->PV[1] : 0;
  // A variation cut short by the table: the table's move for the position, if it has one.
  if (Guess == 0) {
    if (const uint64_t Data = TranspositionTableHashMoveProbe(&S->Position))
      if (IsLegalWithEnhancedCheck(&S->Position, TTDataMove(Data))) Guess = TTDataMove(Data);
  }
  const int Engine = ComputerSide >> 3;
  if (Guess == 0 || ComputerSide < 0 || !MakeMove(&S->Position, Guess)) return false;
  // A guess that ends the game leaves nothing to think about.
  if (ResultText(&S->Position)) {
    MakeUndoMove(&S->Position);
    return false;
  }
  const int64_t ClockBefore = S->TimeLeft[Engine];
  D.Think = TThink::Ponder;
  D.ComputerSide = &ComputerSide;
  D.Clocks = &Clocks;
  D.Guess = Guess;
  D.Hit = false;
  ForcedInSearch = false;
  S->PonderSearch = true;
  Found = Think(S);
  S->PonderSearch = false;
  if (!D.Hit) {
    // None of the ponder think was the engine's time.
    S->TimeLeft[Engine] = ClockBefore;
    // It ended by itself (a depth limit, the last iteration): the guess waits on the board for the user.
    while (!D.Hit && D.Pending.empty() && !S->Quit) {
      std::string Line;
      if (InputReadLine(true, Line)) CarryOut(S, std::move(Line), ComputerSide, true, Clocks);
      else if (InputEnded()) Leave(S);
    }
    // The move comes at once: only the increment is the engine's.
    if (D.Hit) ChargeClock(S, Engine, 0);
  }
  const bool Hit = D.Hit;
  D.Think = TThink::None;
  D.ComputerSide = nullptr;
  D.Clocks = nullptr;
  D.Guess = 0;
  D.Hit = false;
  if (!Hit) {
    MakeUndoMove(&S->Position);
    return false;
  }
  CountGameMove(S, Engine ^ 1);
  return true;
}

// An analysis think on the board as it is: endless, every iteration posted, until a line stops it.
void Analyse(TState* S, int32_t& ComputerSide, TXBoardClocks& Clocks) {
  const int32_t MaxDepth = S->MaxDepth;
  D.SavedPost = S->PostThinking;
  D.Think = TThink::Analysis;
  D.ComputerSide = &ComputerSide;
  D.Clocks = &Clocks;
  S->PostThinking = true;
  S->MaxDepth = 0;
  S->MaxThinkTime = 0;
  S->InfiniteSearch = true;
  S->NodeInterval = 32768;
  S->Hint = false;
  S->PonderSearch = true;
  DoThink(S);
  S->PonderSearch = false;
  D.Think = TThink::None;
  D.ComputerSide = nullptr;
  D.Clocks = nullptr;
  S->MaxDepth = MaxDepth;
  S->PostThinking = D.SavedPost;
  if (D.Pending.empty() && !S->AbortSearch) D.AnalysisFinished = true;
}

}  // namespace

void ProcessXBoardInput(TState* S, int32_t& ComputerSide, bool InSearch, TXBoardClocks& Clocks) {
  if (S->Quit) return;
  std::string Line;
  if (InSearch ? !InputReadLine(false, Line) : !ReadLine(true, Line)) {
    // The interface has gone: nobody is left to play against.
    if (InputEnded()) Leave(S);
    return;
  }
  OutputFlush();
  CarryOut(S, std::move(Line), ComputerSide, InSearch, Clocks);
}

void XBoard(TState* S) {
  InitBoard(S);
  ClearSearchTables(S);
  ResetXBoardDialogue();
  int32_t ComputerSide = CBlack;
  TXBoardClocks Clocks;
  S->PostThinking = false;
  S->Mode = MXBoard;
  S->Hooks = &XBoardHooks;
  S->MaxDepth = 256;
  Say("tellics say     Talvarind %s\n", VersionString().c_str());
  Say("tellics say     by Yorvane 'Kesk' Drummelt\n");
  S->Quit = false;
  while (!S->Quit) {
    OutputFlush();
    if (!D.Pending.empty()) {
      // What stopped the last think, now on the board the game is on.
      ProcessXBoardInput(S, ComputerSide, false, Clocks);
      continue;
    }
    if (D.Analysing) {
      ComputerSide = -1;
      if (!D.AnalysisFinished) {
        Analyse(S, ComputerSide, Clocks);
        continue;
      }
      // Analysed to the end: again once a line changes the board.
      const uint64_t Key = S->Position.Hash;
      const int32_t Ply = S->HistoryPly;
      ProcessXBoardInput(S, ComputerSide, false, Clocks);
      if (S->Position.Hash != Key || S->HistoryPly != Ply) D.AnalysisFinished = false;
      continue;
    }
    if (S->Position.Side == ComputerSide) {
      ApplyClocks(S, Clocks);
      ForcedInSearch = false;
      D.Think = TThink::Own;
      bool Found = Think(S);
      D.Think = TThink::None;
      bool Played = Answer(S, ComputerSide, Found);
      // With "hard", on the user's time, for as long as the guesses come true.
      while (Played && S->Pondering && !S->Quit && !ResultText(&S->Position) && Ponder(S, ComputerSide, Clocks, Found))
        Played = Answer(S, ComputerSide, Found);
      if (Played || ComputerSide != S->Position.Side || !D.Pending.empty()) continue;
    }
    ProcessXBoardInput(S, ComputerSide, false, Clocks);
  }
  D.Pending.clear();
  OutputFlush();
}
