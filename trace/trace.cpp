#include "trace/trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace quillet {
namespace {

enum class TraceState { kUnknown, kOn, kOff };

// Process-wide: settled by the first message, switched by OpenTraceFile.
TraceState g_state = TraceState::kUnknown;
std::FILE* g_stream = nullptr;

void Settle() {
  const char* path = std::getenv("QUILLET_DEBUG");
  std::FILE* file = path != nullptr ? std::fopen(path, "w") : nullptr;
  g_stream = file;
  g_state = file != nullptr ? TraceState::kOn : TraceState::kOff;
}

}  // namespace

void Trace(const char* format, ...) {
  if (g_state == TraceState::kUnknown) Settle();
  if (g_state != TraceState::kOn) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(g_stream, format, args);
  va_end(args);
  std::fflush(g_stream);
}

void OpenTraceFile(const char* path) {
  std::FILE* file = std::fopen(path, "w");
  g_stream = file;
  g_state = file != nullptr ? TraceState::kOn : TraceState::kOff;
}

void ResetTraceForTesting() {
  g_state = TraceState::kUnknown;
  g_stream = nullptr;
}

}  // namespace quillet
