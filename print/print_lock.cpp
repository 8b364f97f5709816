#include "print/print_lock.h"

namespace quillet {

std::unique_lock<std::recursive_mutex> LockPrinting() {
  static std::recursive_mutex printing;
  return std::unique_lock<std::recursive_mutex>(printing);
}

}  // namespace quillet
