#include "support/Processes.h"

#include <gtest/gtest.h>

#include <sched.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point Deadline) {
  const auto Left = std::chrono::duration_cast<milliseconds>(Deadline - Clock::now()).count();
  return Left > 0 ? int(Left) : 0;
}

// A child that stops reading must not kill the test process with SIGPIPE: writes then fail instead.
void IgnoreBrokenPipes() {
  static const bool Done = [] {
    struct sigaction Action {};
    Action.sa_handler = SIG_IGN;
    sigemptyset(&Action.sa_mask);
    sigaction(SIGPIPE, &Action, nullptr);
    return true;
  }();
  (void)Done;
}

void CloseFd(int& Fd) {
  if (Fd >= 0) close(Fd);
  Fd = -1;
}

// Prepared before fork: between fork and exec a threaded parent's child may only make async-signal-safe
// calls.
std::vector<char*> ArgumentVector(const std::string& Program, const std::vector<std::string>& Arguments) {
  std::vector<char*> Argv;
  Argv.push_back(const_cast<char*>(Program.c_str()));
  for (const std::string& Argument : Arguments) Argv.push_back(const_cast<char*>(Argument.c_str()));
  Argv.push_back(nullptr);
  return Argv;
}

// In the child: the signal set-up the engine would get from a shell.
void ResetSignals() {
  sigset_t None;
  sigemptyset(&None);
  sigprocmask(SIG_SETMASK, &None, nullptr);
  signal(SIGPIPE, SIG_DFL);
}

TExit Decode(int Status) {
  TExit Result;
  if (WIFEXITED(Status)) {
    Result.Exited = true;
    Result.Code = WEXITSTATUS(Status);
  } else if (WIFSIGNALED(Status)) {
    Result.Signal = WTERMSIG(Status);
  }
  return Result;
}

}  // namespace

milliseconds Patience(milliseconds Base) { return SanitizedRun() ? Base * 10 : Base; }

int UsableProcessorCount() {
  cpu_set_t Set;
  CPU_ZERO(&Set);
  if (sched_getaffinity(0, sizeof Set, &Set) != 0) return 1;
  const int Count = CPU_COUNT(&Set);
  return Count > 32 ? 32 : Count < 1 ? 1 : Count;
}

void WriteAll(int Fd, std::string_view Text) {
  while (!Text.empty()) {
    const ssize_t Count = write(Fd, Text.data(), Text.size());
    if (Count <= 0) {
      ADD_FAILURE() << "write to descriptor " << Fd << " failed";
      return;
    }
    Text.remove_prefix(size_t(Count));
  }
}

TRun RunCommand(const std::string& Command) {
  TRun Result;
  FILE* Pipe = popen(Command.c_str(), "r");
  if (!Pipe) return Result;
  char Buffer[512];
  size_t N;
  while ((N = fread(Buffer, 1, sizeof Buffer, Pipe)) > 0) Result.Output.append(Buffer, N);
  const int Raw = pclose(Pipe);
  Result.Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
  return Result;
}

TEngineProcess::~TEngineProcess() {
  if (Running()) {
    kill(Pid, SIGKILL);
    int Status;
    while (waitpid(Pid, &Status, 0) < 0 && errno == EINTR) {
    }
    Pid = -1;
  }
  CloseAll();
}

void TEngineProcess::CloseAll() {
  CloseFd(Input);
  CloseFd(Output);
  CloseFd(ErrorFile);
}

void TEngineProcess::Prepare() {
  IgnoreBrokenPipes();
  CloseAll();
  Buffer.clear();
  Ended = false;
}

