#include "platform/message_box.h"

namespace quillet {

const char* WhyNoMessageBox(bool variable_set, WindowStation station) {
  if (variable_set) return "QUILLET_NO_MESSAGE_BOXES is set";
  if (station == WindowStation::kNotVisible) return "the window station is not visible";
  return nullptr;
}

int ClosedMessageBoxAnswer(unsigned type) {
  constexpr int kIdOk = 1, kIdCancel = 2;
  switch (type & 0xF) {  // MB_TYPEMASK
    case 1:              // MB_OKCANCEL
    case 3:              // MB_YESNOCANCEL
    case 5:              // MB_RETRYCANCEL
    case 6:              // MB_CANCELTRYCONTINUE
      return kIdCancel;
    default:
      return kIdOk;
  }
}

std::string MessageBoxLine(const char* caption, const char* text) {
  std::string line = caption != nullptr ? caption : "Error";
  line += ": ";
  bool blank = false;  // a run of line breaks and blanks becomes one blank
  for (const char* c = text != nullptr ? text : ""; *c != '\0'; ++c) {
    const bool space = *c == ' ' || *c == '\r' || *c == '\n' || *c == '\t';
    if (space) {
      blank = true;
      continue;
    }
    if (blank && line.back() != ' ') line += ' ';
    blank = false;
    line += *c;
  }
  return line;
}

}  // namespace quillet
