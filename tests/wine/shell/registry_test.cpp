// read_registry_string against Wine's real registry. Each test works in a key of
// its own under HKEY_CURRENT_USER\Software\QuilletTest and removes it afterwards.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "shell/registry_text.h"
#include "shell/shell_services.h"
#include "support/fake_jni.h"
#include "support/quillet_dll.h"

namespace quillet {
namespace {

const char kKeyErrorPrefix[] = "**ERROR** RegOpenKeyEx() Registry Key not found: ";
const char kValueErrorPrefix[] = "**ERROR** RegQueryValueEx() Data Value not found: ";
constexpr jint kCurrentUser = -2147483647;  // HKEY_CURRENT_USER as the Java int

std::string Bytes(const char* data, size_t size) { return std::string(data, size); }

// ---- the texts, with no registry involved ----

TEST(RegistryText, ErrorTextsNameTheCallersText) {
  EXPECT_EQ(RegistryKeyErrorText("Software\\Nowhere"), std::string(kKeyErrorPrefix) + "Software\\Nowhere");
  EXPECT_EQ(RegistryValueErrorText("Colour"), std::string(kValueErrorPrefix) + "Colour");
  EXPECT_EQ(RegistryValueErrorText(""), kValueErrorPrefix);
}

TEST(RegistryText, LongNamesAreCutToTheResultSize) {
  // 206 bytes of key name and 205 of value name are the most that fit whole.
  struct Row {
    std::string (*format)(const char*, IsLeadByte);
    size_t fits;
  } rows[] = {{&RegistryKeyErrorText, 206}, {&RegistryValueErrorText, 205}};
  for (const Row& r : rows) {
    const std::string fitting(r.fits, 'k');
    EXPECT_EQ(r.format(fitting.c_str(), nullptr).size(), kRegistryResultSize - 1);
    EXPECT_EQ(r.format(fitting.c_str(), nullptr).substr(kRegistryResultSize - 1 - r.fits), fitting);
    const std::string longer(r.fits + 1, 'k');
    EXPECT_EQ(r.format(longer.c_str(), nullptr).size(), kRegistryResultSize - 1);
    const std::string huge(5000, 'k');
    const std::string cut = r.format(huge.c_str(), nullptr);
    EXPECT_EQ(cut.size(), kRegistryResultSize - 1);
    EXPECT_EQ(cut.rfind("**ERROR** ", 0), 0u);
    // In a code page of two-byte characters the cut falls between characters.
    const auto lead = [](unsigned char byte) { return byte >= 0x81; };
    const std::string wide_last = std::string(r.fits - 1, 'k') + "\x82\xA0";
    EXPECT_EQ(r.format(wide_last.c_str(), lead), r.format(std::string(r.fits - 1, 'k').c_str(), lead));
    EXPECT_EQ(r.format(wide_last.c_str(), nullptr).size(), kRegistryResultSize - 1);
  }
}

TEST(RegistryText, DataEndsAtItsFirstZeroOrItsSize) {
  struct Row {
    std::string data;
    size_t size;
    std::string expected;
  } rows[] = {
      {Bytes("abc\0def", 8), 8, "abc"},
      {Bytes("\x01\0\0\0", 4), 4, "\x01"},
      {Bytes("\0\0\0\0", 4), 4, ""},
      {"abcdef", 3, "abc"},  // the bytes past the returned size are never read
      {"", 0, ""},
      {std::string(256, 'z'), 256, std::string(256, 'z')},
  };
  for (const Row& r : rows) EXPECT_EQ(RegistryDataText(r.data.data(), r.size), r.expected) << r.expected;
}

// ---- the registry ----

// Gives every key below `root`\`path` its full access back (a test may have
// narrowed one), then removes the tree. The owner may always rewrite the DACL.
void RemoveTree(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KA;;;WD)", SDDL_REVISION_1, &sd, nullptr)) {
      RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
      LocalFree(sd);
    }
    RegCloseKey(key);
  }
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, &key) == ERROR_SUCCESS) {
    std::vector<std::string> children;
    char name[256];
    for (DWORD i = 0;; ++i) {
      DWORD size = sizeof name;
      if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      children.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string& child : children) RemoveTree(path + "\\" + child);
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dll_.ok());
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = "Software\\QuilletTest\\" + std::to_string(GetCurrentProcessId()) + "-" + info->name();
    RemoveTree(path_);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                              nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    if (key_ != nullptr) RegCloseKey(key_);
    RemoveTree(path_);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QuilletTest");  // only once it is empty
  }

  void Set(const char* name, DWORD type, const std::string& data) {
    ASSERT_EQ(RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS)
        << name;
  }
  static std::string Dword(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }

  // read_registry_string through the exported method, with its JNI calls checked.
  std::string Read(jint root, const std::string& subkey, const std::string& value_name) {
    test::FakeJni jni;
    jni.RawZero(raw_zero_);
    jstring result = dll_.read_registry_string(jni.env(), nullptr, root, jni.String(subkey), jni.String(value_name));
    const std::string text = test::FakeJni::Text(result);
    const std::vector<std::string> expected = {
        "GetStringUTFChars " + subkey,     "GetStringUTFChars " + value_name, "ReleaseStringUTFChars " + subkey,
        "DeleteLocalRef " + subkey,        "ReleaseStringUTFChars " + value_name,
        "DeleteLocalRef " + value_name,    "NewStringUTF " + text,
    };
    EXPECT_EQ(jni.calls(), expected);
    EXPECT_TRUE(jni.faults().empty());
    EXPECT_EQ(jni.outstanding_chars(), 0);
    return text;
  }
  std::string Read(const std::string& value_name) { return Read(kCurrentUser, path_, value_name); }

  test::QuilletDll dll_;
  std::string path_;
  HKEY key_ = nullptr;
  bool raw_zero_ = false;  // Read() with a virtual machine that gives U+0000 as a zero byte
};

