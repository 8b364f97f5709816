#include "platform/spool_turn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace quillet {
namespace {

// A StartDoc that keeps finding the spooler busy is tried again after growing
// pauses (250 ms, 500 ms ... 8 s) and given up after two minutes, never later.
TEST(BusySpooler, PausesGrowAndEndAfterTwoMinutes) {
  unsigned pause = 0, waited = 0, tries = 0;
  while ((pause = NextBusySpoolerPause(pause, waited)) != 0 && ++tries) waited += pause;
  EXPECT_EQ(waited, kBusySpoolerPatience);
  EXPECT_EQ(tries, 20u);
}

// A platform whose turn another process holds for `turn_held` milliseconds
// (and then gives back, or ends without giving it back), whose spooler is busy
// for the first `busy_starts` starts, and whose user cancels after
// `cancel_after` milliseconds of waiting. Records what is said.
class FakeStarter : public DocumentStarter {
 public:
  unsigned turn_held = 0;
  bool holder_died = false;
  int busy_starts = 0;
  unsigned cancel_after = ~0u;

  unsigned clock = 0;
  int starts = 0;
  std::vector<std::string> notices;
  std::vector<std::string> trace;

  std::uint64_t Now() override { return clock; }
  TurnWait WaitForTurn(unsigned milliseconds) override {
    if (clock >= turn_held) return holder_died ? TurnWait::kTakenOver : TurnWait::kTaken;
    const unsigned until = std::min({clock + milliseconds, turn_held, cancel_after});
    clock = until;
    if (clock >= cancel_after) return TurnWait::kCancelled;
    if (clock >= turn_held) return holder_died ? TurnWait::kTakenOver : TurnWait::kTaken;
    return TurnWait::kHeld;
  }
  bool Pause(unsigned milliseconds) override {
    clock += milliseconds;
    return clock < cancel_after;
  }
  int Start(bool& busy) override {
    busy = ++starts <= busy_starts;
    return busy ? 0 : 7;
  }
  void Trace(const std::string& line) override { trace.push_back(line); }
  void Notice(const std::string& text) override { notices.push_back(std::to_string(clock / 1000) + ": " + text); }
};

std::string Turn(unsigned seconds) {
  return std::to_string(seconds) + ": " + SpoolWaitText(SpoolWaitFor::kTurn, seconds * 1000);
}

std::string Busy(unsigned milliseconds) {
  return std::to_string(milliseconds / 1000) + ": " + SpoolWaitText(SpoolWaitFor::kSpooler, milliseconds);
}

// Under Wine a start waits for the turn, then for a busy spooler, two minutes
// at most in all; a wait of more than a second is told, and again every 30 s.
TEST(SpoolTurn, StartsWaitTwoMinutesAtMostAndSaySo) {
  struct Case {
    const char* name;
    bool in_turn;
    unsigned turn_held;
    bool holder_died;
    int busy_starts;
    unsigned cancel_after;
    StartEnd end;
    unsigned clock;  // milliseconds waited
    std::vector<std::string> notices;
  } cases[] = {
      {"free", true, 0, false, 0, ~0u, StartEnd::kStarted, 0, {}},
      {"half a second", true, 500, false, 0, ~0u, StartEnd::kStarted, 500, {}},
      {"a holder that died", true, 2500, true, 0, ~0u, StartEnd::kStarted, 2500, {Turn(1)}},
      {"held for ever", true, ~0u, false, 0, ~0u, StartEnd::kTurnTimedOut, 120000,
       {Turn(1), Turn(31), Turn(61), Turn(91)}},
      {"Ctrl+C while waiting", true, ~0u, false, 0, 40000, StartEnd::kCancelled, 40000, {Turn(1), Turn(31)}},
      {"turn, then a busy spooler: one clock", true, 100000, false, 100, ~0u, StartEnd::kSpoolerTimedOut, 120000,
       {Turn(1), Turn(31), Turn(61), Turn(91)}},
      {"busy for ever", true, 0, false, 100, ~0u, StartEnd::kSpoolerTimedOut, 120000,
       {Busy(1750), Busy(31750), Busy(63750), Busy(95750)}},
      {"busy twice", true, 0, false, 2, ~0u, StartEnd::kStarted, 750, {}},
      {"Windows: no turn, no retry", false, ~0u, false, 1, ~0u, StartEnd::kFailed, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeStarter platform;
    platform.turn_held = c.turn_held;
    platform.holder_died = c.holder_died;
    platform.busy_starts = c.busy_starts;
    platform.cancel_after = c.cancel_after;
    const DocumentStart start = StartInTurn(platform, c.in_turn);
    EXPECT_EQ(start.end, c.end);
    EXPECT_EQ(platform.clock, c.clock);
    EXPECT_EQ(start.waited, c.clock);
    EXPECT_EQ(platform.notices, c.notices);
    EXPECT_EQ(platform.starts > 0, c.end != StartEnd::kTurnTimedOut && c.end != StartEnd::kCancelled);
  }
  EXPECT_EQ(SpoolWaitText(SpoolWaitFor::kTurn, 31400),
            "waiting for another process of this Wine prefix to end its document (31 s so far, at most 120 s)");
}

}  // namespace
}  // namespace quillet
