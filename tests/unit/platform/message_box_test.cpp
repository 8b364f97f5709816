#include "platform/message_box.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(MessageBox, ShownOnlyWhereSomeoneCanAnswerIt) {
  const struct {
    bool variable_set;
    WindowStation station;
    const char* why;
  } rows[] = {
      {false, WindowStation::kVisible, nullptr},
      {false, WindowStation::kUnknown, nullptr},
      {false, WindowStation::kNotVisible, "the window station is not visible"},
      {true, WindowStation::kVisible, "QUILLET_NO_MESSAGE_BOXES is set"},
      {true, WindowStation::kNotVisible, "QUILLET_NO_MESSAGE_BOXES is set"},
  };
  for (const auto& row : rows) {
    const char* why = WhyNoMessageBox(row.variable_set, row.station);
    EXPECT_STREQ(why != nullptr ? why : "(shown)", row.why != nullptr ? row.why : "(shown)")
        << row.variable_set << " " << static_cast<int>(row.station);
  }
}

TEST(MessageBox, AnUnshownBoxAnswersAsClosingItWould) {
  EXPECT_EQ(ClosedMessageBoxAnswer(0x5), 2);         // MB_RETRYCANCEL: IDCANCEL
  EXPECT_EQ(ClosedMessageBoxAnswer(0x10), 1);        // MB_OK | MB_ICONERROR: IDOK
  EXPECT_EQ(ClosedMessageBoxAnswer(0x10 | 0x1), 2);  // MB_OKCANCEL | MB_ICONERROR
  EXPECT_EQ(MessageBoxLine("Quillet - Can't Open Printer", "Cannot open NoSuch.\r\n\r\nRetry?\r\n"),
            "Quillet - Can't Open Printer: Cannot open NoSuch. Retry?");
  EXPECT_EQ(MessageBoxLine(nullptr, "StartDoc returned 0 (Unknown general error)."),
            "Error: StartDoc returned 0 (Unknown general error).");
}

}  // namespace
}  // namespace quillet
