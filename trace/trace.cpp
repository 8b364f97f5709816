#include "trace/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace quillet {
namespace {

enum class TraceState { kUnknown, kOn, kOff };

// Process-wide: settled by the first message, switched by OpenTraceFile. The
// state is read without the lock, so a message costs one load while tracing is
// off; the stream is used and replaced only under the lock, since a file may be
// switched (and the old one closed) while another thread writes a message.
std::atomic<TraceState> g_state{TraceState::kUnknown};
std::FILE* g_stream = nullptr;
FileIdentity g_identity;       // of g_stream,
bool g_identity_known = false;  // when the platform could tell it

std::mutex& StreamLock() {
  static std::mutex lock;
  return lock;
}

// Makes `file` the trace stream (null: none) and closes the one before it.
void Replace(std::FILE* file) {
  if (g_stream != nullptr) std::fclose(g_stream);
  g_stream = file;
  g_identity_known = file != nullptr && IdentifyFile(file, g_identity);
  g_state = file != nullptr ? TraceState::kOn : TraceState::kOff;
}

// The first message of the process decides: QUILLET_DEBUG's file, or nothing.
void Settle() {
  if (g_state != TraceState::kUnknown) return;
  const char* path = std::getenv("QUILLET_DEBUG");
  Replace(path != nullptr ? std::fopen(path, "w") : nullptr);
}

}  // namespace

void Trace(const char* format, ...) {
  if (g_state == TraceState::kOff) return;
  const std::lock_guard<std::mutex> hold(StreamLock());
  Settle();
  if (g_state != TraceState::kOn) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(g_stream, format, args);
  va_end(args);
  std::fflush(g_stream);
}

void OpenTraceFile(const char* path) {
  const std::lock_guard<std::mutex> hold(StreamLock());
  // The file before is closed first: a log option that names the current trace
  // file then empties it and starts it afresh.
  Replace(nullptr);
  Replace(std::fopen(path, "w"));
}

bool IsTraceFile(const FileIdentity& identity) {
  const std::lock_guard<std::mutex> hold(StreamLock());
  Settle();
  return g_state == TraceState::kOn && g_identity_known && g_identity == identity;
}

void ResetTraceForTesting() {
  const std::lock_guard<std::mutex> hold(StreamLock());
  Replace(nullptr);
  g_state = TraceState::kUnknown;
}

}  // namespace quillet
