// The browser's threads: as many as it says it has processors, and no affinity to set.
#include <emscripten/threading.h>

#include "engine/platform/Threads.h"

namespace {

constexpr int32_t MaxUsableProcessors = 32;

}  // namespace

std::vector<int32_t> UsableProcessors() {
  int32_t Count = emscripten_num_logical_cores();
  if (Count < 1) Count = 1;
  if (Count > MaxUsableProcessors) Count = MaxUsableProcessors;
  std::vector<int32_t> Processors;
  for (int32_t Processor = 0; Processor < Count; ++Processor) Processors.push_back(Processor);
  return Processors;
}

bool TThread::PinCurrentThread(int32_t) { return false; }
bool TThread::UnpinCurrentThread() { return false; }
