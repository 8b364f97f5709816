#include "cli/page_list.h"

#include <gtest/gtest.h>

#include <climits>

#include "cli/front_end.h"

namespace quillet::cli {
namespace {

TEST(ParsePageList, PagesAndRanges) {
  struct Case {
    std::u16string list;
    std::vector<std::pair<int, int>> ranges;  // empty: malformed
  } cases[] = {
      {u"3", {{3, 3}}},
      {u"47-49", {{47, 49}}},
      {u"10-", {{10, INT_MAX}}},
      {u"-5", {{1, 5}}},
      {u"1,5,9-12", {{1, 1}, {5, 5}, {9, 12}}},
      {u"99999999999", {{INT_MAX, INT_MAX}}},
      {u"", {}}, {u"0", {}}, {u"3-2", {}}, {u"-", {}}, {u"1,,2", {}}, {u"1,", {}},
      {u"2-3-4", {}}, {u" 3", {}}, {u"a", {}}, {u"1-0", {}},
  };
  for (const Case& c : cases) {
    const auto parsed = ParsePageList(c.list);
    std::vector<std::pair<int, int>> got;
    if (parsed) {
      for (const PageRange& r : *parsed) got.emplace_back(r.first, r.last);
    }
    EXPECT_EQ(got, c.ranges) << std::string(c.list.begin(), c.list.end());
    EXPECT_EQ(parsed.has_value(), !c.ranges.empty());
  }
  EXPECT_EQ(PagesArgument(u"--pages=2-3"), u"2-3");
  EXPECT_EQ(PagesArgument(u"--pages"), u"");
  EXPECT_EQ(PagesArgument(u"--pagesx"), std::nullopt);
}

}  // namespace
}  // namespace quillet::cli
