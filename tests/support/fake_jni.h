// A JNI environment of the tests' own. Strings and arrays are plain objects; every
// call the library makes through the function table is recorded in order, and the
// string/reference discipline is checked as it happens.
#ifndef QUILLET_TESTS_FAKE_JNI_H
#define QUILLET_TESTS_FAKE_JNI_H

#include <jni.h>

#include <memory>
#include <string>
#include <vector>

namespace quillet::test {

class FakeJni {
 public:
  FakeJni();
  ~FakeJni();
  FakeJni(const FakeJni&) = delete;
  FakeJni& operator=(const FakeJni&) = delete;

  JNIEnv* env() { return &env_; }

  // A Java string with these bytes (modified UTF-8 as the library sees it).
  jstring String(const std::string& bytes);
  // A Java String[]; a nullptr element stands for a null element.
  jobjectArray Array(const std::vector<const char*>& elements);
  // The text of a string the library made with NewStringUTF.
  static std::string Text(jstring s);

  // Every call that takes, gives back or makes something, in order, e.g.
  // "GetArrayLength", "GetObjectArrayElement 0", "GetStringUTFChars a.txt",
  // "ReleaseStringUTFChars a.txt", "DeleteLocalRef a.txt", "NewStringUTF PDF".
  // Reading a string's UTF-16 units (GetStringLength, GetStringRegion) holds
  // nothing and is not listed; it is checked as the others are.
  const std::vector<std::string>& calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }

  // Discipline faults seen so far (empty when the library behaved): a release
  // with another pointer than the one handed out, a double release, a call the
  // library must not make, more than one array element alive at a time.
  const std::vector<std::string>& faults() const { return faults_; }
  int max_live_elements() const { return max_live_elements_; }
  int outstanding_chars() const { return static_cast<int>(chars_out_.size()); }

  // Makes the n-th GetStringUTFChars from now (0: the next) fail as a virtual
  // machine out of memory does: it returns null with an exception pending, after
  // which only releases and deletes are allowed (anything else is a fault).
  void FailTake(int n) { fail_take_in_ = n; }
  // GetStringUTFChars hands out U+0000 as one zero byte, as some virtual
  // machines do (Avian), instead of modified UTF-8's C0 80: the bytes then end
  // at the first such character. The UTF-16 units are the same either way.
  void RawZero(bool raw) { raw_zero_ = raw; }
  bool exception_pending() const { return exception_pending_; }
  // Array elements handed to the library and not deleted.
  int live_references() const;
  // True while a call of any FakeJni is under way on this thread (tests that make
  // the library's allocations fail leave this environment's own alone).
  static bool InsideCall();

  struct Object;  // strings and arrays of this environment

 private:
  friend struct Callbacks;
  JNINativeInterface_ table_{};
  JNIEnv env_{};
  std::vector<std::unique_ptr<Object>> objects_;
  std::vector<std::string> calls_;
  std::vector<std::string> faults_;
  std::vector<std::pair<const char*, Object*>> chars_out_;  // handed out, not released
  int live_elements_ = 0;
  int max_live_elements_ = 0;
  int fail_take_in_ = -1;
  bool raw_zero_ = false;
  bool exception_pending_ = false;
};

}  // namespace quillet::test

#endif
