// Process-wide debugging log of the printing code.
//
// Off unless the environment variable QUILLET_DEBUG names a file (read once, at the
// first message of the process) or a `log` option calls OpenTraceFile. Every message
// is flushed as it is written. One trace file is open at a time: switching to
// another closes the one before. Messages may come from several threads.
#ifndef QUILLET_TRACE_TRACE_H
#define QUILLET_TRACE_TRACE_H

#if defined(__MINGW32__)
#define QUILLET_PRINTF(fmt, args) __attribute__((format(ms_printf, fmt, args)))
#else
#define QUILLET_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#endif

#include "platform/file.h"

namespace quillet {

// Writes one printf-style message to the trace file when tracing is on. While
// tracing is off the format is not evaluated at all.
void Trace(const char* format, ...) QUILLET_PRINTF(1, 2);

// Makes `path` (opened with mode "w") the trace file, closing the one before. When
// it cannot be opened, tracing goes off until a later call succeeds.
void OpenTraceFile(const char* path);

// True when `identity` is the file that trace messages go to now (settling the
// trace state first, as the first message would). A report or configuration
// file must never be that file: reading it would read the trace's own lines.
bool IsTraceFile(const FileIdentity& identity);

// Test seam: closes the trace file and forgets the state, as if the library had
// just been loaded.
void ResetTraceForTesting();

}  // namespace quillet

#endif
