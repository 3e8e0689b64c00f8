#include "engine/frontend/Shell.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "engine/board/Position.h"
#include "engine/eval/Eval.h"
#include "engine/frontend/BoardDisplay.h"
#include "engine/frontend/Input.h"
#include "engine/frontend/Settings.h"
#include "engine/frontend/UCI.h"
#include "engine/frontend/Words.h"
#include "engine/frontend/XBoard.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/MoveGen.h"
#include "engine/moves/Notation.h"
#include "engine/platform/Output.h"
#include "engine/platform/Timer.h"
#include "engine/search/Think.h"
#include "engine/search/TimeControl.h"

namespace {

// A yes/no setting as the prompts show it, indexed by the setting.
constexpr const char* YN = "ny";

// Perft recurses once per ply with a move list on the stack; far deeper than any count that could ever
// finish, a typed depth would only overflow the stack.
constexpr int32_t MaxPerftDepth = MaxPly;

// A line of the shell's own; the next prompt flushes it.
void PrintLine(const char* Text) {
  OutputWrite(Text);
  OutputChar('\n');
}

std::string Upper(std::string Text) {
  for (char& C : Text)
    if (C >= 'a' && C <= 'z') C = char(C - 'a' + 'A');
  return Text;
}

std::string Lower(std::string Text) {
  for (char& C : Text)
    if (C >= 'A' && C <= 'Z') C = char(C - 'A' + 'a');
  return Text;
}

// The next typed line. The end of input ends the shell as "quit" does: a script that runs out of lines
// must not leave it prompting for ever.
bool ReadShellLine(TState* S, std::string& Line) {
  OutputFlush();
  while (!InputReadLine(true, Line)) {
    if (InputEnded()) {
      // The prompt's line is still open; the terminal's own prompt should not follow it.
      OutputChar('\n');
      S->Quit = true;
      return false;
    }
  }
  return true;
}

// A value command's number: the next word of Line, otherwise asked for once with the prompt and read
// again silently until a line holds one. A word that is not a number first sets Value to 0, which the
// prompt then shows when Shown is Value itself. False when the input ended instead.
template <typename T>
bool ReadValue(TState* S, std::string& Line, const char* Prompt, const T& Shown, T& Value) {
  std::string Word = NextWord(Line);
  Trim(Word);
  if (ReadNumber(Word, Value)) return true;
  if (!Word.empty()) Value = 0;
  OutputPrint("%s%lld)? ", Prompt, (long long)Shown);
  do {
    if (!ReadShellLine(S, Word)) return false;
    Trim(Word);
  } while (!ReadNumber(Word, Value));
  return true;
}

// A yes/no command's answer, taken and asked for like a number, but only a single "y" or "n" will do.
bool ReadYesNo(TState* S, std::string& Line, const char* Prompt, bool Current, bool& Yes) {
  std::string Word = NextWord(Line);
  for (;;) {
    Trim(Word);
    Word = Lower(Word);
    if (Word == "y" || Word == "n") {
      Yes = Word == "y";
      return true;
    }
    if (Prompt) OutputPrint("%s(%c)? ", Prompt, YN[Current]);
    Prompt = nullptr;
    if (!ReadShellLine(S, Word)) return false;
  }
}

void PrintHistory(const TState* S) {
  for (int32_t K = 0; K < S->HistoryPly; K++)
    OutputPrint("%5s %s", MoveToString(S->HistoryStack[K].Move).c_str(), (K + 1) % 8 == 0 ? "\n" : "");
  if (S->HistoryPly % 8 != 0) OutputChar('\n');
}

void PrintLegalMoves(TState* S) {
  TMoveBuffer Moves;
  const int Count = GenerateLegalMoves(&S->Position, Moves);
  for (int I = 0; I < Count; I++) OutputPrint("%s%c", MoveToString(Moves[I]).c_str(), (I + 1) % 16 == 0 ? '\n' : ' ');
  if (Count % 16 != 0) OutputChar('\n');
}

bool RunPerft(TState* S, std::string& Line) {
  const int32_t Suggested = 1;
  int32_t Depth = Suggested;
  if (!ReadValue(S, Line, "Maximal depth (", Suggested, Depth)) return false;
  if (Depth > MaxPerftDepth) Depth = MaxPerftDepth;
  const THighResTime Start = HighResTimerGetTime();
  const uint64_t Leaves = Perft(&S->Position, Depth);
  const int64_t Ms = HighResTimeToMilliseconds(HighResTimerGetTime() - Start);
  OutputPrint("Found %llu moves in %lld milliseconds\n", (unsigned long long)Leaves, (long long)Ms);
  return false;
}

bool SetUpPosition(TState* S, std::string Line) {
  Trim(Line);
  if (Line.empty()) {
    OutputPrint("Position? ");
    if (!ReadShellLine(S, Line)) return true;
    Trim(Line);
    if (Line.empty()) {
      PrintLine("Invalid input!");
      return false;
    }
  }
  SetUpUCIPosition(S, Line);
  return true;
}

// File letter, rank digit, file letter, rank digit, and perhaps a piece letter; already in upper case.
bool LooksLikeMove(const std::string& Word) {
  if (Word.size() != 4 && Word.size() != 5) return false;
  for (int I = 0; I < 4; I += 2)
    if (Word[I] < 'A' || Word[I] > 'H' || Word[I + 1] < '1' || Word[I + 1] > '8') return false;
  return Word.size() == 4 || std::string_view("BKNPQR").find(Word[4]) != std::string_view::npos;
}

bool EnterMove(TState* S, const std::string& Word) {
  if (!LooksLikeMove(Word)) {
    PrintLine("Invalid input!");
    return false;
  }
  const TMove Move = ParseMove(S, Word);
  if (Move == 0) {
    PrintLine("Illegal move!");
    return false;
  }
  // The user's clock runs from the last time the shell handed over the move.
  const int Side = S->Position.Side >> 3;
  const int64_t Before = S->TimeLeft[Side];
  const int64_t Now = GetMilliseconds();
  if (S->MaxTime > 0) S->StopTime = Now;
  ChargeClock(S, Side, Now - S->StartTime);
  if (!PlayGameMove(S, Move)) {
    S->TimeLeft[Side] = Before;
    PrintLine("Illegal move!");
    return false;
  }
  // The other side's thinking starts now, also when one person plays both sides.
  S->StartTime = Now;
  return true;
}

void SelfPlay(TState* S) {
  // IsStalemate also holds for a mated side.
  while (!IsDraw(&S->Position) && !IsStalemate(&S->Position)) {
    DrawBigBoard(S);
    if (!ThinkAndExecute(S)) break;
  }
  S->StartTime = GetMilliseconds();
}

// One typed command: its word in upper case, the rest of the line, and the whole line. A handler answers
// whether the board is to be drawn again.
struct TShellLine {
  TState* S;
  const std::string& Word;
  std::string& Rest;
  const std::string& Whole;
};

bool Dialogue(TShellLine& C) {
  if (C.Word == "XBOARD") XBoard(C.S);
  else UCI(C.S, C.Whole);
  // A dialogue returns on its "quit" or when its input has ended; either way the program is done.
  C.S->Quit = true;
  return true;
}

bool NewGame(TShellLine& C) {
  TState* S = C.S;
  InitBoard(S);
  ClearSearchTables(S);
  S->TimeLeft[0] = S->TimeLeft[1] = S->MaxTime;
  S->MovesLeft[0] = S->MovesLeft[1] = S->MovesPerControl;
  S->StartTime = GetMilliseconds();
  return true;
}

bool Find(TShellLine& C) {
  const bool Played = ThinkAndExecute(C.S);
  C.S->StartTime = GetMilliseconds();
  return Played;
}

bool Evaluate(TShellLine& C) {
  OutputPrint("%d\n", C.Word == "EVAL" ? Eval(&C.S->Position) : EvalFast(&C.S->Position));
  C.S->StartTime = GetMilliseconds();
  return false;
}

bool Undo(TShellLine& C) { return MakeUndoMove(&C.S->Position); }

bool History(TShellLine& C) {
  PrintHistory(C.S);
  return false;
}

bool Legal(TShellLine& C) {
  PrintLegalMoves(C.S);
  return false;
}

bool Quit(TShellLine& C) {
  C.S->Quit = true;
  return true;
}

// Self-play itself belongs to the loop, for the exact line "self" only.
bool ShowBoard(TShellLine&) { return true; }

bool Depth(TShellLine& C) {
  ReadValue(C.S, C.Rest, "Maximal depth (", C.S->MaxDepth, C.S->MaxDepth);
  return true;
}

bool Perft(TShellLine& C) { return RunPerft(C.S, C.Rest); }

bool Threads(TShellLine& C) {
  TState* S = C.S;
  if (ReadValue(S, C.Rest, "Maximal threads (", S->UsedThreadCount, S->MaxThreadCount))
    SetThreadLimit(S, S->MaxThreadCount);
  return true;
}

bool ThreadSleeping(TShellLine& C) {
  bool Yes = false;
  if (ReadYesNo(C.S, C.Rest, "Should threads can sleeping [y/n] ", C.S->UseThreadSleeping != 0, Yes))
    C.S->UseThreadSleeping = Yes;
  return true;
}

bool FastEval(TShellLine& C) {
  bool Yes = false;
  if (ReadYesNo(C.S, C.Rest, "Should use fast evaluation [y/n] ", C.S->UseFastEval != 0, Yes)) C.S->UseFastEval = Yes;
  return true;
}

bool Time(TShellLine& C) {
  TState* S = C.S;
  if (ReadValue(S, C.Rest, "Maximal time in milliseconds (", S->MaxTime, S->MaxTime))
    S->TimeLeft[0] = S->TimeLeft[1] = S->MaxTime;
  S->StartTime = GetMilliseconds();
  return true;
}

bool TimeIncrement(TShellLine& C) {
  TState* S = C.S;
  if (ReadValue(S, C.Rest, "Time increment in milliseconds (", S->TimeIncrement[0], S->TimeIncrement[0]))
    S->TimeIncrement[1] = S->TimeIncrement[0];
  S->StartTime = GetMilliseconds();
  return true;
}

bool Moves(TShellLine& C) {
  TState* S = C.S;
  if (ReadValue(S, C.Rest, "Max moves (", S->MovesPerControl, S->MovesPerControl))
    S->MovesLeft[0] = S->MovesLeft[1] = S->MovesPerControl;
  return true;
}

bool Nodes(TShellLine& C) {
  ReadValue(C.S, C.Rest, "Max nodes (", C.S->MaxNodes, C.S->MaxNodes);
  return true;
}

bool Position(TShellLine& C) { return SetUpPosition(C.S, C.Rest); }

bool PrintHelp(TShellLine&);

// The shell's commands in the order the help lists them; a command of several names lists them with
// slashes between.
struct TShellCommand {
  const char* Names;
  const char* Help;
  bool (*Handler)(TShellLine&);
};

constexpr TShellCommand Commands[] = {
    {"new", "New game", NewGame},
    {"exit/quit", "Back to OS", Quit},
    {"depth", "Set maximal depth", Depth},
    {"eval", "Print the evalution value", Evaluate},
    {"evalfast", "Print the fast evalution value", Evaluate},
    {"fasteval", "Set fast evaluation on/off", FastEval},
    {"find", "Find next move", Find},
    {"legal", "List legal moves", Legal},
    {"help", "This help", PrintHelp},
    {"hist", "Print full history", History},
    {"moves", "Set maximal moves", Moves},
    {"nodes", "Set maximal nodes", Nodes},
    {"perft", "Perform perft test and benchmark", Perft},
    {"position", "Set board position with UCI-style syntax", Position},
    {"threads", "Set maximal thread count", Threads},
    {"threadsleeping", "Set thread sleeping on/off", ThreadSleeping},
    {"time", "Set maximal time", Time},
    {"timeinc", "Set time increment", TimeIncrement},
    {"self", "Selfplaying", ShowBoard},
    {"uci", "UCI interface", Dialogue},
    {"undo", "Undo a move", Undo},
    {"view", "Print board", ShowBoard},
    {"xboard", "XBoard/WinBoard interface", Dialogue},
};

// Whether Word, in capitals, is one of the command's names.
bool IsNamed(const TShellCommand& Command, std::string_view Word) {
  for (std::string_view Rest = Command.Names;;) {
    const size_t Slash = Rest.find('/');
    const std::string_view Name = Rest.substr(0, Slash);
    if (Name.size() == Word.size() && Upper(std::string(Name)) == Word) return true;
    if (Slash == std::string_view::npos) return false;
    Rest.remove_prefix(Slash + 1);
  }
}

bool PrintHelp(TShellLine&) {
  for (const TShellCommand& Command : Commands) OutputPrint("%-15s%s\n", Command.Names, Command.Help);
  PrintLine("otherwise move like a2a3 or a7a8q (\"nbrq\" as last char for promotion)");
  return false;
}

}  // namespace

