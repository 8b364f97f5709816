// What the fuzz targets share: a broken invariant ends the run as a finding, every
// target works in a scratch folder of its own, and the checks that hold for any
// job record the option parser has filled.
#ifndef QUILLET_TESTS_FUZZ_FUZZ_SUPPORT_H
#define QUILLET_TESTS_FUZZ_FUZZ_SUPPORT_H

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dirent.h>
#include <unistd.h>

#include "job/options.h"
#include "job/call_record.h"
#include "job/print_job.h"

// Unlike assert, never compiled out.
#define FUZZ_REQUIRE(cond) ((cond) ? (void)0 : ::quillet::fuzz::Fail(#cond, __FILE__, __LINE__))

namespace quillet::fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", what, file, line);
  std::abort();
}

inline std::string& ScratchFolder() {
  static std::string folder;
  return folder;
}

inline void RemoveScratchFolder() {
  const std::string& folder = ScratchFolder();
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
        unlink((folder + "/" + entry->d_name).c_str());
    }
    closedir(dir);
  }
  rmdir(folder.c_str());
}

// Makes a new folder under $TMPDIR (or /tmp) the working folder, so that file names
// from the input (configuration files) resolve inside it; it goes when the run ends.
// Inputs have '/' replaced before they reach the code (see NoSlashes), so no name
// can leave the folder.
inline void EnterScratchFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/quillet-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0) {
    std::perror("quillet fuzz: scratch folder");
    std::exit(1);
  }
  ScratchFolder() = pattern;
  std::atexit(RemoveScratchFolder);
}

// '/' becomes '-': to the parser both are lead characters, and file names stay in
// the scratch folder.
inline char NoSlash(char c) { return c == '/' ? '-' : c; }

// Sorts the option table as every print call does, and takes the effect away from
// `log`: it would make any name in the input a trace file, written and flushed at
// every later step. Its row stays where it is, so the lookup is unchanged; it now
// acts like `date` (accepted, no effect).
inline void PrepareOptionTable() {
  SortOptionTable();
  constexpr std::int32_t kLogId = 25;
  constexpr std::int32_t kDateId = 8;
  for (OptionEntry& row : option_table) {
    if (row.id == kLogId) row.id = kDateId;
  }
}

inline bool IsFlag(std::uint8_t value) { return value == 0 || value == 1; }

// What any job holds after any sequence of options.
inline void CheckJob(const PrintJob& job, const CallRecord& call) {
  FUZZ_REQUIRE(std::memchr(job.printer_id, '\0', sizeof job.printer_id) != nullptr);
  FUZZ_REQUIRE(std::memchr(job.form_id, '\0', sizeof job.form_id) != nullptr);
  FUZZ_REQUIRE(std::memchr(job.font, '\0', sizeof job.font) != nullptr);
  FUZZ_REQUIRE(job.orientation == 1 || job.orientation == 2);
  FUZZ_REQUIRE(job.collate == 0 || job.collate == '0' || job.collate == '1');
  FUZZ_REQUIRE(IsFlag(job.scratch) && IsFlag(job.ruler) && IsFlag(job.oem) && IsFlag(job.ansi) &&
               IsFlag(job.raw) && IsFlag(job.quiet));
  // Options never touch what the print entry and the driver own.
  FUZZ_REQUIRE(call.report_path == nullptr && call.output_path == nullptr && call.pages.empty());
}

}  // namespace quillet::fuzz

#endif
