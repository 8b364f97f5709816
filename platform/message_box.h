// Message boxes that nobody could answer. A box in a process whose window station
// is not visible (a service) is seen by nobody, and a box where the people who
// run the program asked for none (the environment variable
// QUILLET_NO_MESSAGE_BOXES) is answered by nobody: either would hold its thread
// for ever. Such a box is not shown: its text goes to the trace log and to
// standard error, and the caller gets the answer that closing the box gives.
//
// The decisions are portable and unit-tested; message_box_win32.h shows boxes.
#ifndef QUILLET_PLATFORM_MESSAGE_BOX_H
#define QUILLET_PLATFORM_MESSAGE_BOX_H

#include <string>

namespace quillet {

// What the process's window station tells of who could see a box.
enum class WindowStation {
  kVisible,     // a user's desktop (WSF_VISIBLE)
  kNotVisible,  // a service's station, or none at all
  kUnknown,     // the system would not say: a box is shown, as it always was
};

// Why a box must not be shown, as the trace tells it; null when it may be.
// `variable_set`: QUILLET_NO_MESSAGE_BOXES is set, whatever its value.
const char* WhyNoMessageBox(bool variable_set, WindowStation station);

// The answer of a box of `type` (the MB_* flags) closed without a button:
// IDCANCEL (2) when it has a Cancel button (Retry/Cancel among them), else IDOK (1).
int ClosedMessageBoxAnswer(unsigned type);

// A box's caption and text as one line: "<caption>: <text>", the caption
// "Error" when there is none (as the system shows it), line breaks as blanks.
std::string MessageBoxLine(const char* caption, const char* text);

}  // namespace quillet

#endif
