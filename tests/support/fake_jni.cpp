#include "support/fake_jni.h"

#include <cstdlib>
#include <cstring>

#include "platform/text.h"

namespace quillet::test {

struct FakeJni::Object {
  bool is_array = false;
  bool is_element = false;  // handed out by GetObjectArrayElement
  bool deleted = false;
  std::string bytes;
  std::vector<Object*> elements;
};

namespace {

FakeJni* Self(JNIEnv* env) {
  // The table's first reserved slot points back at its environment.
  return static_cast<FakeJni*>(env->functions->reserved0);
}

FakeJni::Object* Obj(jobject o) { return reinterpret_cast<FakeJni::Object*>(o); }

thread_local int t_depth = 0;  // calls of this environment under way on this thread

struct Busy {
  Busy() { ++t_depth; }
  ~Busy() { --t_depth; }
};

}  // namespace

struct Callbacks {
  static FakeJni* Owner(JNIEnv* env) { return Self(env); }

  // With an exception pending, JNI allows releases and deletes, nothing else.
  static void Allowed(FakeJni* self, const char* call) {
    if (self->exception_pending_) self->faults_.push_back(std::string(call) + " with an exception pending");
  }

  static jsize JNICALL GetArrayLength(JNIEnv* env, jarray array) {
    const Busy busy;
    FakeJni* self = Owner(env);
    Allowed(self, "GetArrayLength");
    self->calls_.push_back("GetArrayLength");
    return static_cast<jsize>(Obj(array)->elements.size());
  }

  static jobject JNICALL GetObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index) {
    const Busy busy;
    FakeJni* self = Owner(env);
    Allowed(self, "GetObjectArrayElement");
    self->calls_.push_back("GetObjectArrayElement " + std::to_string(index));
    FakeJni::Object* element = Obj(array)->elements.at(static_cast<size_t>(index));
    if (element == nullptr) return nullptr;
    // Each fetch makes a new local reference, as a virtual machine does.
    auto ref = std::make_unique<FakeJni::Object>(*element);
    ref->is_element = true;
    FakeJni::Object* raw = ref.get();
    self->objects_.push_back(std::move(ref));
    if (++self->live_elements_ > self->max_live_elements_) self->max_live_elements_ = self->live_elements_;
    return reinterpret_cast<jobject>(raw);
  }

  static const char* JNICALL GetStringUTFChars(JNIEnv* env, jstring s, jboolean* is_copy) {
    const Busy busy;
    FakeJni* self = Owner(env);
    FakeJni::Object* o = Obj(s);
    Allowed(self, "GetStringUTFChars");
    self->calls_.push_back("GetStringUTFChars " + o->bytes);
    if (o->deleted) self->faults_.push_back("GetStringUTFChars on a deleted reference");
    if (self->fail_take_in_ >= 0 && self->fail_take_in_-- == 0) {
      self->calls_.back() += " (failed)";
      self->exception_pending_ = true;
      return nullptr;
    }
    std::string bytes = o->bytes;
    if (self->raw_zero_) {
      for (std::size_t at; (at = bytes.find("\xC0\x80")) != std::string::npos;) bytes.replace(at, 2, 1, '\0');
    }
    char* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
    std::memcpy(copy, bytes.data(), bytes.size() + 1);
    self->chars_out_.emplace_back(copy, o);
    if (is_copy != nullptr) *is_copy = JNI_TRUE;
    return copy;
  }

  // The string's UTF-16 units: its bytes read as the modified UTF-8 they are.
  static std::u16string Units(FakeJni* self, jstring s, const char* call) {
    const Busy busy;
    FakeJni::Object* o = Obj(s);
    Allowed(self, call);
    if (o->deleted) self->faults_.push_back(std::string(call) + " on a deleted reference");
    return Utf16FromModifiedUtf8(o->bytes);
  }

  static jsize JNICALL GetStringLength(JNIEnv* env, jstring s) {
    return static_cast<jsize>(Units(Owner(env), s, "GetStringLength").size());
  }

  static void JNICALL GetStringRegion(JNIEnv* env, jstring s, jsize start, jsize length, jchar* out) {
    FakeJni* self = Owner(env);
    const std::u16string units = Units(self, s, "GetStringRegion");
    if (start < 0 || length < 0 || static_cast<std::size_t>(start) + static_cast<std::size_t>(length) > units.size()) {
      self->faults_.push_back("GetStringRegion out of bounds: " + Obj(s)->bytes);
      return;
    }
    std::memcpy(out, units.data() + start, static_cast<std::size_t>(length) * sizeof(jchar));
  }

