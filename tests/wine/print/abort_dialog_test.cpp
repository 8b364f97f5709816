// The cancel dialog and the abort procedure: the ABRTDLG template as stored in the
// library, the dialog made from it, and the message pump that lets it cancel a job.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "print/abort_dialog.h"
#include "print/abort_dialog_win32.h"
#include "support/quillet_dll.h"

namespace quillet::test {
namespace {

// Reads a DLGTEMPLATE (the plain form) word by word.
class TemplateReader {
 public:
  TemplateReader(const void* data, DWORD size) : p_(static_cast<const BYTE*>(data)), end_(p_ + size) {}

  DWORD Dword() {
    DWORD v = 0;
    Take(&v, sizeof v);
    return v;
  }
  WORD Word() {
    WORD v = 0;
    Take(&v, sizeof v);
    return v;
  }
  short Short() { return static_cast<short>(Word()); }
  // A name or ordinal: "#<n>" for an ordinal, "" for none, else the text.
  std::string NameOrOrdinal() {
    WORD first = Word();
    if (first == 0) return "";
    if (first == 0xFFFF) return "#" + std::to_string(Word());
    std::string text(1, static_cast<char>(first));
    return text + String();
  }
  std::string String() {
    std::string text;
    for (WORD c = Word(); c != 0; c = Word()) text += static_cast<char>(c);
    return text;
  }
  void AlignDword(const void* base) {
    while ((p_ - static_cast<const BYTE*>(base)) % 4 != 0) ++p_;
  }
  bool overrun() const { return overrun_; }

 private:
  void Take(void* out, size_t n) {
    if (p_ + n > end_) {
      overrun_ = true;
      return;
    }
    std::memcpy(out, p_, n);
    p_ += n;
  }
  const BYTE* p_;
  const BYTE* end_;
  bool overrun_ = false;
};

struct Item {
  std::string cls;
  WORD id;
  DWORD style;
  short x, y, cx, cy;
  std::string text;
  bool operator==(const Item& o) const {
    return cls == o.cls && id == o.id && style == o.style && x == o.x && y == o.y && cx == o.cx && cy == o.cy &&
           text == o.text;
  }
};
std::ostream& operator<<(std::ostream& os, const Item& i) {
  return os << i.cls << " id " << i.id << " style " << std::hex << i.style << std::dec << " " << i.x << ","
            << i.y << " " << i.cx << "x" << i.cy << " \"" << i.text << "\"";
}

void ExpectTheCancelDialogTemplate(HMODULE module) {
  HRSRC found = FindResourceExA(module, reinterpret_cast<LPCSTR>(RT_DIALOG), "ABRTDLG",
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  ASSERT_NE(found, nullptr);
  const void* data = LockResource(LoadResource(module, found));
  ASSERT_NE(data, nullptr);
  TemplateReader in(data, SizeofResource(module, found));

  EXPECT_EQ(in.Dword(), 0x90C000C0u);  // WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT
  EXPECT_EQ(in.Dword(), 0u);           // extended style: the plain template, not DIALOGEX
  const WORD items = in.Word();
  EXPECT_EQ(items, 4);
  EXPECT_EQ(in.Short(), 89);
  EXPECT_EQ(in.Short(), 42);
  EXPECT_EQ(in.Short(), 137);
  EXPECT_EQ(in.Short(), 72);
  EXPECT_EQ(in.NameOrOrdinal(), "");  // no menu
  EXPECT_EQ(in.NameOrOrdinal(), "");  // the default dialog class
  EXPECT_EQ(in.String(), "Spooling...");
  EXPECT_EQ(in.Word(), 8);
  EXPECT_EQ(in.String(), "System");

  // Predefined control classes are stored as their atoms: 0x80 BUTTON, 0x82 STATIC.
  const std::vector<Item> expected = {
      {"#130", 100, 0x50020001, 4, 4, 124, 8, "Printing..."},
      {"#130", 0xFFFF, 0x50020001, 16, 14, 102, 10, "Press to cancel job"},
      {"#128", IDCANCEL, 0x50010001, 51, 31, 28, 16, "&Cancel"},
      {"#130", 0xFFFF, 0x50020000, 48, 55, 41, 8, "Quillet 2.5"},
  };
  std::vector<Item> seen;
  for (WORD k = 0; k < items && !in.overrun(); ++k) {
    in.AlignDword(data);
    Item item;
    item.style = in.Dword();
    EXPECT_EQ(in.Dword(), 0u) << "item " << k << " extended style";
    item.x = in.Short();
    item.y = in.Short();
    item.cx = in.Short();
    item.cy = in.Short();
    item.id = in.Word();
    item.cls = in.NameOrOrdinal();
    item.text = in.NameOrOrdinal();
    EXPECT_EQ(in.Word(), 0) << "item " << k << " creation data";
    seen.push_back(item);
  }
  EXPECT_FALSE(in.overrun());
  EXPECT_EQ(seen, expected);
}

TEST(CancelDialogTemplate, LibraryResourceMatchesTheLayout) {
  QuilletDll dll;
  ASSERT_NE(dll.module, nullptr);
  ExpectTheCancelDialogTemplate(dll.module);
}

TEST(CancelDialogTemplate, TestProgramCarriesTheSameTemplate) {
  // The driver's code linked into test programs finds the template there.
  ExpectTheCancelDialogTemplate(GetModuleHandleA(nullptr));
}

std::string Text(HWND window) {
  char text[128] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// The dialog made by the library's exported procedures from the library's own
// resources, as the driver makes it.
TEST(CancelDialog, LibraryDialogShowsSpoolingAndCancelsOnCommand) {
  QuilletDll dll;
  ASSERT_TRUE(dll.ok());
  HWND dialog = CreateDialogParamA(dll.module, "AbrtDlg", GetFocus(), reinterpret_cast<DLGPROC>(dll.abrt_dlg_p), 0);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Text(dialog), "Spooling");
  EXPECT_EQ(Text(GetDlgItem(dialog, 100)), "Printing...");
  EXPECT_TRUE(IsWindowVisible(dialog));

  EXPECT_TRUE(dll.abrt_proc(nullptr, 0));
  EXPECT_TRUE(dll.abrt_proc(nullptr, SP_OUTOFDISK));  // every error code alike

  // Press Cancel: the click reaches the dialog through the abort procedure's pump.
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
  EXPECT_FALSE(dll.abrt_proc(nullptr, 0));
  EXPECT_FALSE(dll.abrt_proc(nullptr, 0));
  EXPECT_TRUE(IsWindow(dialog));  // cancelling leaves the dialog to the driver
  DestroyWindow(dialog);
}

// Dispatches what is pending (a paint message stays queued until it is handled).
void Drain() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
}

class AbortProcTest : public testing::Test {
 protected:
  void SetUp() override {
    user_abort = 0;
    dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), "AbrtDlg", nullptr, &AbrtDlgP, 0);
    ASSERT_NE(dialog_, nullptr);
    cancel_dialog = dialog_;
  }
  void TearDown() override {
    DestroyWindow(dialog_);
    cancel_dialog = nullptr;
    progress_window = nullptr;
    user_abort = 0;
    Drain();
  }
  HWND dialog_ = nullptr;
};

