#include "engine/frontend/Input.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <utility>

// Process-wide state. No locks: only the front-end thread and search thread 0 call in, and they take
// turns through the semaphore hand-off of the thread pool, which orders their accesses.
namespace {

constexpr int InputChunk = 4096;

bool InputAvailableReady = false;
// Pipe or file: read ahead into InputBuffer and build lines here. Terminal: the C line reader.
bool InputAvailablePipe = false;
int InputAvailableHandle = 0;
char InputBuffer[InputChunk + 1];
int32_t InputBufferPosition = 0;
int32_t InputBufferSize = 0;
std::string InputString;
bool InputHasEnded = false;

FILE* TerminalFile = nullptr;
bool TerminalFileOwned = false;

void ReleaseTerminalFile() {
  if (TerminalFile != nullptr && TerminalFileOwned) std::fclose(TerminalFile);
  TerminalFile = nullptr;
  TerminalFileOwned = false;
}

// Takes whatever is waiting, up to one chunk, without ever blocking; true when characters arrived.
// Sets InputHasEnded when the writer has gone or the file is exhausted.
bool FillInputBuffer() {
  pollfd Poll{InputAvailableHandle, POLLIN, 0};
  if (poll(&Poll, 1, 0) <= 0) return false;
  if ((Poll.revents & POLLNVAL) != 0) {
    InputHasEnded = true;
    return false;
  }
  // Readable or hung up, so this read returns at once: with data, or 0 at the end.
  ssize_t Count = read(InputAvailableHandle, InputBuffer, InputChunk);
  if (Count > 0) {
    InputBufferPosition = 0;
    InputBufferSize = int32_t(Count);
    return true;
  }
  if (Count == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) InputHasEnded = true;
  return false;
}

bool TerminalReadLine(std::string& S) {
  char* Line = nullptr;
  size_t Capacity = 0;
  ssize_t Length = getline(&Line, &Capacity, TerminalFile);
  if (Length < 0) {
    std::free(Line);
    InputHasEnded = true;
    return false;
  }
  if (Length > 0 && Line[Length - 1] == '\n') --Length;
  if (Length > 0 && Line[Length - 1] == '\r') --Length;
  S.assign(Line, size_t(Length));
  std::free(Line);
  return true;
}

bool TakeInputString(std::string& S) {
  S = std::move(InputString);
  InputString.clear();
  return true;
}

}  // namespace

const TCharSet& WhiteSpaceSet() {
  static const TCharSet Set((uint64_t(1) << 33) - 1);
  return Set;
}

void InputAttach(int Fd) {
  ReleaseTerminalFile();
  InputAvailableReady = true;
  InputAvailableHandle = Fd;
  InputAvailablePipe = isatty(Fd) == 0;
  if (!InputAvailablePipe) {
    if (Fd == STDIN_FILENO) {
      TerminalFile = stdin;
      clearerr(stdin);
    } else {
      // A stream of our own, so that closing it leaves the caller's descriptor open.
      int Copy = dup(Fd);
      TerminalFile = Copy >= 0 ? fdopen(Copy, "r") : nullptr;
      if (TerminalFile != nullptr) {
        TerminalFileOwned = true;
      } else {
        // Out of descriptors: the buffered path works on any descriptor.
        if (Copy >= 0) close(Copy);
        InputAvailablePipe = true;
      }
    }
  }
  InputBufferPosition = 0;
  InputBufferSize = 0;
  InputString.clear();
  InputHasEnded = false;
}

void InputInit() {
  if (!InputAvailableReady) InputAttach(STDIN_FILENO);
}

bool InputRead(bool Blocking, char& C) {
  InputInit();
  if (!InputAvailablePipe) {
    int Ch = InputHasEnded ? EOF : std::fgetc(TerminalFile);
    if (Ch == EOF) {
      InputHasEnded = true;
      return false;
    }
    C = char(Ch);
    return true;
  }
  for (;;) {
    if (InputBufferPosition < InputBufferSize) {
      C = InputBuffer[InputBufferPosition++];
      return true;
    }
    if (InputHasEnded) return false;
    if (FillInputBuffer()) continue;
    if (InputHasEnded || !Blocking) return false;
    // Polling rather than a blocking read keeps both kinds of read on one path.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

bool InputReadLine(bool Blocking, std::string& S) {
  InputInit();
  if (!InputAvailablePipe) return !InputHasEnded && TerminalReadLine(S);
  char C;
  while (InputRead(Blocking, C)) {
    if (C == '\r' || C == '\n') return TakeInputString(S);
    InputString += C;
  }
  // An unterminated last line still counts; the end is reported by the next call.
  if (InputHasEnded && !InputString.empty()) return TakeInputString(S);
  return false;
}

bool InputAvailable() {
  InputInit();
  if (InputHasEnded) return true;
  if (!InputAvailablePipe) {
    // The terminal hands over whole lines, so waiting bytes mean a finished line.
    int Waiting = 0;
    return ioctl(InputAvailableHandle, FIONREAD, &Waiting) == 0 && Waiting > 0;
  }
  if (InputBufferPosition < InputBufferSize) return true;
  pollfd Poll{InputAvailableHandle, POLLIN, 0};
  return poll(&Poll, 1, 0) > 0 && Poll.revents != 0;
}

bool InputEnded() {
  InputInit();
  return InputHasEnded;
}

std::string Parse(std::string& S, const TCharSet& C, bool Continuous) {
  auto IsSeparator = [&C](char Ch) { return C.test(static_cast<unsigned char>(Ch)); };
  size_t End = 0;
  while (End < S.size() && !IsSeparator(S[End])) ++End;
  std::string Word = S.substr(0, End);
  size_t Cut = End < S.size() ? End + 1 : End;
  if (Continuous)
    while (Cut < S.size() && IsSeparator(S[Cut])) ++Cut;
  S.erase(0, Cut);
  return Word;
}
