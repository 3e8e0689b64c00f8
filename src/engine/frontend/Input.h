// Standard input for every front end: whole lines, a non-blocking line read for use during a search,
// a cheap "worth reading?" query, and the tokeniser that splits command lines into words.
#pragma once

#include <bitset>
#include <string>

#include "engine/platform/StdInput.h"

// A set of 8-bit characters.
using TCharSet = std::bitset<256>;

// Codes 0 to 32: the control characters and the space. Every front end splits its words with it.
const TCharSet& WhiteSpaceSet();

// Sets the layer up on standard input the first time; later calls do nothing. Every other operation
// calls it, so callers need not.
void InputInit();
// (Re)starts the layer on Handle, dropping buffered input, a partial line and the end-of-input mark.
// The handle stays the caller's.
void InputAttach(TInputHandle Handle);

// Next character. From a pipe or file a non-blocking call returns false at once when nothing is
// waiting; a blocking call waits. Both return false once input has ended.
bool InputRead(bool Blocking, char& C);
// Next line without its terminator; CR and LF each end a line. A non-blocking call that finds no
// complete line returns false and keeps the characters it has for the next call. On a console every
// call waits. A last line without terminator is delivered before the end is reported.
bool InputReadLine(bool Blocking, std::string& S);
// Whether a read may find something now: unread characters, waiting bytes, or the end of input.
// Consumes nothing.
bool InputAvailable();
// True once a read has met the end of input (writer gone, end of file, end-of-file key).
bool InputEnded();

// Removes the first word of S and returns it. The word ends at the first member of C, which is removed
// with it; Continuous also removes the separators that follow. Leading separators are not skipped, so
// S beginning with one gives an empty word.
std::string Parse(std::string& S, const TCharSet& C, bool Continuous);
