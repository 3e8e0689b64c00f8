#include "engine/platform/StdInput.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int32_t ChunkBytes = 4096;

// Where standard input cannot be peeked at (a file, a device, a Unix pipe under Wine), a thread of its
// own makes the blocking reads and hands the chunks over one at a time.
struct TReader {
  HANDLE Source = nullptr;
  CRITICAL_SECTION Lock;
  HANDLE Taken = nullptr;  // auto-reset: the chunk has been handed out, read the next
  char Chunk[ChunkBytes];
  int32_t Position = 0;  // Position, Size and Ended under Lock
  int32_t Size = 0;
  bool Ended = false;
};

enum class TDevice { Console, Pipe, Reader };

HANDLE Device = nullptr;
TDevice Kind = TDevice::Pipe;
// Left running when the input is opened again: it may be inside a read that cannot be called off.
TReader* Reader = nullptr;

DWORD WINAPI ReaderBody(LPVOID Parameter) {
  TReader* R = static_cast<TReader*>(Parameter);
  char Local[ChunkBytes];
  for (;;) {
    DWORD Count = 0;
    const BOOL Read = ReadFile(R->Source, Local, sizeof Local, &Count, nullptr);
    EnterCriticalSection(&R->Lock);
    if (!Read || Count == 0) {
      R->Ended = true;
      LeaveCriticalSection(&R->Lock);
      return 0;
    }
    std::memcpy(R->Chunk, Local, Count);
    R->Position = 0;
    R->Size = int32_t(Count);
    LeaveCriticalSection(&R->Lock);
    WaitForSingleObject(R->Taken, INFINITE);
  }
}

TReader* StartReader(HANDLE Source) {
  TReader* R = new TReader;
  R->Source = Source;
  InitializeCriticalSection(&R->Lock);
  R->Taken = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE Thread = R->Taken ? CreateThread(nullptr, 0, &ReaderBody, R, 0, nullptr) : nullptr;
  // Without a reader the input cannot be read without waiting: count it as ended.
  if (Thread == nullptr) R->Ended = true;
  else CloseHandle(Thread);
  return R;
}

// Bytes waiting in the pipe; false when the peek failed, with Ended telling a writer that has gone.
bool PeekPipe(DWORD& Waiting, bool& Ended) {
  Waiting = 0;
  Ended = false;
  if (PeekNamedPipe(Device, nullptr, 0, nullptr, &Waiting, nullptr)) return true;
  Ended = GetLastError() == ERROR_BROKEN_PIPE;
  return false;
}

}  // namespace

TInputHandle StandardInputHandle() { return reinterpret_cast<TInputHandle>(GetStdHandle(STD_INPUT_HANDLE)); }

bool InputDeviceOpen(TInputHandle Handle) {
  Device = reinterpret_cast<HANDLE>(Handle);
  DWORD Mode = 0;
  if (GetConsoleMode(Device, &Mode)) {
    Kind = TDevice::Console;
    // Window-size and mouse events would count as pending input without ever making a line.
    SetConsoleMode(Device, Mode & ~DWORD(ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT));
    FlushConsoleInputBuffer(Device);
    return true;
  }
  DWORD Waiting;
  bool Ended;
  if (PeekPipe(Waiting, Ended) || Ended) {
    Kind = TDevice::Pipe;
  } else {
    Kind = TDevice::Reader;
    Reader = StartReader(Device);
  }
  return false;
}

int32_t InputDeviceReadWaiting(char* Buffer, int32_t Size) {
  if (Kind == TDevice::Reader) {
    int32_t Count = 0;
    EnterCriticalSection(&Reader->Lock);
    if (Reader->Position < Reader->Size) {
      Count = Reader->Size - Reader->Position < Size ? Reader->Size - Reader->Position : Size;
      std::memcpy(Buffer, Reader->Chunk + Reader->Position, size_t(Count));
      Reader->Position += Count;
      if (Reader->Position == Reader->Size) SetEvent(Reader->Taken);
    } else if (Reader->Ended) {
      Count = -1;
    }
    LeaveCriticalSection(&Reader->Lock);
    return Count;
  }
  DWORD Waiting;
  bool Ended;
  if (!PeekPipe(Waiting, Ended)) return Ended ? -1 : 0;
  if (Waiting == 0) return 0;
  // The bytes are there already, so this read does not wait.
  DWORD Count = 0;
  if (!ReadFile(Device, Buffer, Waiting < DWORD(Size) ? Waiting : DWORD(Size), &Count, nullptr))
    return GetLastError() == ERROR_BROKEN_PIPE ? -1 : 0;
  return int32_t(Count);
}

bool InputDeviceStreamReady() {
  if (Kind == TDevice::Reader) {
    EnterCriticalSection(&Reader->Lock);
    const bool Ready = Reader->Position < Reader->Size || Reader->Ended;
    LeaveCriticalSection(&Reader->Lock);
    return Ready;
  }
  DWORD Waiting;
  bool Ended;
  return PeekPipe(Waiting, Ended) ? Waiting > 0 : Ended;
}

// The console is read through the C runtime, which edits and assembles whole lines.
bool InputDeviceConsoleRead(char& C) {
  const int Ch = std::fgetc(stdin);
  if (Ch == EOF) return false;
  C = char(Ch);
  return true;
}

bool InputDeviceConsoleReadLine(std::string& S) {
  S.clear();
  char Chunk[256];
  while (std::fgets(Chunk, sizeof Chunk, stdin) != nullptr) {
    S += Chunk;
    if (!S.empty() && S.back() == '\n') break;
  }
  if (S.empty()) return false;
  if (S.back() == '\n') S.pop_back();
  if (!S.empty() && S.back() == '\r') S.pop_back();
  return true;
}

bool InputDeviceConsoleReady() {
  // A key makes two events, down and up: one pending event is not yet a keystroke.
  DWORD Events = 0;
  return GetNumberOfConsoleInputEvents(Device, &Events) && Events > 1;
}