bool TEngineProcess::Start(const std::string& Program, const std::vector<std::string>& Arguments, TErrors Errors) {
  if (Running()) return false;
  Prepare();
  std::vector<char*> Argv = ArgumentVector(Program, Arguments);

  int ToChild[2], FromChild[2];
  if (pipe2(ToChild, O_CLOEXEC) != 0) return false;
  if (pipe2(FromChild, O_CLOEXEC) != 0) {
    close(ToChild[0]);
    close(ToChild[1]);
    return false;
  }
  int ErrorTarget = -1;
  if (Errors == TErrors::Discard) {
    ErrorTarget = open("/dev/null", O_WRONLY | O_CLOEXEC);
  } else if (Errors == TErrors::Capture) {
    char Name[] = "/tmp/talvarind-stderr-XXXXXX";
    ErrorTarget = mkostemp(Name, O_CLOEXEC);
    if (ErrorTarget >= 0) unlink(Name);
  }

  const pid_t Child = fork();
  if (Child == 0) {
    ResetSignals();
    if (dup2(ToChild[0], STDIN_FILENO) < 0 || dup2(FromChild[1], STDOUT_FILENO) < 0) _exit(127);
    if (ErrorTarget >= 0 && dup2(ErrorTarget, STDERR_FILENO) < 0) _exit(127);
    execv(Program.c_str(), Argv.data());
    _exit(127);
  }
  close(ToChild[0]);
  close(FromChild[1]);
  if (Child < 0) {
    close(ToChild[1]);
    close(FromChild[0]);
    if (ErrorTarget >= 0) close(ErrorTarget);
    return false;
  }
  Pid = Child;
  Input = ToChild[1];
  Output = FromChild[0];
  if (Errors == TErrors::Capture) ErrorFile = ErrorTarget;
  else if (ErrorTarget >= 0) close(ErrorTarget);
  return true;
}

bool TEngineProcess::StartOnTerminal(const std::string& Program, const std::vector<std::string>& Arguments) {
  if (Running()) return false;
  Prepare();
  std::vector<char*> Argv = ArgumentVector(Program, Arguments);
  int Master = -1, Terminal = -1;
  winsize Size{};
  Size.ws_row = 25;
  Size.ws_col = 80;
  if (openpty(&Master, &Terminal, nullptr, nullptr, &Size) != 0) return false;
  fcntl(Master, F_SETFD, FD_CLOEXEC);
  fcntl(Terminal, F_SETFD, FD_CLOEXEC);
  const int Reader = fcntl(Master, F_DUPFD_CLOEXEC, 0);
  const pid_t Child = Reader < 0 ? -1 : fork();
  if (Child == 0) {
    ResetSignals();
    // A session of its own with the terminal as its controlling terminal, as a login shell would have.
    if (setsid() < 0 || ioctl(Terminal, TIOCSCTTY, 0) < 0) _exit(127);
    if (dup2(Terminal, STDIN_FILENO) < 0 || dup2(Terminal, STDOUT_FILENO) < 0 || dup2(Terminal, STDERR_FILENO) < 0)
      _exit(127);
    execv(Program.c_str(), Argv.data());
    _exit(127);
  }
  close(Terminal);
  if (Child < 0) {
    close(Master);
    if (Reader >= 0) close(Reader);
    return false;
  }
  Pid = Child;
  Input = Master;
  Output = Reader;
  return true;
}

bool TEngineProcess::SendRaw(std::string_view Text) {
  if (Input < 0) return false;
  while (!Text.empty()) {
    const ssize_t Count = write(Input, Text.data(), Text.size());
    if (Count < 0 && errno == EINTR) continue;
    if (Count <= 0) return false;
    Text.remove_prefix(size_t(Count));
  }
  return true;
}

bool TEngineProcess::Send(std::string_view Line) {
  std::string Text(Line);
  Text += '\n';
  return SendRaw(Text);
}

void TEngineProcess::CloseInput() { CloseFd(Input); }

bool TEngineProcess::Fill(milliseconds Timeout) {
  // Never started: nothing will ever arrive.
  if (Output < 0) Ended = true;
  if (Ended) return false;
  pollfd Poll{Output, POLLIN, 0};
  int Ready;
  do {
    Ready = poll(&Poll, 1, int(Timeout.count()));
  } while (Ready < 0 && errno == EINTR);
  if (Ready <= 0) return false;
  char Chunk[4096];
  ssize_t Count;
  do {
    Count = read(Output, Chunk, sizeof Chunk);
  } while (Count < 0 && errno == EINTR);
  if (Count <= 0) {
    Ended = true;
    return false;
  }
  Buffer.append(Chunk, size_t(Count));
  return true;
}

