// The lines the dialogues write, as patterns and as parsed records: UCI's "bestmove" and "info" lines,
// XBoard's "move" and thinking lines, and the shell's replies.
#pragma once

#include <regex>
#include <string>
#include <vector>

// A move in coordinate text, as the engine writes it.
inline const std::string MovePattern = "[a-h][1-8][a-h][1-8][nbrq]?";
// UCI: the move, then " ponder MOVE" and the ponder move when there is one.
inline const std::regex BestMoveLine("bestmove (" + MovePattern + ")( ponder (" + MovePattern + "))?");
// XBoard: the move.
inline const std::regex MoveLine("move (" + MovePattern + ")");
// XBoard's thinking output: depth, score, centiseconds, nodes, and the principal variation (each move
// after a space; empty when there is none).
inline const std::regex ThinkingLine(" *([0-9]+) +(-?[0-9]+) +([0-9]+) +([0-9]+)((?: " + MovePattern + ")*)");

// One UCI report: either complete, or the bare head of an iteration that was stopped.
struct TInfoLine {
  bool Complete = false;
  int Depth = 0;
  int Score = 0;          // in the engine's units: a mate report is turned back into its score
  std::string ScoreText;  // as reported: "cp 25", "mate 3", "mate -2"
  long long Time = 0, Nodes = 0, Nps = 0;
  std::vector<std::string> PV;
  std::string Text;
};

// Reads one line as a report of either form; false for any other line.
bool ReadInfoLine(const std::string& Line, TInfoLine& Info);
// The same for complete reports only: false for a bare head too.
bool ReadCompleteInfo(const std::string& Line, TInfoLine& Info);
// Splits a UCI think's output into its info lines; every other line goes to Others. A line that starts
// like a report but has neither form fails the test.
std::vector<TInfoLine> InfoLines(const std::string& Output, std::vector<std::string>* Others = nullptr);
int CompleteCount(const std::vector<TInfoLine>& Infos);
const TInfoLine* LastComplete(const std::vector<TInfoLine>& Infos);
// Checks the shape every UCI think must have: iterations numbered 1, 2, 3 ... in order, all complete
// except possibly the last, which is then a bare head. A bare head followed by its whole line is one
// that a "readyok" cut.
void ExpectWellFormedIterations(const std::vector<TInfoLine>& All);

// The shell's answer to each line read: the text after each ">" prompt (no board or answer holds one),
// without its last line end, every drawn board (24 lines, the first holding a8 and the program's name)
// shown as "[board]" and perft times as N.
std::vector<std::string> Replies(std::string Text);
