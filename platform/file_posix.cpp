// Report file calls on POSIX, for native builds (tests, benchmarks, tools).
#include "platform/file.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text.h"

namespace quillet {

// Natively every name is bytes already: the UTF-16 form is never needed.
std::int32_t ReportOpen(const char* path, const char16_t*) {
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

void ReportRemove(const char* path, const char16_t*) { std::remove(path); }

namespace {

bool IdentifyDescriptor(int fd, FileIdentity& identity) {
  struct stat info;
  if (::fstat(fd, &info) != 0) return false;
  identity.volume = static_cast<std::uint64_t>(info.st_dev);
  identity.index = static_cast<std::uint64_t>(info.st_ino);
  return true;
}

}  // namespace

bool IdentifyFile(std::FILE* stream, FileIdentity& identity) { return IdentifyDescriptor(::fileno(stream), identity); }

bool IdentifyReport(std::int32_t handle, FileIdentity& identity) { return IdentifyDescriptor(handle, identity); }

bool IdentifyPath(const char* path, const char16_t* wide_path, FileIdentity& identity) {
  const std::string named = path != nullptr ? std::string(path) : Utf8FromUtf16(wide_path);
  struct stat info;
  if (::stat(named.c_str(), &info) != 0) return false;
  identity.volume = static_cast<std::uint64_t>(info.st_dev);
  identity.index = static_cast<std::uint64_t>(info.st_ino);
  return true;
}

// Natively every name is bytes already: the UTF-16 form is never needed.
std::FILE* OpenConfigFile(const char* path, const char16_t*) { return std::fopen(path, "rb"); }

unsigned long LastSystemError() { return static_cast<unsigned long>(errno); }

}  // namespace quillet