TEST_F(RegistryTest, ValuesComeBackByTheirBytes) {
  struct Row {
    const char* name;
    DWORD type;
    std::string data;
    std::string expected;
  } rows[] = {
      {"text", REG_SZ, Bytes("Orvo\0", 5), "Orvo"},
      {"spaces", REG_SZ, Bytes("  a b  \0", 8), "  a b  "},
      {"empty", REG_SZ, Bytes("\0", 1), ""},
      {"longest", REG_SZ, std::string(255, 'L') + '\0', std::string(255, 'L')},
      {"expand", REG_EXPAND_SZ, Bytes("%SystemRoot%\\x\0", 15), "%SystemRoot%\\x"},
      {"multi", REG_MULTI_SZ, Bytes("first\0second\0\0", 14), "first"},
      {"one", REG_DWORD, Dword(1), "\x01"},
      {"zero", REG_DWORD, Dword(0), ""},
      {"no_zero_byte", REG_DWORD, Dword(0x44434241), "ABCD"},
      {"binary", REG_BINARY, Bytes("xy\0z", 4), "xy"},
      // Full result with no terminator: all 256 bytes and nothing after them.
      {"binary_full", REG_BINARY, std::string(256, 'b'), std::string(256, 'b')},
  };
  for (const Row& r : rows) Set(r.name, r.type, r.data);
  for (const Row& r : rows) EXPECT_EQ(Read(r.name), r.expected) << r.name;
}

TEST_F(RegistryTest, ValueLongerThanTheResultIsAnError) {
  Set("too_long", REG_SZ, std::string(256, 'L') + '\0');
  Set("too_long_binary", REG_BINARY, std::string(257, 'b'));
  EXPECT_EQ(Read("too_long"), std::string(kValueErrorPrefix) + "too_long");
  EXPECT_EQ(Read("too_long_binary"), std::string(kValueErrorPrefix) + "too_long_binary");
}

