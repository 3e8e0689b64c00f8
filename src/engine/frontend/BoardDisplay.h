// Pictures of the current position for people at a console: the small framed diagram and the full
// screen with piece pictures, panel and move table.
#pragma once

#include <string>
#include <string_view>

#include "engine/core/State.h"

// "CHECKMATE !", "STALEMATE !", "CHECK AND DRAW !", "CHECK !", "DRAW !" or empty.
std::string StatusText(TPosition* Position);

// The pictures as code page 437 bytes, every line ended by a line feed.
std::string RenderSmallBoard(TState* S);
// 24 lines of 79 columns.
std::string RenderBigBoard(TState* S);

// Code page 437 text as the console wants it: UTF-8 on Linux, the bytes unchanged on Windows.
std::string ConsoleText(std::string_view Cp437);

// Write the pictures to standard output.
void DrawSmallBoard(TState* S);
void DrawBigBoard(TState* S);
