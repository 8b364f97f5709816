#include "print/print_entry.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "job/options.h"

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

// What a -log option asks before it empties a file: does the rest of the call read it?
TEST(PrintEntry, ArgumentsNameReportsAndConfigFilesByIdentity) {
  char tmpl[] = "/tmp/quillet-entry-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  for (const char* name : {"r.txt", "c.cfg", "other.txt"}) std::ofstream(dir + "/" + name) << "x\n";
  const auto names = [&dir](const std::vector<std::string>& texts, const char* file) {
    std::vector<CallArgument> arguments;
    for (const std::string& text : texts) arguments.push_back({text, u""});
    FileIdentity identity;
    EXPECT_TRUE(IdentifyPath((dir + "/" + file).c_str(), nullptr, identity));
    return ArgumentsName(arguments, identity);
  };
  SortOptionTable();
  EXPECT_TRUE(names({"-copies=2", "\"" + dir + "/./r.txt\""}, "r.txt"));  // quoted, another spelling
  EXPECT_TRUE(names({"/printer_ctl=-ruler -config=" + dir + "/c.cfg"}, "c.cfg"));
  EXPECT_TRUE(names({"-config=\"" + dir + "/c.cfg\""}, "c.cfg"));
  EXPECT_FALSE(names({"-font=" + dir + "/c.cfg", dir + "/r.txt", "-"}, "other.txt"));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quillet
