// Java strings on their way into and out of the library. This is the one place
// where Java's text is converted: inside the library text is in the ANSI code
// page, with the UTF-16 form kept beside it for the calls that take wide names.
#ifndef QUILLET_JNI_JNI_STRINGS_H
#define QUILLET_JNI_JNI_STRINGS_H

#include <jni.h>

#include <string>
#include <utility>

namespace quillet {

// The bytes of one Java string, held from GetStringUTFChars until GiveBack() (or
// the end of the scope), which releases the bytes and at once deletes the
// string's local reference. A null reference is never passed to the virtual
// machine.
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
  // The virtual machine could not supply the bytes of a string: it is out of
  // memory and has an exception pending, so only releases and deletes may follow.
  bool failed() const { return string_ != nullptr && chars_ == nullptr; }

  void GiveBack() {
    if (chars_ != nullptr) env_->ReleaseStringUTFChars(string_, std::exchange(chars_, nullptr));
    if (string_ != nullptr) env_->DeleteLocalRef(std::exchange(string_, nullptr));
  }

 private:
  JNIEnv* env_;
  jstring string_;
  const char* chars_ = nullptr;
};

// A Java string argument as the library uses it: the virtual machine's bytes are
// held as Utf8Chars hold them (so the JNI calls stay in their order), and the
// text is converted once, when it is taken. The text is the string's UTF-16
// units (GetStringLength, GetStringRegion), which every virtual machine hands
// out alike; the bytes are not alike: some give U+0000 as modified UTF-8's C0 80,
// others as a zero byte that ends them early. From UTF-16 the text goes to the
// ANSI code page.
class JavaText {
 public:
  JavaText(JNIEnv* env, jstring string);
  JavaText(const JavaText&) = delete;
  JavaText& operator=(const JavaText&) = delete;

  // Null for a null string or a failed take.
  const char* ansi() const { return chars_.bytes() != nullptr ? ansi_.c_str() : nullptr; }
  // The text in UTF-16, for the calls that take wide names.
  const std::u16string& wide() const { return wide_; }
  // False when the ANSI code page cannot spell the text (ansi() then holds '?'
  // in its place): names must then be used in their wide form.
  bool exact() const { return exact_; }
  // The text holds U+0000 (ansi() then ends there). Such a text names nothing:
  // cut at the NUL it would name another file, key or program than the caller's.
  bool holds_nul() const { return holds_nul_; }
  bool failed() const { return chars_.failed(); }

  void GiveBack() { chars_.GiveBack(); }

 private:
  Utf8Chars chars_;
  std::u16string wide_;
  std::string ansi_;
  bool exact_ = true;
  bool holds_nul_ = false;
};

// A new Java string from text in the ANSI code page: UTF-16, then modified UTF-8.
jstring NewJavaString(JNIEnv* env, const std::string& ansi);

}  // namespace quillet

#endif
