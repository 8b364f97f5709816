#include "report/pager.h"

#include "report/report_reader.h"

namespace quillet {

PageStep Pager::Take(int count, std::int32_t status) {
  PageStep step;
  const bool form_feed = status == CTL_FORM_FEED;
  const bool lone_form_feed = row_ == 0 && count == 0 && form_feed;
  if (lone_form_feed && pages_ == 0) {
    step.skipped = PageStep::Skip::kInitialFormFeed;
    return step;
  }
  if (lone_form_feed && ended_full_) {
    // A second one still asks for a blank page.
    ended_full_ = false;
    step.skipped = PageStep::Skip::kFormFeedAfterFullPage;
    step.ends_own_page = true;
    return step;
  }
  ended_full_ = false;
  if (row_ == 0) {
    step.starts_page = true;
    ++pages_;
  }
  if (count > 0) step.row = row_++;
  // Rows 0 to lines_per_page - 1: the next row would reach below the page.
  const bool full = row_ >= lines_per_page_;
  if (full || form_feed) {
    step.ends_page = true;
    row_ = 0;
    ended_full_ = full && !form_feed;
  }
  step.ends_own_page = form_feed;
  return step;
}

}  // namespace quillet