bool TEngineProcess::ReadLine(std::string& Line, milliseconds Timeout) {
  const auto Deadline = Clock::now() + Timeout;
  for (;;) {
    const size_t End = Buffer.find('\n');
    if (End != std::string::npos) {
      TakeLine(Line, End, 1);
      return true;
    }
    if (Ended) {
      // A last line without its terminator still counts.
      if (Buffer.empty()) return false;
      TakeLine(Line, Buffer.size(), 0);
      return true;
    }
    if (!Fill(milliseconds(RemainingMs(Deadline))) && !Ended) {
      if (RemainingMs(Deadline) == 0) return false;
    }
  }
}

bool TEngineProcess::ReadUntilText(std::string_view Text, std::string& Seen, milliseconds Timeout) {
  const auto Deadline = Clock::now() + Timeout;
  for (;;) {
    const size_t At = Buffer.find(Text);
    if (At != std::string::npos) {
      Seen = Buffer.substr(0, At + Text.size());
      Buffer.erase(0, At + Text.size());
      return true;
    }
    if (Ended || (!Fill(milliseconds(RemainingMs(Deadline))) && (Ended || RemainingMs(Deadline) == 0))) {
      Seen = Buffer;
      return false;
    }
  }
}

void TEngineProcess::TakeLine(std::string& Line, size_t Length, size_t Skip) {
  Line = Buffer.substr(0, Length);
  Buffer.erase(0, Length + Skip);
  if (CrLf && !Line.empty() && Line.back() == '\r') Line.pop_back();
}

bool TEngineProcess::ReadUntil(const std::function<bool(const std::string&)>& Wanted, std::string& Line,
                               milliseconds Timeout, std::vector<std::string>* Seen) {
  const auto Deadline = Clock::now() + Timeout;
  std::string Next;
  while (ReadLine(Next, milliseconds(RemainingMs(Deadline)))) {
    if (Seen) Seen->push_back(Next);
    if (Wanted(Next)) {
      Line = Next;
      return true;
    }
  }
  return false;
}

bool TEngineProcess::ReadUntilPrefix(std::string_view Prefix, std::string& Line, milliseconds Timeout,
                                     std::vector<std::string>* Seen) {
  return ReadUntil([Prefix](const std::string& L) { return L.compare(0, Prefix.size(), Prefix) == 0; }, Line, Timeout,
                   Seen);
}

bool TEngineProcess::LineWithin(milliseconds Timeout) {
  const auto Deadline = Clock::now() + Timeout;
  for (;;) {
    if (Buffer.find('\n') != std::string::npos) return true;
    if (Ended) return !Buffer.empty();
    if (!Fill(milliseconds(RemainingMs(Deadline))) && !Ended && RemainingMs(Deadline) == 0) return false;
  }
}

TExit TEngineProcess::Wait(milliseconds Timeout) {
  TExit Result;
  if (!Running()) return Result;
  const auto Deadline = Clock::now() + Timeout;
  int Status = 0;
  for (;;) {
    const pid_t Done = waitpid(Pid, &Status, WNOHANG);
    if (Done == Pid) {
      Result = Decode(Status);
      break;
    }
    if (Done < 0 && errno != EINTR) break;
    if (Clock::now() >= Deadline) {
      kill(Pid, SIGKILL);
      while (waitpid(Pid, &Status, 0) < 0 && errno == EINTR) {
      }
      Result = Decode(Status);
      Result.TimedOut = true;
      break;
    }
    std::this_thread::sleep_for(milliseconds(1));
  }
  Pid = -1;
  CloseFd(Input);
  return Result;
}

std::string TEngineProcess::Errors() const {
  std::string Text;
  if (ErrorFile < 0) return Text;
  char Chunk[4096];
  off_t At = 0;
  ssize_t Count;
  while ((Count = pread(ErrorFile, Chunk, sizeof Chunk, At)) > 0) {
    Text.append(Chunk, size_t(Count));
    At += Count;
  }
  return Text;
}