bool ParseAndExecute(TState* S, std::string Line) {
  const std::string Whole = Line;
  const std::string Word = Upper(NextWord(Line)).substr(0, 32);
  TShellLine C{S, Word, Line, Whole};
  for (const TShellCommand& Command : Commands)
    if (IsNamed(Command, Word)) return Command.Handler(C);
  // Anything else is a move.
  return EnterMove(S, Word);
}

namespace {

// A think's only output in the shell is the move it chose, on a line of its own.
void AnswerMove(TState*, TMove Move) {
  if (!Move) return;
  OutputPrint("%s\n", MoveToString(Move).c_str());
  OutputFlush();
}

}  // namespace

const TSearchHooks ShellHooks{nullptr, nullptr, nullptr, nullptr, AnswerMove};

void ShellInterface(TState* S) {
  S->Mode = MNone;
  S->Hooks = &ShellHooks;
  S->Quit = false;
  S->StartTime = GetMilliseconds();
  bool ShowBoardNext = true;
  std::string Line;
  while (!S->Quit) {
    if (ShowBoardNext) DrawBigBoard(S);
    OutputChar('>');
    if (!ReadShellLine(S, Line)) break;
    if (Line == "self") SelfPlay(S);
    ShowBoardNext = ParseAndExecute(S, Line);
  }
  OutputFlush();
}
