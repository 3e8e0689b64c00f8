// A child process driven through pipes, line by line, the way a chess interface drives an engine.
// Every wait has a deadline, so an engine that hangs fails its test instead of stalling the suite.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "support/TestState.h"

using std::chrono::milliseconds;

// A deadline for work that takes Base in a plain build, stretched under the sanitizers.
milliseconds Patience(milliseconds Base);

// What the engine itself counts: the processors this process may run on, at most 32.
int UsableProcessorCount();
// Writes all of Text to a file descriptor (a failure is reported to the running test).
void WriteAll(int Fd, std::string_view Text);

// A shell command's standard output and exit status (-1 when it did not exit normally).
struct TRun {
  std::string Output;
  int Status = -1;
};
TRun RunCommand(const std::string& Command);

// How a process ended.
struct TExit {
  bool Exited = false;  // ended by itself with Code
  int Code = -1;
  int Signal = 0;         // killed by this signal
  bool TimedOut = false;  // still running at the deadline, then killed
  bool Clean() const { return Exited && Code == 0; }
};

class TEngineProcess {
 public:
  enum class TErrors { Inherit, Discard, Capture };

  TEngineProcess() = default;
  TEngineProcess(const TEngineProcess&) = delete;
  TEngineProcess& operator=(const TEngineProcess&) = delete;
  // Kills a process that is still running.
  ~TEngineProcess();

  // Starts Program with Arguments (not counting the program name). Standard error goes to ours, nowhere,
  // or to a file read back with Errors().
  bool Start(const std::string& Program, const std::vector<std::string>& Arguments, TErrors Errors = TErrors::Inherit);
  // Starts Program on a new pseudo-terminal, as a person at a console runs it: standard input, output and
  // error are the terminal, which echoes what is sent and ends output lines with CR LF.
  bool StartOnTerminal(const std::string& Program, const std::vector<std::string>& Arguments);
  bool Running() const { return Pid > 0; }
  pid_t Id() const { return Pid; }

  // The program ends its lines with CR LF (a Windows program): lines are read without the CR too.
  void ExpectCrLf() { CrLf = true; }

  // Writes Line and a line feed; false when the process no longer reads.
  bool Send(std::string_view Line);
  // Writes Text as it is.
  bool SendRaw(std::string_view Text);
  // Closes the child's standard input: the end of input for it.
  void CloseInput();

  // The next output line without its terminator; false when none came within Timeout or output ended.
  bool ReadLine(std::string& Line, milliseconds Timeout);
  // Reads lines until one satisfies Wanted (which is then returned in Line); every line read, the last
  // one included, is appended to Seen when given. False on timeout or end of output.
  bool ReadUntil(const std::function<bool(const std::string&)>& Wanted, std::string& Line, milliseconds Timeout,
                 std::vector<std::string>* Seen = nullptr);
  bool ReadUntilPrefix(std::string_view Prefix, std::string& Line, milliseconds Timeout,
                       std::vector<std::string>* Seen = nullptr);
  // Reads until Text has arrived, line end or not (a prompt); Seen gets everything read through Text, or
  // everything read so far when it did not come within Timeout (then false).
  bool ReadUntilText(std::string_view Text, std::string& Seen, milliseconds Timeout);
  // Whether a complete line arrives within Timeout; the line is kept for the next read.
  bool LineWithin(milliseconds Timeout);
  // True once the child has closed its standard output and every line has been read.
  bool OutputEnded() const { return Ended && Buffer.empty(); }

  // Waits for the process to end; one still running after Timeout is killed.
  TExit Wait(milliseconds Timeout);
  // What the process wrote to standard error so far, when started with TErrors::Capture.
  std::string Errors() const;

 private:
  // Reads what arrives within Timeout into Buffer; false when nothing came.
  bool Fill(milliseconds Timeout);
  // Moves the first Length bytes of Buffer into Line, dropping Skip more (the terminator).
  void TakeLine(std::string& Line, size_t Length, size_t Skip);
  void CloseAll();
  // Forgets the last process's output before a start.
  void Prepare();

  pid_t Pid = -1;
  int Input = -1;
  int Output = -1;
  int ErrorFile = -1;
  std::string Buffer;
  bool Ended = false;
  bool CrLf = false;
};
