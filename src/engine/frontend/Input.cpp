#include "engine/frontend/Input.h"

#include <cstdint>
#include <utility>

#include "engine/platform/StdInput.h"
#include "engine/platform/Timer.h"

// Process-wide state. No locks: outside a think only the front end reads; during one, search thread 0 and
// the root search read only while holding the search's Polling flag (search/TimeControl.cpp), whose
// acquire and release order their accesses.
namespace {

constexpr int InputChunk = 4096;

bool InputAvailableReady = false;
// Pipe or file: read ahead into InputBuffer and build lines here. Console: the runtime's line reader.
bool InputAvailablePipe = false;
char InputBuffer[InputChunk + 1];
int32_t InputBufferPosition = 0;
int32_t InputBufferSize = 0;
std::string InputString;
bool InputHasEnded = false;

// Takes whatever is waiting, up to one chunk, without ever blocking; true when characters arrived.
bool FillInputBuffer() {
  const int32_t Count = InputDeviceReadWaiting(InputBuffer, InputChunk);
  if (Count > 0) {
    InputBufferPosition = 0;
    InputBufferSize = Count;
    return true;
  }
  if (Count < 0) InputHasEnded = true;
  return false;
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

void InputAttach(TInputHandle Handle) {
  InputAvailableReady = true;
  InputAvailablePipe = !InputDeviceOpen(Handle);
  InputBufferPosition = 0;
  InputBufferSize = 0;
  InputString.clear();
  InputHasEnded = false;
}

void InputInit() {
  if (!InputAvailableReady) InputAttach(StandardInputHandle());
}

bool InputRead(bool Blocking, char& C) {
  InputInit();
  if (!InputAvailablePipe) {
    if (!InputHasEnded && InputDeviceConsoleRead(C)) return true;
    InputHasEnded = true;
    return false;
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
    SleepMilliseconds(1);
  }
}

bool InputReadLine(bool Blocking, std::string& S) {
  InputInit();
  if (!InputAvailablePipe) {
    if (!InputHasEnded && InputDeviceConsoleReadLine(S)) return true;
    InputHasEnded = true;
    return false;
  }
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
  if (!InputAvailablePipe) return InputDeviceConsoleReady();
  return InputBufferPosition < InputBufferSize || InputDeviceStreamReady();
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
