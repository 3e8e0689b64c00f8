#include "engine/platform/Threads.h"

#include <windows.h>

namespace {

constexpr size_t MaxUsableProcessors = 32;
// An affinity mask has one bit per processor of the process's group.
constexpr int32_t MaskBits = int32_t(sizeof(DWORD_PTR) * 8);

}  // namespace

struct TThreadEntry {
  static DWORD WINAPI Run(LPVOID Self) {
    static_cast<TThread*>(Self)->Execute();
    return 0;
  }
};

std::vector<int32_t> UsableProcessors() {
  std::vector<int32_t> Processors;
  SYSTEM_INFO Info;
  GetSystemInfo(&Info);
  DWORD_PTR ProcessMask = 0, SystemMask = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &ProcessMask, &SystemMask)) {
    const int32_t Count = int32_t(Info.dwNumberOfProcessors) < MaskBits ? int32_t(Info.dwNumberOfProcessors) : MaskBits;
    for (int32_t Processor = 0; Processor < Count && Processors.size() < MaxUsableProcessors; ++Processor)
      if ((ProcessMask >> Processor) & 1) Processors.push_back(Processor);
  }
  if (Processors.empty()) Processors.push_back(0);
  return Processors;
}

bool TThread::Start(size_t StackSize) {
  if (Started) return false;
  // The size is what the thread may grow to, not what is committed at once.
  HANDLE Thread =
      CreateThread(nullptr, StackSize, &TThreadEntry::Run, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (Thread == nullptr) return false;
  Handle = uintptr_t(Thread);
  Started = true;
  return true;
}

void TThread::WaitFor() {
  if (!Started) return;
  HANDLE Thread = reinterpret_cast<HANDLE>(Handle);
  WaitForSingleObject(Thread, INFINITE);
  CloseHandle(Thread);
  Started = false;
}

bool TThread::UnpinCurrentThread() {
  DWORD_PTR ProcessMask = 0, SystemMask = 0;
  return GetProcessAffinityMask(GetCurrentProcess(), &ProcessMask, &SystemMask) &&
         SetThreadAffinityMask(GetCurrentThread(), ProcessMask) != 0;
}

bool TThread::PinCurrentThread(int32_t Processor) {
  if (Processor < 0 || Processor >= MaskBits) return false;
  return SetThreadAffinityMask(GetCurrentThread(), DWORD_PTR(1) << Processor) != 0;
}
