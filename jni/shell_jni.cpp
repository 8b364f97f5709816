// launch_document, shellexec and read_registry_string: the JNI side. Each takes
// its strings, calls the shell layer, and gives the strings back in the order it
// took them, each released and its local reference deleted at once.
#include <windows.h>

#include <string>

#include "doc_NativeWindows.h"
#include "jni/jni_strings.h"
#include "shell/command_line.h"
#include "shell/registry_text.h"
#include "shell/shell_services.h"

extern "C" JNIEXPORT jboolean JNICALL Java_doc_NativeWindows_launch_1document(JNIEnv* env, jclass, jstring verb,
                                                                               jstring command) {
  using namespace quillet;
  Utf8Chars verb_chars(env, verb);
  Utf8Chars command_chars(env, command);
  // A missing verb or command line launches nothing.
  if (verb_chars.bytes() != nullptr && command_chars.bytes() != nullptr) {
    const char* shell_verb = IsNullVerb(verb_chars.bytes()) ? nullptr : verb_chars.bytes();
    LaunchCommand(shell_verb, command_chars.bytes());
  }
  verb_chars.GiveBack();
  command_chars.GiveBack();
  return JNI_TRUE;
}

extern "C" JNIEXPORT jboolean JNICALL Java_doc_NativeWindows_shellexec(JNIEnv* env, jclass, jobjectArray commands) {
  using namespace quillet;
  if (commands == nullptr) return JNI_TRUE;
  const jsize count = env->GetArrayLength(commands);
  for (jsize i = 0; i < count; ++i) {
    // One element alive at a time: taken, launched (and waited for), given back.
    Utf8Chars command(env, static_cast<jstring>(env->GetObjectArrayElement(commands, i)));
    if (command.bytes() != nullptr) LaunchCommand(nullptr, command.bytes());
  }
  return JNI_TRUE;
}

extern "C" JNIEXPORT jstring JNICALL Java_doc_NativeWindows_read_1registry_1string(JNIEnv* env, jclass, jint root,
                                                                                    jstring subkey,
                                                                                    jstring value_name) {
  using namespace quillet;
  Utf8Chars subkey_chars(env, subkey);
  Utf8Chars value_chars(env, value_name);
  std::string result;
  if (subkey_chars.bytes() == nullptr) {
    result = RegistryKeyErrorText("");
  } else if (value_chars.bytes() == nullptr) {
    result = RegistryValueErrorText("");
  } else {
    // The int is a predefined root key's value, widened as Windows defines them.
    const HKEY root_key = reinterpret_cast<HKEY>(static_cast<LONG_PTR>(root));
    result = ReadRegistryString(root_key, subkey_chars.bytes(), value_chars.bytes());
  }
  subkey_chars.GiveBack();
  value_chars.GiveBack();
  return env->NewStringUTF(result.c_str());
}
