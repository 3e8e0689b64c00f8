// The libFuzzer entry of one target, named by TALVARIND_FUZZ_TARGET. The process runs on one processor,
// so the engine starts a single search thread and every run of an input searches alike.
#include <sched.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "FuzzTargets.h"
#include "engine/Engine.h"

namespace {

TFuzzBody Body = nullptr;

void KeepToOneProcessor() {
  cpu_set_t Set;
  if (sched_getaffinity(0, sizeof Set, &Set) != 0) return;
  for (int Processor = 0; Processor < CPU_SETSIZE; Processor++) {
    if (!CPU_ISSET(Processor, &Set)) continue;
    CPU_ZERO(&Set);
    CPU_SET(Processor, &Set);
    sched_setaffinity(0, sizeof Set, &Set);
    return;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (const TFuzzTarget& Target : FuzzTargets)
    if (Target.Name == TALVARIND_FUZZ_TARGET) Body = Target.Body;
  if (Body == nullptr) {
    std::fprintf(stderr, "no fuzz target named %s\n", TALVARIND_FUZZ_TARGET);
    std::abort();
  }
  KeepToOneProcessor();
  EngineStartup();
  if (!InitState(&State)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const TFindings Findings = Body(&State, std::string_view(reinterpret_cast<const char*>(Data), Size));
  if (Findings.empty()) return 0;
  std::fprintf(stderr, "talvarind fuzz %s: %s\n", TALVARIND_FUZZ_TARGET, Findings.c_str());
  std::abort();
}
