#include "jni/jni_strings.h"

#include "platform/text.h"
#include "platform/text_win32.h"

namespace quillet {

JavaText::JavaText(JNIEnv* env, jstring string) : chars_(env, string) {
  if (chars_.bytes() == nullptr) return;
  wide_ = Utf16FromModifiedUtf8(chars_.bytes());
  AnsiText ansi = AnsiFromUtf16(wide_);
  ansi_ = std::move(ansi.bytes);
  exact_ = ansi.exact;
  holds_nul_ = wide_.find(u'\0') != std::u16string::npos;
}

jstring NewJavaString(JNIEnv* env, const std::string& ansi) {
  const std::string bytes = ModifiedUtf8FromUtf16(Utf16FromAnsi(ansi));
  return env->NewStringUTF(bytes.c_str());
}

}  // namespace quillet
