#include "platform/spool_turn.h"

#include <algorithm>
#include <atomic>

namespace quillet {
namespace {

std::atomic<SpoolWaitNotice> g_notice{nullptr};

std::string Seconds(unsigned milliseconds) { return std::to_string(milliseconds / 1000) + " s"; }

// The clock of one start's waits: how long it may still wait, and when it
// says so.
class WaitClock {
 public:
  explicit WaitClock(DocumentStarter& platform) : platform_(platform), start_(platform.Now()) {}

  unsigned waited() const {
    const std::uint64_t waited = platform_.Now() - start_;
    return waited < kBusySpoolerPatience ? static_cast<unsigned>(waited) : kBusySpoolerPatience;
  }
  bool spent() const { return waited() >= kBusySpoolerPatience; }
  // Tells the wait for `what` when a notice is due, and returns how long to
  // wait before looking again: up to the next notice, or the end of the
  // patience.
  unsigned Tell(SpoolWaitFor what) {
    const unsigned now = waited();
    if (now >= next_notice_ && now < kBusySpoolerPatience) {
      const std::string text = SpoolWaitText(what, now);
      platform_.Trace("StartDoc is " + text);
      platform_.Notice(text);
      while (next_notice_ <= now) next_notice_ += kWaitNoticeInterval;
    }
    return std::min(next_notice_, kBusySpoolerPatience) - std::min(now, kBusySpoolerPatience);
  }

 private:
  DocumentStarter& platform_;
  const std::uint64_t start_;
  unsigned next_notice_ = kFirstWaitNotice;
};

}  // namespace

unsigned NextBusySpoolerPause(unsigned previous_pause, unsigned waited) {
  if (waited >= kBusySpoolerPatience) return 0;
  const unsigned pause = previous_pause == 0 ? 250 : std::min(previous_pause * 2, 8000u);
  return std::min(pause, kBusySpoolerPatience - waited);
}

std::string SpoolWaitText(SpoolWaitFor what, unsigned waited) {
  const char* wait = what == SpoolWaitFor::kTurn ? "another process of this Wine prefix to end its document"
                                                 : "the spooler to be done with another program's document";
  return std::string("waiting for ") + wait + " (" + Seconds(waited) + " so far, at most " +
         Seconds(kBusySpoolerPatience) + ")";
}

DocumentStart StartInTurn(DocumentStarter& platform, bool in_turn) {
  WaitClock clock(platform);
  if (in_turn) {
    TurnWait turn = platform.WaitForTurn(0);
    if (turn == TurnWait::kHeld) platform.Trace("StartDoc waits for another process of this Wine prefix to end its document");
    while (turn == TurnWait::kHeld) {
      const unsigned slice = clock.Tell(SpoolWaitFor::kTurn);
      if (clock.spent()) {
        platform.Trace("StartDoc gives up: another process of this Wine prefix kept its turn to spool for " +
                       Seconds(clock.waited()));
        return {StartEnd::kTurnTimedOut, 0, clock.waited()};
      }
      turn = platform.WaitForTurn(slice);
    }
    if (turn == TurnWait::kTakenOver) {
      platform.Trace("StartDoc takes over the turn of a process that ended while it spooled");
    } else if (turn == TurnWait::kCancelled) {
      platform.Trace("StartDoc cancelled while waiting for its turn to spool");
      return {StartEnd::kCancelled, 0, clock.waited()};
    }
  }
  bool busy = false;
  int result = platform.Start(busy);
  // Under Wine, another program of the prefix is spooling (its spool file is
  // taken); elsewhere a failure is the spooler's answer.
  unsigned pause = 0;
  while (in_turn && result <= 0 && busy) {
    pause = NextBusySpoolerPause(pause, clock.waited());
    if (pause == 0) {
      platform.Trace("StartDoc gives up: the spooler was busy with another document for " + Seconds(clock.waited()));
      return {StartEnd::kSpoolerTimedOut, result, clock.waited()};
    }
    platform.Trace("StartDoc found the spooler busy with another document: trying again in " +
                   std::to_string(pause) + " ms");
    if (!platform.Pause(pause)) return {StartEnd::kCancelled, 0, clock.waited()};
    clock.Tell(SpoolWaitFor::kSpooler);
    result = platform.Start(busy);
  }
  return {result > 0 ? StartEnd::kStarted : StartEnd::kFailed, result, clock.waited()};
}

void SetSpoolWaitNotice(SpoolWaitNotice notice) { g_notice = notice; }
SpoolWaitNotice CurrentSpoolWaitNotice() { return g_notice; }

}  // namespace quillet