  static void JNICALL ReleaseStringUTFChars(JNIEnv* env, jstring s, const char* chars) {
    const Busy busy;
    FakeJni* self = Owner(env);
    FakeJni::Object* o = Obj(s);
    self->calls_.push_back("ReleaseStringUTFChars " + o->bytes);
    for (auto it = self->chars_out_.begin(); it != self->chars_out_.end(); ++it) {
      if (it->first == chars) {
        if (it->second != o) self->faults_.push_back("ReleaseStringUTFChars with another string: " + o->bytes);
        std::free(const_cast<char*>(it->first));
        self->chars_out_.erase(it);
        return;
      }
    }
    self->faults_.push_back("ReleaseStringUTFChars of a pointer not handed out: " + o->bytes);
  }

  static void JNICALL DeleteLocalRef(JNIEnv* env, jobject ref) {
    const Busy busy;
    FakeJni* self = Owner(env);
    if (ref == nullptr) {
      self->calls_.push_back("DeleteLocalRef null");
      return;
    }
    FakeJni::Object* o = Obj(ref);
    self->calls_.push_back("DeleteLocalRef " + o->bytes);
    if (o->deleted) self->faults_.push_back("DeleteLocalRef twice: " + o->bytes);
    o->deleted = true;
    if (o->is_element) --self->live_elements_;
  }

  static jstring JNICALL NewStringUTF(JNIEnv* env, const char* bytes) {
    const Busy busy;
    FakeJni* self = Owner(env);
    Allowed(self, "NewStringUTF");
    self->calls_.push_back(std::string("NewStringUTF ") + bytes);
    auto o = std::make_unique<FakeJni::Object>();
    o->bytes = bytes;
    FakeJni::Object* raw = o.get();
    self->objects_.push_back(std::move(o));
    return reinterpret_cast<jstring>(raw);
  }

  // Any other slot of the table: the library must not call it. The call cannot
  // return safely (its argument count is unknown), so the test program stops.
  static void JNICALL Forbidden() {
    std::fputs("FakeJni: the library called a JNI function it must not use\n", stderr);
    std::abort();
  }
};

FakeJni::FakeJni() {
  void** slots = reinterpret_cast<void**>(&table_);
  for (size_t i = 0; i < sizeof(table_) / sizeof(void*); ++i)
    slots[i] = reinterpret_cast<void*>(&Callbacks::Forbidden);
  table_.reserved0 = this;  // lets the callbacks find this environment
  table_.reserved1 = nullptr;
  table_.reserved2 = nullptr;
  table_.reserved3 = nullptr;
  table_.GetArrayLength = &Callbacks::GetArrayLength;
  table_.GetObjectArrayElement = &Callbacks::GetObjectArrayElement;
  table_.GetStringUTFChars = &Callbacks::GetStringUTFChars;
  table_.ReleaseStringUTFChars = &Callbacks::ReleaseStringUTFChars;
  table_.GetStringLength = &Callbacks::GetStringLength;
  table_.GetStringRegion = &Callbacks::GetStringRegion;
  table_.DeleteLocalRef = &Callbacks::DeleteLocalRef;
  table_.NewStringUTF = &Callbacks::NewStringUTF;
  env_.functions = &table_;
}

FakeJni::~FakeJni() {
  for (auto& out : chars_out_) std::free(const_cast<char*>(out.first));
}

jstring FakeJni::String(const std::string& bytes) {
  auto o = std::make_unique<Object>();
  o->bytes = bytes;
  Object* raw = o.get();
  objects_.push_back(std::move(o));
  return reinterpret_cast<jstring>(raw);
}

jobjectArray FakeJni::Array(const std::vector<const char*>& elements) {
  auto array = std::make_unique<Object>();
  array->is_array = true;
  for (const char* e : elements) {
    if (e == nullptr) {
      array->elements.push_back(nullptr);
      continue;
    }
    array->elements.push_back(Obj(String(e)));
  }
  Object* raw = array.get();
  objects_.push_back(std::move(array));
  return reinterpret_cast<jobjectArray>(raw);
}

bool FakeJni::InsideCall() { return t_depth > 0; }

int FakeJni::live_references() const {
  int live = 0;
  for (const auto& o : objects_) live += o->is_element && !o->deleted;
  return live;
}

std::string FakeJni::Text(jstring s) { return s == nullptr ? std::string() : Obj(s)->bytes; }

}  // namespace quillet::test
