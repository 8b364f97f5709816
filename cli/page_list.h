// --pages=LIST: which pages of a report quillet-print prints.
#ifndef QUILLET_CLI_PAGE_LIST_H
#define QUILLET_CLI_PAGE_LIST_H

#include <optional>
#include <string>
#include <vector>

#include "job/call_record.h"

namespace quillet::cli {

// A page list: pages and ranges separated by commas, pages counted from 1:
// "3", "47-49", "10-" (10 to the end), "-5" (1 to 5), "1,5,9-12". Nothing for a
// list that is malformed (empty, a page 0, a range that runs backwards, anything
// but digits, '-' and ',').
std::optional<std::vector<PageRange>> ParsePageList(std::u16string_view list);

}  // namespace quillet::cli

#endif
