// How the lines of a report fall on pages. The driver prints by these rules,
// and every count of a report's pages or rows (the measure that fitting uses,
// the page selection, the suggestion after cut lines) is made by them, so that
// none can count otherwise than the printed pages fall.
#ifndef QUILLET_REPORT_PAGER_H
#define QUILLET_REPORT_PAGER_H

#include <climits>
#include <cstdint>

namespace quillet {

// A page length for counting the report's own pages, those its form feeds end.
constexpr int kNoPageLength = INT_MAX;

// What becomes of one line that GetLine returned (not the end of the data).
struct PageStep {
  enum class Skip : std::uint8_t {
    kNone,
    kInitialFormFeed,        // a form feed before anything of the report: no blank first page
    kFormFeedAfterFullPage,  // the form feed that would have ended the page that ended full
  };
  Skip skipped = Skip::kNone;  // when set, nothing else happens
  bool starts_page = false;    // a page starts before the line
  int row = -1;                // the row the line takes on its page (from 0); -1: none
  bool ends_page = false;      // the page ends after the line (a form feed, or it is full)
  // A form feed ends the report's own page here: the rows of that page are all
  // counted. Set for a skipped form feed after a full page too.
  bool ends_own_page = false;
};

class Pager {
 public:
  // `lines_per_page` rows fit a page; a page is full once it holds that many
  // (with 0 or less, every line fills a page).
  explicit Pager(int lines_per_page) : lines_per_page_(lines_per_page) {}

  // The next line: `count` its bytes (0: it holds no position), `status` how it
  // ended (CTL_NONE or CTL_FORM_FEED).
  PageStep Take(int count, std::int32_t status);

  int pages() const { return pages_; }  // pages started so far
  int row() const { return row_; }      // rows on the open page; 0: none is open

 private:
  int lines_per_page_;
  int row_ = 0;
  int pages_ = 0;
  bool ended_full_ = false;  // the last page ended because it was full, and nothing has come since
};

}  // namespace quillet

#endif
