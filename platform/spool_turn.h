// Spooling under Wine, where the processes of one prefix share one spool folder
// and number their spool files alike: two that spool at once write the same
// file, and a document is lost, cut short, arrives blank or lands in the other's
// output file. The processes of a prefix therefore spool one document at a time
// (their turn, spool_turn_win32.h); a document that still finds the spooler
// busy (another program spooling) is started again after growing pauses. On
// Windows neither happens.
//
// How long a document start waits, and what it says while it waits, is decided
// here, for every front end; the platform only waits.
#ifndef QUILLET_PLATFORM_SPOOL_TURN_H
#define QUILLET_PLATFORM_SPOOL_TURN_H

#include <cstdint>
#include <string>

namespace quillet {

// The longest a document start waits, for the turn and for a busy spooler
// together, in milliseconds. It then fails as a busy spooler does.
constexpr unsigned kBusySpoolerPatience = 120000;
// A start that has waited this long says so (the trace, and the person who
// waits), and again after each further interval.
constexpr unsigned kFirstWaitNotice = 1000;
constexpr unsigned kWaitNoticeInterval = 30000;

// The pause before the next try of a StartDoc that found the spooler busy,
// given the pause before (0 for the first) and the time waited so far: 250 ms,
// then twice the pause before, at most 8 s, until the patience is used up (0:
// give up).
unsigned NextBusySpoolerPause(unsigned previous_pause, unsigned waited);

// How a wait for the turn ended.
enum class TurnWait {
  kTaken,        // the turn is this process's
  kTakenOver,    // from a process that ended while it held the turn
  kHeld,         // another process holds it still, after the time given
  kCancelled,    // the user cancelled meanwhile
  kUnavailable,  // the turn cannot be had at all: the document starts without it
};

// What a document start waits for: another process of the prefix to end its
// document, or the spooler to be done with another program's document.
enum class SpoolWaitFor { kTurn, kSpooler };

// The platform's part of a document start.
class DocumentStarter {
 public:
  virtual ~DocumentStarter() = default;
  // A clock in milliseconds that only goes forward.
  virtual std::uint64_t Now() = 0;
  // Waits up to `milliseconds` for the prefix's turn (0: looks only).
  virtual TurnWait WaitForTurn(unsigned milliseconds) = 0;
  // Waits `milliseconds`; false when the user cancelled meanwhile.
  virtual bool Pause(unsigned milliseconds) = 0;
  // The platform's document start: its result (0 or below: it failed), and
  // whether it failed because the spooler is busy with another document.
  virtual int Start(bool& busy) = 0;
  // A line for the trace.
  virtual void Trace(const std::string& line) = 0;
  // Tells the person who waits (SpoolWaitText); the trace has it already.
  virtual void Notice(const std::string& text) = 0;
};

// How a document start ended.
enum class StartEnd {
  kStarted,
  kFailed,           // the platform's start failed (not for a busy spooler)
  kCancelled,        // the user cancelled while it waited
  kTurnTimedOut,     // another process of the prefix kept its turn for the whole patience
  kSpoolerTimedOut,  // the spooler stayed busy with another document as long
};

struct DocumentStart {
  StartEnd end = StartEnd::kFailed;
  int result = 0;       // the platform's last start result (0 when it never started)
  unsigned waited = 0;  // milliseconds waited for the turn and the spooler
};

// Starts a document: under Wine (`in_turn`) once the prefix's turn is had, and
// there again after growing pauses while the spooler is busy; elsewhere with
// one start. Never waits longer than kBusySpoolerPatience in all, and tells a
// wait of more than kFirstWaitNotice, then every kWaitNoticeInterval.
DocumentStart StartInTurn(DocumentStarter& platform, bool in_turn);

// What a start says of a wait that has lasted `waited` milliseconds, for the
// trace and the person who waits ("waiting for ... (31 s so far, at most 120 s)").
std::string SpoolWaitText(SpoolWaitFor what, unsigned waited);

// Where the person who waits is told, besides the trace: a front end with a
// standard error stream of its own sets it once (null: nobody). `text` is
// SpoolWaitText's.
using SpoolWaitNotice = void (*)(const char* text);
void SetSpoolWaitNotice(SpoolWaitNotice notice);
SpoolWaitNotice CurrentSpoolWaitNotice();

}  // namespace quillet

#endif
