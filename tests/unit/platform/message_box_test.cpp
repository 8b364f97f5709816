#include "platform/message_box.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(MessageBox, NoneWhereNobodyCouldAnswerItAndTheAnswerOfClosingIt) {
  EXPECT_EQ(WhyNoMessageBox(false, WindowStation::kVisible), nullptr);
  EXPECT_EQ(WhyNoMessageBox(false, WindowStation::kUnknown), nullptr);
  EXPECT_STREQ(WhyNoMessageBox(false, WindowStation::kNotVisible), "the window station is not visible");
  EXPECT_STREQ(WhyNoMessageBox(true, WindowStation::kVisible), "QUILLET_NO_MESSAGE_BOXES is set");
  EXPECT_EQ(ClosedMessageBoxAnswer(0x5), 2);   // MB_RETRYCANCEL: IDCANCEL
  EXPECT_EQ(ClosedMessageBoxAnswer(0x10), 1);  // MB_OK | MB_ICONERROR: IDOK
  EXPECT_EQ(MessageBoxLine("Quillet - Can't Open Printer", "No such.\r\n\r\nRetry?\r\n"),
            "Quillet - Can't Open Printer: No such. Retry?");
  EXPECT_EQ(MessageBoxLine(nullptr, "StartDoc returned 0."), "Error: StartDoc returned 0.");
}

}  // namespace
}  // namespace quillet
