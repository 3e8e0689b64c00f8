#include "engine/platform/Output.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

std::atomic<TOutputSink> Sink{nullptr};
std::atomic<void*> SinkContext{nullptr};

}  // namespace

void OutputWrite(std::string_view Text) {
  if (const TOutputSink To = Sink.load(std::memory_order_acquire)) {
    To(Text, SinkContext.load(std::memory_order_relaxed));
    return;
  }
  std::fwrite(Text.data(), 1, Text.size(), stdout);
}

void OutputChar(char C) { OutputWrite(std::string_view(&C, 1)); }

void OutputPrint(const char* Format, ...) {
  std::va_list Arguments;
  va_start(Arguments, Format);
  OutputPrintList(Format, Arguments);
  va_end(Arguments);
}

void OutputPrintList(const char* Format, std::va_list Arguments) {
  char Buffer[1024];
  std::va_list Again;
  va_copy(Again, Arguments);
  const int Length = std::vsnprintf(Buffer, sizeof Buffer, Format, Arguments);
  if (Length >= 0 && size_t(Length) < sizeof Buffer) {
    OutputWrite(std::string_view(Buffer, size_t(Length)));
  } else if (Length >= 0) {
    // Longer than any report line: a board drawing or a long list.
    std::string Long(size_t(Length) + 1, '\0');
    std::vsnprintf(Long.data(), Long.size(), Format, Again);
    Long.resize(size_t(Length));
    OutputWrite(Long);
  }
  va_end(Again);
}

void OutputFlush() {
  if (!Sink.load(std::memory_order_acquire)) std::fflush(stdout);
}

void SetOutputSink(TOutputSink To, void* Context) {
  std::fflush(stdout);
  SinkContext.store(Context, std::memory_order_relaxed);
  Sink.store(To, std::memory_order_release);
}