TEST_F(AbortProcTest, DialogProcedureStoresTheProgressWindow) {
  EXPECT_EQ(progress_window, dialog_);
  EXPECT_EQ(Text(dialog_), "Spooling");
}

TEST_F(AbortProcTest, KeysCancelThroughTheDialogManager) {
  for (WPARAM key : {WPARAM{VK_ESCAPE}, WPARAM{VK_RETURN}}) {
    SCOPED_TRACE(key);
    user_abort = 0;
    EXPECT_TRUE(AbrtProc(nullptr, 0));
    PostMessageA(GetDlgItem(dialog_, IDCANCEL), WM_KEYDOWN, key, 1);
    EXPECT_FALSE(AbrtProc(nullptr, 0));
    EXPECT_FALSE(AbrtProc(nullptr, 0));
  }
}

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* seen = reinterpret_cast<std::vector<UINT>*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (seen != nullptr && (message == WM_USER + 7 || message == WM_CHAR)) seen->push_back(message);
  return DefWindowProcA(window, message, wparam, lparam);
}

TEST_F(AbortProcTest, MessagesForOtherWindowsAreTranslatedAndDispatched) {
  WNDCLASSA cls = {};
  cls.lpfnWndProc = &CountingProc;
  cls.hInstance = GetModuleHandleA(nullptr);
  cls.lpszClassName = "QuilletAbortProcTest";
  RegisterClassA(&cls);
  HWND other = CreateWindowA(cls.lpszClassName, "other", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                             cls.hInstance, nullptr);
  ASSERT_NE(other, nullptr);
  std::vector<UINT> seen;
  SetWindowLongPtrA(other, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&seen));

  PostMessageA(other, WM_USER + 7, 0, 0);
  PostMessageA(other, WM_KEYDOWN, 'A', 1);  // TranslateMessage makes a WM_CHAR of it
  EXPECT_TRUE(AbrtProc(nullptr, 0));
  EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 7, WM_CHAR}));
  MSG left;
  EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));  // the queue is empty
  DestroyWindow(other);
}

TEST_F(AbortProcTest, EmptyQueueAnswersAtOnce) {
  Drain();
  const DWORD start = GetTickCount();
  EXPECT_TRUE(AbrtProc(nullptr, 0));
  user_abort = 1;
  EXPECT_FALSE(AbrtProc(nullptr, 0));
  EXPECT_LT(GetTickCount() - start, 1000u);
}

TEST(AbortProc, WithoutADialogStillEmptiesTheQueue) {
  cancel_dialog = nullptr;
  user_abort = 0;
  PostThreadMessageA(GetCurrentThreadId(), WM_USER + 9, 0, 0);
  EXPECT_TRUE(AbrtProc(nullptr, 0));
  MSG left;
  EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));
}

}  // namespace
}  // namespace quillet::test
