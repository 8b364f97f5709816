// Configuration files through `-config=`: the input is up to four files, named "0"
// to "3" and separated by a line "==", which may name one another (or themselves)
// in config lines or list options. The job starts from "config=0".
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "job/options.h"

namespace {

constexpr char kSeparator[] = "\n==\n";
constexpr int kFiles = 4;

void WriteFile(int index, const char* bytes, std::size_t size) {
  const char name[2] = {static_cast<char>('0' + index), '\0'};
  std::FILE* f = std::fopen(name, "wb");
  if (f == nullptr) quillet::fuzz::Fail("scratch file cannot be written", __FILE__, __LINE__);
  for (std::size_t i = 0; i < size; ++i) std::fputc(quillet::fuzz::NoSlash(bytes[i]), f);
  std::fclose(f);
}

}  // namespace

using namespace quillet;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::EnterScratchFolder();
  fuzz::PrepareOptionTable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::size_t from = 0;
  for (int index = 0; index < kFiles; ++index) {
    if (from > input.size()) {
      // Fewer files this time: none is left over from an earlier input.
      const char name[2] = {static_cast<char>('0' + index), '\0'};
      std::remove(name);
      continue;
    }
    std::size_t to = index + 1 < kFiles ? input.find(kSeparator, from) : std::string::npos;
    if (to == std::string::npos) to = input.size();
    WriteFile(index, input.data() + from, to - from);
    from = to + sizeof kSeparator - 1;
  }

  PrintJob job;
  CallRecord call;
  char option[] = "config=0";
  Parse_Arg(job, call, option);
  fuzz::CheckJob(job, call);
  // The last file named: a value from a line of at most 127 bytes, without its LF.
  FUZZ_REQUIRE(job.config_path.size() < 128 && job.config_path.find('\n') == std::string::npos);
  return 0;
}
