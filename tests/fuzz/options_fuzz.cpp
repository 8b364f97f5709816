// Option texts as the print entry hands them over: the input is a sequence of
// NUL-terminated arguments without their lead characters, applied in order to one
// job, list options included. Afterwards the job goes into device modes of both
// generations.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_support.h"
#include "job/devmode_fields.h"
#include "job/options.h"

namespace quillet {
namespace {

// The members of DEVMODEA that the settings code writes, in their order and widths,
// with guard bytes after the form name.
struct FuzzDevMode {
  std::uint16_t dmSpecVersion;
  std::uint16_t dmSize;
  std::uint32_t dmFields;
  std::int16_t dmOrientation;
  std::int16_t dmPaperSize;
  std::int16_t dmPaperLength;
  std::int16_t dmPaperWidth;
  std::int16_t dmScale;
  std::int16_t dmCopies;
  std::int16_t dmDefaultSource;
  std::int16_t dmCollate;
  unsigned char dmFormName[32];
  unsigned char guard[16];
};

constexpr std::uint32_t kKnownFields = kDmOrientation | kDmPaperSize | kDmPaperLength | kDmPaperWidth |
                                       kDmCopies | kDmDefaultSource | kDmCollate | kDmFormName;

OptionEntry g_sorted_table[kOptionCount];

FuzzDevMode Filled(std::uint16_t version, std::uint16_t size) {
  FuzzDevMode dm;
  std::memset(&dm, 0xA5, sizeof dm);
  dm.dmSpecVersion = version;
  dm.dmSize = size;
  return dm;
}

void CheckDevModes(const PrintJob& job) {
  const FuzzDevMode untouched = Filled(0x401, sizeof(FuzzDevMode));
  FuzzDevMode dm = untouched;
  WriteJobSettings(dm, job);
  FUZZ_REQUIRE((dm.dmFields & ~kKnownFields) == 0);
  FUZZ_REQUIRE(dm.dmOrientation == 1 || dm.dmOrientation == 2);
  if (dm.dmFields & kDmFormName)
    FUZZ_REQUIRE(std::memchr(dm.dmFormName, '\0', sizeof dm.dmFormName) != nullptr);
  if (dm.dmFields & kDmCollate) FUZZ_REQUIRE(dm.dmCollate == kDmCollateFalse || dm.dmCollate == kDmCollateTrue);
  FUZZ_REQUIRE(std::memcmp(dm.guard, untouched.guard, sizeof dm.guard) == 0);

  // A device mode too old, or too short, to have a form name gets neither that nor
  // collation.
  for (FuzzDevMode old : {Filled(0x30A, sizeof(FuzzDevMode)), Filled(0x401, offsetof(FuzzDevMode, dmFormName))}) {
    const FuzzDevMode before = old;
    WriteJobSettings(old, job);
    FUZZ_REQUIRE((old.dmFields & (kDmFormName | kDmCollate)) == 0);
    FUZZ_REQUIRE(old.dmCollate == before.dmCollate);
    FUZZ_REQUIRE(std::memcmp(old.dmFormName, before.dmFormName, sizeof old.dmFormName + sizeof old.guard) == 0);
  }

  // Carried over to another printer's device mode: only known fields, no write
  // past the target's members.
  FuzzDevMode target = untouched;
  MergeDevMode(target, dm);
  FUZZ_REQUIRE(std::memcmp(target.dmFormName, untouched.dmFormName, sizeof target.dmFormName + sizeof target.guard) == 0);
}

// The row found for a text agrees with the text over the shorter of the two names.
void CheckLookup(const char* text) {
  const OptionEntry* row = FindOption(text);
  if (row == nullptr) return;
  FUZZ_REQUIRE(row >= option_table && row < option_table + kOptionCount);
  const std::size_t name = strnlen(row->name, sizeof row->name);
  const std::size_t key = strnlen(text, sizeof row->name);
  FUZZ_REQUIRE(std::memcmp(row->name, text, name < key ? name : key) == 0);
}

}  // namespace
}  // namespace quillet

using namespace quillet;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::EnterScratchFolder();
  fuzz::PrepareOptionTable();
  std::memcpy(g_sorted_table, option_table, sizeof option_table);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  PrintJob job;
  CallRecord call;
  const char* p = reinterpret_cast<const char*>(data);
  const char* const end = p + size;
  for (;;) {
    const char* stop = static_cast<const char*>(std::memchr(p, '\0', static_cast<std::size_t>(end - p)));
    if (stop == nullptr) stop = end;
    const std::size_t n = static_cast<std::size_t>(stop - p);
    // Exactly the text and its terminator, so a write past it is seen.
    std::unique_ptr<char[]> text(new char[n + 1]);
    std::unique_ptr<char[]> original(new char[n + 1]);
    for (std::size_t i = 0; i < n; ++i) text[i] = fuzz::NoSlash(p[i]);
    text[n] = '\0';
    std::memcpy(original.get(), text.get(), n + 1);

    CheckLookup(text.get());
    Parse_Arg(job, call, text.get());
    // The parser only cuts the text with terminators.
    for (std::size_t i = 0; i <= n; ++i) FUZZ_REQUIRE(text[i] == original[i] || text[i] == '\0');
    fuzz::CheckJob(job, call);

    if (stop == end) break;
    p = stop + 1;
  }
  FUZZ_REQUIRE(std::memcmp(option_table, g_sorted_table, sizeof option_table) == 0);
  CheckDevModes(job);
  return 0;
}
