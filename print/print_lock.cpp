#include "print/print_lock.h"

namespace quillet {
namespace {

std::recursive_mutex& Printing() {
  static std::recursive_mutex printing;
  return printing;
}

thread_local int t_depth = 0;  // how often this thread holds the lock

}  // namespace

PrintingLock::PrintingLock() : lock_(Printing()), nested_(t_depth > 0) { ++t_depth; }

PrintingLock::~PrintingLock() { --t_depth; }

}  // namespace quillet
