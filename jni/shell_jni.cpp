// launch_document, shellexec and read_registry_string: the JNI side. Each takes
// its strings, calls the shell layer, and gives the strings back in the order it
// took them, each released and its local reference deleted at once. None takes
// the print lock: these calls keep everything they use to themselves.
#include <windows.h>

#include <string>

#include "doc_NativeWindows.h"
#include "jni/export_boundary.h"
#include "jni/jni_strings.h"
#include "shell/command_line.h"
#include "shell/registry_text.h"
#include "shell/shell_services.h"

namespace quillet {
namespace {

// Launches one command line, in the wide form when the ANSI code page cannot
// spell the verb or the command. `verb` null: the file's default verb.
void Launch(const JavaText* verb, const JavaText& command) {
  const bool marker = verb == nullptr || IsNullVerb(verb->ansi());
  if ((verb == nullptr || verb->exact()) && command.exact()) {
    LaunchCommand(marker ? nullptr : verb->ansi(), command.ansi());
  } else {
    LaunchCommand(marker ? nullptr : verb->wide().c_str(), std::u16string_view(command.wide()));
  }
}

}  // namespace
}  // namespace quillet

extern "C" JNIEXPORT jboolean JNICALL Java_doc_NativeWindows_launch_1document(JNIEnv* env, jclass, jstring verb,
                                                                               jstring command) {
  using namespace quillet;
  return ExportBoundary("Java_doc_NativeWindows_launch_1document", JNI_FALSE, [&]() -> jboolean {
    // After a failed take the virtual machine has an exception pending: what is
    // held goes back (in the order taken) and the call returns at once.
    JavaText verb_text(env, verb);
    if (verb_text.failed()) return JNI_FALSE;
    JavaText command_text(env, command);
    if (command_text.failed()) {
      verb_text.GiveBack();
      return JNI_FALSE;
    }
    // A missing verb or command line launches nothing, nor does one that holds
    // a NUL character (cut there, it would name another program or file).
    if (verb_text.ansi() != nullptr && command_text.ansi() != nullptr && !verb_text.holds_nul() &&
        !command_text.holds_nul())
      Launch(&verb_text, command_text);
    verb_text.GiveBack();
    command_text.GiveBack();
    return JNI_TRUE;
  });
}

extern "C" JNIEXPORT jboolean JNICALL Java_doc_NativeWindows_shellexec(JNIEnv* env, jclass, jobjectArray commands) {
  using namespace quillet;
  return ExportBoundary("Java_doc_NativeWindows_shellexec", JNI_FALSE, [&]() -> jboolean {
    if (commands == nullptr) return JNI_TRUE;
    const jsize count = env->GetArrayLength(commands);
    for (jsize i = 0; i < count; ++i) {
      // One element alive at a time: taken, launched (and waited for), given back.
      JavaText command(env, static_cast<jstring>(env->GetObjectArrayElement(commands, i)));
      if (command.failed()) return JNI_FALSE;
      if (command.ansi() != nullptr && !command.holds_nul()) Launch(nullptr, command);
    }
    return JNI_TRUE;
  });
}

extern "C" JNIEXPORT jstring JNICALL Java_doc_NativeWindows_read_1registry_1string(JNIEnv* env, jclass, jint root,
                                                                                    jstring subkey,
                                                                                    jstring value_name) {
  using namespace quillet;
  return ExportBoundary("Java_doc_NativeWindows_read_1registry_1string", jstring{nullptr}, [&]() -> jstring {
    JavaText subkey_text(env, subkey);
    if (subkey_text.failed()) return nullptr;
    JavaText value_text(env, value_name);
    if (value_text.failed()) {
      subkey_text.GiveBack();
      return nullptr;
    }
    // The registry is read through its ANSI calls. A name the code page cannot
    // spell exactly is not asked for: its '?' characters are legal in registry
    // names and could find another key's data. Nor is a name that holds a NUL
    // character. Either is not found, and the error text names it as the code
    // page spells it.
    const auto names_nothing = [](const JavaText& text) { return !text.exact() || text.holds_nul(); };
    std::string result;
    if (subkey_text.ansi() == nullptr) {
      result = RegistryKeyErrorText("");
    } else if (names_nothing(subkey_text)) {
      result = RegistryKeyNotFound(subkey_text.ansi());
    } else if (value_text.ansi() == nullptr) {
      result = RegistryValueErrorText("");
    } else if (names_nothing(value_text)) {
      result = RegistryValueNotFound(value_text.ansi());
    } else {
      // The int is a predefined root key's value, widened as Windows defines them.
      const HKEY root_key = reinterpret_cast<HKEY>(static_cast<LONG_PTR>(root));
      result = ReadRegistryString(root_key, subkey_text.ansi(), value_text.ansi());
    }
    subkey_text.GiveBack();
    value_text.GiveBack();
    return NewJavaString(env, result);
  });
}
