// talvarind-pipe-relay PROGRAM [ARGUMENTS ...]: runs PROGRAM with its standard input on a Windows pipe,
// as a chess interface starts an engine, and copies the relay's own standard input into that pipe as
// it arrives. Under Wine the relay's input is a Unix pipe, which Windows programs cannot peek at; this
// puts the engine on the kind of pipe it meets on Windows. Output goes straight to the relay's. The
// relay ends with the program's exit status.
#include <windows.h>

#include <cstdio>

namespace {

HANDLE PipeToProgram = nullptr;

// Everything after the relay's own name, exactly as it was quoted.
const char* ProgramCommandLine() {
  const char* C = GetCommandLineA();
  if (*C == '"') {
    ++C;
    while (*C && *C != '"') ++C;
    if (*C) ++C;
  } else {
    while (*C && *C != ' ' && *C != '\t') ++C;
  }
  while (*C == ' ' || *C == '\t') ++C;
  return C;
}

// Copies our input to the program until either side ends, then closes the pipe: the program's end
// of input.
DWORD WINAPI Copy(LPVOID) {
  HANDLE Input = GetStdHandle(STD_INPUT_HANDLE);
  char Chunk[4096];
  DWORD Count;
  while (ReadFile(Input, Chunk, sizeof Chunk, &Count, nullptr) && Count > 0) {
    for (DWORD Done = 0, Written; Done < Count; Done += Written)
      if (!WriteFile(PipeToProgram, Chunk + Done, Count - Done, &Written, nullptr)) return 0;
  }
  CloseHandle(PipeToProgram);
  return 0;
}

HANDLE Inheritable(DWORD Which) {
  HANDLE Handle = GetStdHandle(Which);
  SetHandleInformation(Handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  return Handle;
}

}  // namespace

int main() {
  static char CommandLine[32768];
  lstrcpynA(CommandLine, ProgramCommandLine(), sizeof CommandLine);
  if (!*CommandLine) {
    std::fprintf(stderr, "usage: talvarind-pipe-relay PROGRAM [ARGUMENTS ...]\n");
    return 2;
  }
  SECURITY_ATTRIBUTES Attributes{sizeof Attributes, nullptr, TRUE};
  HANDLE ProgramInput;
  if (!CreatePipe(&ProgramInput, &PipeToProgram, &Attributes, 0)) return 3;
  // Only the reading end goes to the program, or the pipe would never end for it.
  SetHandleInformation(PipeToProgram, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA Startup{};
  Startup.cb = sizeof Startup;
  Startup.dwFlags = STARTF_USESTDHANDLES;
  Startup.hStdInput = ProgramInput;
  Startup.hStdOutput = Inheritable(STD_OUTPUT_HANDLE);
  Startup.hStdError = Inheritable(STD_ERROR_HANDLE);
  PROCESS_INFORMATION Process{};
  if (!CreateProcessA(nullptr, CommandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &Startup, &Process)) {
    std::fprintf(stderr, "talvarind-pipe-relay: cannot start %s (error %lu)\n", CommandLine, GetLastError());
    return 3;
  }
  CloseHandle(ProgramInput);
  CloseHandle(Process.hThread);
  HANDLE Copier = CreateThread(nullptr, 0, &Copy, nullptr, 0, nullptr);
  if (Copier == nullptr) return 3;
  CloseHandle(Copier);

  // The copier may still be waiting for input that will never come: the program's end is ours.
  WaitForSingleObject(Process.hProcess, INFINITE);
  DWORD Status = 1;
  GetExitCodeProcess(Process.hProcess, &Status);
  ExitProcess(Status);
}
