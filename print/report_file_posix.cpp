// Report file calls on POSIX, for native builds (tests, benchmarks, tools).
#include "print/report_file.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace quillet {

std::int32_t ReportOpen(const char* path) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  return fd >= 0 ? fd : kReportOpenError;
}

long ReportRead(std::int32_t handle, void* buffer, unsigned size) {
  for (;;) {
    ssize_t got = ::read(handle, buffer, size);
    // A signal is not the end of the report: ask again.
    if (got < 0 && errno == EINTR) continue;
    return got < 0 ? -1 : static_cast<long>(got);
  }
}

void ReportClose(std::int32_t handle) { ::close(handle); }

unsigned long LastSystemError() { return static_cast<unsigned long>(errno); }

}  // namespace quillet
