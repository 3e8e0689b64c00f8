// Starting and joining threads through pthreads: the same on Linux and in the browser, whose threads are
// emscripten's pthreads over Web Workers.
#include "engine/platform/Threads.h"

#include <pthread.h>

static_assert(sizeof(pthread_t) <= sizeof(uintptr_t), "TThread keeps its pthread_t in a uintptr_t");

struct TThreadEntry {
  static void* Run(void* Self) {
    static_cast<TThread*>(Self)->Execute();
    return nullptr;
  }
};

bool TThread::Start(size_t StackSize) {
  if (Started) return false;
  pthread_attr_t Attributes;
  if (pthread_attr_init(&Attributes) != 0) return false;
  if (StackSize > 0) {
    if (StackSize < size_t(PTHREAD_STACK_MIN)) StackSize = PTHREAD_STACK_MIN;
    pthread_attr_setstacksize(&Attributes, StackSize);
  }
  pthread_t Thread;
  const bool Created = pthread_create(&Thread, &Attributes, &TThreadEntry::Run, this) == 0;
  pthread_attr_destroy(&Attributes);
  if (!Created) return false;
  Handle = uintptr_t(Thread);
  Started = true;
  return true;
}

void TThread::WaitFor() {
  if (!Started) return;
  pthread_join(pthread_t(Handle), nullptr);
  Started = false;
}
