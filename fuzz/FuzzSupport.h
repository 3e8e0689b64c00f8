// What the fuzz targets share: feeding a dialogue, keeping one input from steering the next, and
// checking positions.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzTargets.h"

namespace fuzz {

// The lines of Data as the input layer cuts them: CR and LF each end one; a last line without an end counts.
std::vector<std::string> InputLines(std::string_view Data);

// Settings and game back to the engine's defaults, so that what one input set cannot steer the next. The
// table is declared clean without being wiped: a gigabyte per input would leave no time for fuzzing, and
// stale entries are what a search must cope with anyway.
void ResetState(TState* S);

// Runs Dialogue with Input waiting in the input layer, then the end of input, and standard output thrown
// away. Input longer than a pipe holds is cut short.
void RunOnInput(std::string_view Input, const std::function<void()>& Dialogue);

// Leaves the input layer on an empty pipe whose writer is gone, so that nothing later reads a closed
// descriptor or waits.
void ParkInput();

// Adds "Where: Faults" to the findings when there are faults.
void Note(TFindings& F, std::string_view Where, const std::string& Faults);
// The whole-position check of the state's position.
void CheckPosition(TFindings& F, const TState* S, std::string_view Where);

// Makes and takes back every generated move and, for legal ones, the replies down to Depth plies; each
// made position must be whole and each take-back restore the position exactly. Budget caps the makes.
void CheckMovesFrom(TFindings& F, TPosition* P, int Depth, int& Budget);

// The fields in which two positions differ, empty when none.
std::string PositionDifference(const TPosition& A, const TPosition& B);

}  // namespace fuzz
