#include "cli/page_list.h"

#include <climits>

namespace quillet::cli {
namespace {

// A page number of `text`: digits only, 1 or more, capped at INT_MAX.
std::optional<int> Page(std::u16string_view text) {
  if (text.empty()) return std::nullopt;
  long long value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
    if (value > INT_MAX) value = INT_MAX;
  }
  if (value == 0) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace

std::optional<std::vector<PageRange>> ParsePageList(std::u16string_view list) {
  std::vector<PageRange> ranges;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = list.find(u',', start);
    const std::u16string_view item = list.substr(start, comma == std::u16string_view::npos ? list.npos : comma - start);
    const std::size_t dash = item.find(u'-');
    PageRange range;
    if (dash == std::u16string_view::npos) {
      const auto page = Page(item);
      if (!page) return std::nullopt;
      range = PageRange{*page, *page};
    } else {
      const std::u16string_view from = item.substr(0, dash), to = item.substr(dash + 1);
      if (from.empty() && to.empty()) return std::nullopt;
      const auto first = from.empty() ? std::optional<int>(1) : Page(from);
      const auto last = to.empty() ? std::optional<int>(INT_MAX) : Page(to);
      if (!first || !last || *first > *last) return std::nullopt;
      range = PageRange{*first, *last};
    }
    ranges.push_back(range);
    if (comma == std::u16string_view::npos) break;
    start = comma + 1;
  }
  return ranges;
}

}  // namespace quillet::cli
