// Standard input as the system offers it to the input layer: a console (terminal) whose runtime hands
// over whole lines, or a stream (pipe or file) from which waiting bytes are taken without ever waiting.
#pragma once

#include <cstdint>
#include <string>

// A file descriptor on Linux, a HANDLE on Windows.
using TInputHandle = intptr_t;

TInputHandle StandardInputHandle();

// Reads from Handle from now on (the handle stays the caller's); true when it is a console, which is
// then set up for line input.
bool InputDeviceOpen(TInputHandle Handle);

// Stream: moves waiting bytes, at most Size, into Buffer. The count, 0 when nothing is waiting, -1
// once the input has ended (writer gone, end of file).
int32_t InputDeviceReadWaiting(char* Buffer, int32_t Size);
// Stream: whether bytes or the end of input are waiting. Consumes nothing.
bool InputDeviceStreamReady();

// Console: the next character, or the next line without its terminator, waiting for it; false at the
// end of input.
bool InputDeviceConsoleRead(char& C);
bool InputDeviceConsoleReadLine(std::string& S);
// Console: whether a finished line may be waiting.
bool InputDeviceConsoleReady();
