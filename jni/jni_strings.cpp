#include "jni/jni_strings.h"

#include "platform/text.h"
#include "platform/text_win32.h"

namespace quillet {

JavaText::JavaText(JNIEnv* env, jstring string) : chars_(env, string) {
  if (chars_.bytes() == nullptr) return;
  const jsize length = env->GetStringLength(string);
  static_assert(sizeof(jchar) == sizeof(char16_t), "Java characters are UTF-16 units");
  wide_.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  if (length > 0) env->GetStringRegion(string, 0, length, reinterpret_cast<jchar*>(wide_.data()));
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
