#include "engine/platform/StdInput.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

int Device = STDIN_FILENO;
// The terminal is read through a C stream, which assembles whole lines.
FILE* TerminalFile = nullptr;
bool TerminalFileOwned = false;

void ReleaseTerminalFile() {
  if (TerminalFile != nullptr && TerminalFileOwned) std::fclose(TerminalFile);
  TerminalFile = nullptr;
  TerminalFileOwned = false;
}

}  // namespace

TInputHandle StandardInputHandle() { return STDIN_FILENO; }

bool InputDeviceOpen(TInputHandle Handle) {
  ReleaseTerminalFile();
  Device = int(Handle);
  if (isatty(Device) == 0) return false;
  if (Device == STDIN_FILENO) {
    TerminalFile = stdin;
    clearerr(stdin);
    return true;
  }
  // A stream of our own, so that closing it leaves the caller's descriptor open.
  int Copy = dup(Device);
  TerminalFile = Copy >= 0 ? fdopen(Copy, "r") : nullptr;
  if (TerminalFile == nullptr) {
    // Out of descriptors: the stream path works on any descriptor.
    if (Copy >= 0) close(Copy);
    return false;
  }
  TerminalFileOwned = true;
  return true;
}

int32_t InputDeviceReadWaiting(char* Buffer, int32_t Size) {
  pollfd Poll{Device, POLLIN, 0};
  if (poll(&Poll, 1, 0) <= 0) return 0;
  if ((Poll.revents & POLLNVAL) != 0) return -1;
  // Readable or hung up, so this read returns at once: with data, or 0 at the end.
  ssize_t Count = read(Device, Buffer, size_t(Size));
  if (Count > 0) return int32_t(Count);
  if (Count == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) return -1;
  return 0;
}

bool InputDeviceStreamReady() {
  pollfd Poll{Device, POLLIN, 0};
  return poll(&Poll, 1, 0) > 0 && Poll.revents != 0;
}

bool InputDeviceConsoleRead(char& C) {
  const int Ch = std::fgetc(TerminalFile);
  if (Ch == EOF) return false;
  C = char(Ch);
  return true;
}

bool InputDeviceConsoleReadLine(std::string& S) {
  char* Line = nullptr;
  size_t Capacity = 0;
  ssize_t Length = getline(&Line, &Capacity, TerminalFile);
  if (Length < 0) {
    std::free(Line);
    return false;
  }
  if (Length > 0 && Line[Length - 1] == '\n') --Length;
  if (Length > 0 && Line[Length - 1] == '\r') --Length;
  S.assign(Line, size_t(Length));
  std::free(Line);
  return true;
}

bool InputDeviceConsoleReady() {
  // The terminal hands over whole lines, so waiting bytes mean a finished line.
  int Waiting = 0;
  return ioctl(Device, FIONREAD, &Waiting) == 0 && Waiting > 0;
}