TEST_F(RegistryTest, StringStoredWithoutTerminatorEndsWithItsData) {
  Set("unterminated", REG_SZ, "abc");
  const std::string got = Read("unterminated");
  EXPECT_EQ(got, "abc");
}

TEST_F(RegistryTest, DefaultValuePresentAndAbsent) {
  EXPECT_EQ(Read(""), kValueErrorPrefix);
  Set("", REG_SZ, Bytes("the default\0", 12));
  EXPECT_EQ(Read(""), "the default");
}

TEST_F(RegistryTest, MissingKeyAndMissingValueGiveTheirTexts) {
  const std::string missing = path_ + "\\not here";
  EXPECT_EQ(Read(kCurrentUser, missing, "v"), kKeyErrorPrefix + missing);
  EXPECT_EQ(Read("no such value"), std::string(kValueErrorPrefix) + "no such value");
  // Root 0 is no key at all.
  EXPECT_EQ(Read(0, path_, "v"), kKeyErrorPrefix + path_);
}

TEST_F(RegistryTest, LongNameInAnErrorTextIsCut) {
  const std::string subkey = path_ + "\\" + std::string(400, 's');
  const std::string got = Read(kCurrentUser, subkey, "v");
  EXPECT_EQ(got, (kKeyErrorPrefix + subkey).substr(0, kRegistryResultSize - 1));
  const std::string value(300, 'v');
  EXPECT_EQ(Read(value), (kValueErrorPrefix + value).substr(0, kRegistryResultSize - 1));
}

TEST_F(RegistryTest, NullStringsAreNotRead) {
  Set("v", REG_SZ, Bytes("x\0", 2));
  test::FakeJni jni;
  jstring value = jni.String("v");
  jstring result = dll_.read_registry_string(jni.env(), nullptr, kCurrentUser, nullptr, value);
  EXPECT_EQ(test::FakeJni::Text(result), kKeyErrorPrefix);
  EXPECT_EQ(jni.calls(), (std::vector<std::string>{"GetStringUTFChars v", "ReleaseStringUTFChars v",
                                                    "DeleteLocalRef v", std::string("NewStringUTF ") + kKeyErrorPrefix}));

  test::FakeJni jni2;
  jstring subkey = jni2.String(path_);
  result = dll_.read_registry_string(jni2.env(), nullptr, kCurrentUser, subkey, nullptr);
  EXPECT_EQ(test::FakeJni::Text(result), kValueErrorPrefix);
  EXPECT_EQ(jni2.calls(), (std::vector<std::string>{"GetStringUTFChars " + path_, "ReleaseStringUTFChars " + path_,
                                                     "DeleteLocalRef " + path_,
                                                     std::string("NewStringUTF ") + kValueErrorPrefix}));
  EXPECT_TRUE(jni.faults().empty());
  EXPECT_TRUE(jni2.faults().empty());
}

