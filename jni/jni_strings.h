// The bytes of one Java string for the length of a native call's use of them.
#ifndef QUILLET_JNI_JNI_STRINGS_H
#define QUILLET_JNI_JNI_STRINGS_H

#include <jni.h>

#include <utility>

namespace quillet {

// Held from GetStringUTFChars until GiveBack() (or the end of the scope), which
// releases the bytes and at once deletes the string's local reference. A null
// reference is never passed to the virtual machine: bytes() is then null.
class Utf8Chars {
 public:
  Utf8Chars(JNIEnv* env, jstring string) : env_(env), string_(string) {
    if (string_ != nullptr) chars_ = env_->GetStringUTFChars(string_, nullptr);
  }
  ~Utf8Chars() { GiveBack(); }
  Utf8Chars(const Utf8Chars&) = delete;
  Utf8Chars& operator=(const Utf8Chars&) = delete;

  // Null for a null string or when the virtual machine could not supply the bytes.
  const char* bytes() const { return chars_; }

  void GiveBack() {
    if (chars_ != nullptr) env_->ReleaseStringUTFChars(string_, std::exchange(chars_, nullptr));
    if (string_ != nullptr) env_->DeleteLocalRef(std::exchange(string_, nullptr));
  }

 private:
  JNIEnv* env_;
  jstring string_;
  const char* chars_ = nullptr;
};

}  // namespace quillet

#endif
