// Standard input in the browser: a stream of lines that JavaScript hands over, one call per line, through
// a queue that the engine's threads take bytes from without ever waiting (the input layer polls).
#include <emscripten.h>

#include <cstring>
#include <deque>
#include <mutex>

#include "engine/platform/StdInput.h"

namespace {

std::mutex QueueMutex;
std::deque<char> Queue;
bool Ended = false;

}  // namespace

// Called by the worker's script on the browser's own thread, never by the engine.
extern "C" {

EMSCRIPTEN_KEEPALIVE void talvarind_input_line(const char* Line) {
  std::lock_guard<std::mutex> Guard(QueueMutex);
  if (Ended) return;
  Queue.insert(Queue.end(), Line, Line + std::strlen(Line));
  Queue.push_back('\n');
}

// The other side has gone: what is queued is still read, then the input has ended.
EMSCRIPTEN_KEEPALIVE void talvarind_input_end() {
  std::lock_guard<std::mutex> Guard(QueueMutex);
  Ended = true;
}

}  // extern "C"

TInputHandle StandardInputHandle() { return 0; }

bool InputDeviceOpen(TInputHandle) { return false; }

int32_t InputDeviceReadWaiting(char* Buffer, int32_t Size) {
  std::lock_guard<std::mutex> Guard(QueueMutex);
  if (Queue.empty()) return Ended ? -1 : 0;
  int32_t Count = 0;
  while (Count < Size && !Queue.empty()) {
    Buffer[Count++] = Queue.front();
    Queue.pop_front();
  }
  return Count;
}

bool InputDeviceStreamReady() {
  std::lock_guard<std::mutex> Guard(QueueMutex);
  return Ended || !Queue.empty();
}

// Never a console: the input layer only takes the stream path.
bool InputDeviceConsoleRead(char&) { return false; }
bool InputDeviceConsoleReadLine(std::string&) { return false; }
bool InputDeviceConsoleReady() { return false; }
