#include "print/print_entry.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(PrintEntry, OptionsBeginWithDashOrSlashOnly) {
  EXPECT_TRUE(IsOptionArgument("-copies=2"));
  EXPECT_TRUE(IsOptionArgument("/copies=2"));
  EXPECT_TRUE(IsOptionArgument("-"));
  EXPECT_FALSE(IsOptionArgument("a.txt"));
  EXPECT_FALSE(IsOptionArgument(" -copies=2"));
  EXPECT_FALSE(IsOptionArgument(""));
}

TEST(PrintEntry, ReportPathDropsOpeningQuoteAndLastCharacter) {
  struct Row {
    const char* argument;
    const char* path;
  } rows[] = {
      {"a.txt", "a.txt"},
      {"\"C:\\My Reports\\day.txt\"", "C:\\My Reports\\day.txt"},
      {"\"day.txt", "day.tx"},  // no closing quote: its last character goes anyway
      {"\"", ""},               // a lone quote names the empty path
      {"\"\"", ""},
      {"", ""},
      {" a.txt", " a.txt"},  // no trimming
  };
  for (const Row& row : rows) EXPECT_EQ(ReportPathFromArgument(row.argument), row.path) << row.argument;
}

}  // namespace
}  // namespace quillet
