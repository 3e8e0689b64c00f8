// The engine's one way out: every line for an interface or a person is written here, to standard output
// unless a test has taken the output over.  Not for the search's inner loops: reports and replies only.
#pragma once

#include <cstdarg>
#include <string_view>

void OutputWrite(std::string_view Text);
void OutputChar(char C);
__attribute__((format(printf, 1, 2))) void OutputPrint(const char* Format, ...);
__attribute__((format(printf, 1, 0))) void OutputPrintList(const char* Format, std::va_list Arguments);
// Sends what was written on its way; interfaces act on each line as it comes.
void OutputFlush();

// A test's capture: while installed, text goes to Sink (called on the writing thread, with Context) and
// not to standard output.  nullptr puts standard output back.  Installed only while no search runs.
using TOutputSink = void (*)(std::string_view Text, void* Context);
void SetOutputSink(TOutputSink Sink, void* Context);