// Names and data beyond 7-bit ASCII: Java sends and receives modified UTF-8,
// the registry is read in the ANSI code page (1252 here).
TEST_F(RegistryTest, TextBeyondAsciiCrossesTheBoundaryConverted) {
  HKEY sub = nullptr;
  ASSERT_EQ(RegCreateKeyExW(key_, L"B\u00FCro", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_SUCCESS);
  const std::wstring euro = L"\u20AC 5 Zo\u00EB";
  RegSetValueExW(sub, L"Gr\u00F6\u00DFe", 0, REG_SZ, reinterpret_cast<const BYTE*>(euro.c_str()),
                 static_cast<DWORD>((euro.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(sub);

  const std::string buero = path_ + "\\B\xC3\xBCro";
  EXPECT_EQ(Read(kCurrentUser, buero, "Gr\xC3\xB6\xC3\x9F" "e"), "\xE2\x82\xAC 5 Zo\xC3\xAB");
  EXPECT_EQ(Read(kCurrentUser, buero, "\xC3\xA9t\xC3\xA9"), std::string(kValueErrorPrefix) + "\xC3\xA9t\xC3\xA9");
  // A name the code page cannot spell is not found, under whatever look-alike:
  // not even as the '?' it would become, which registry names may hold.
  HKEY question = nullptr;
  ASSERT_EQ(RegCreateKeyExA(key_, "?", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &question, nullptr), ERROR_SUCCESS);
  RegSetValueExA(question, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("other key"), 10);
  RegCloseKey(question);
  Set("?", REG_SZ, std::string("other value", 12));
  Set("v", REG_SZ, std::string("mine", 5));
  EXPECT_EQ(Read(kCurrentUser, path_ + "\\\xCE\xA9", "v"), kKeyErrorPrefix + path_ + "\\?");
  EXPECT_EQ(Read("\xCE\xA9"), std::string(kValueErrorPrefix) + "?");
  // Nor is a name holding U+0000 (C0 80 from Java, or a zero byte from some
  // virtual machines): cut there, it names another.
  for (bool raw_zero : {false, true}) {
    raw_zero_ = raw_zero;
    EXPECT_EQ(Read(kCurrentUser, path_ + "\xC0\x80x", "v"), kKeyErrorPrefix + path_);
    EXPECT_EQ(Read("v\xC0\x80x"), std::string(kValueErrorPrefix) + "v");
  }
}

TEST_F(RegistryTest, FailedTakeGivesBackWhatIsHeldAndReturnsNull) {
  const struct {
    int fail;
    std::vector<std::string> calls;
  } cases[] = {
      {0, {"GetStringUTFChars " + path_ + " (failed)", "DeleteLocalRef " + path_}},
      {1, {"GetStringUTFChars " + path_, "GetStringUTFChars v (failed)", "ReleaseStringUTFChars " + path_,
           "DeleteLocalRef " + path_, "DeleteLocalRef v"}},
  };
  for (const auto& c : cases) {
    test::FakeJni jni;
    jni.FailTake(c.fail);
    EXPECT_EQ(dll_.read_registry_string(jni.env(), nullptr, kCurrentUser, jni.String(path_), jni.String("v")),
              nullptr);
    EXPECT_EQ(jni.calls(), c.calls);
    EXPECT_TRUE(jni.faults().empty()) << jni.faults().front();
  }
}

// A key whose only access control entry grants `rights` to everyone.
void RestrictKey(HKEY key, DWORD rights) {
  char sddl[64];
  std::snprintf(sddl, sizeof sddl, "D:P(A;;0x%lx;;;WD)", static_cast<unsigned long>(rights));
  PSECURITY_DESCRIPTOR sd = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr));
  EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
  LocalFree(sd);
}

TEST_F(RegistryTest, KeyGrantingOnlyQueryAccessCanBeRead) {
  HKEY sub = nullptr;
  ASSERT_EQ(RegCreateKeyExA(key_, "query only", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(sub, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("readable"), 9), ERROR_SUCCESS);
  RestrictKey(sub, KEY_QUERY_VALUE);
  RegCloseKey(sub);

  const std::string subkey = path_ + "\\query only";
  // Wider access is refused, so only a query-only open can read it.
  HKEY wide = nullptr;
  const LONG wide_open = RegOpenKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_READ, &wide);
  if (wide_open == ERROR_SUCCESS) RegCloseKey(wide);
  EXPECT_EQ(wide_open, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Read(kCurrentUser, subkey, "v"), "readable");
}

TEST_F(RegistryTest, KeyWithoutQueryAccessGivesTheKeyText) {
  HKEY sub = nullptr;
  ASSERT_EQ(RegCreateKeyExA(key_, "set only", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(sub, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("hidden"), 7), ERROR_SUCCESS);
  RestrictKey(sub, KEY_SET_VALUE);
  RegCloseKey(sub);

  const std::string subkey = path_ + "\\set only";
  EXPECT_EQ(Read(kCurrentUser, subkey, "v"), kKeyErrorPrefix + subkey);
}

}  // namespace
}  // namespace quillet
