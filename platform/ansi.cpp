#include "platform/ansi.h"

#include <atomic>

namespace quillet {
namespace {

std::atomic<const AnsiCodePage*> g_test_page{nullptr};

}  // namespace

const AnsiCodePage& ReportAnsiCodePage() {
  const AnsiCodePage* page = g_test_page.load(std::memory_order_relaxed);
  return page != nullptr ? *page : SystemAnsiCodePage();
}

void SetAnsiCodePageForTesting(const AnsiCodePage* page) { g_test_page.store(page, std::memory_order_relaxed); }

}  // namespace quillet
