#include "classlib/FormReader.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>

#include "classlib/TypInfo.h"
#include "classlib/WinText.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
// The registered texts and source files, by upper-case resource name. Built on
// first use: the registrations run while the program's objects are being
// initialised, in an order no one chooses.
std::mutex& TextsLock() {
  static std::mutex m;
  return m;
}
std::map<std::string, std::string>& Texts() {
  static std::map<std::string, std::string> t;
  return t;
}
std::map<std::string, std::string>& Sources() {
  static std::map<std::string, std::string> s;
  return s;
}

std::string Describe(const std::string& res, const std::string& file, int line, const std::string& comp,
                     const std::string& prop, const std::string& detail) {
  std::string r = "Error reading " + (file.empty() ? res : file + " (" + res + ")") + ", line " + IntToStr(line);
  if (!comp.empty()) r += ", component " + comp;
  if (!prop.empty()) r += ", property " + prop;
  return r + ": " + detail;
}
}  // namespace

EFormReadError::EFormReadError(const std::string& AResourceName, int ALine, const std::string& AComponentName,
                               const std::string& APropertyName, const std::string& ADetail)
    : EFormReadError(AResourceName, ResourceSource(AResourceName), ALine, AComponentName, APropertyName, ADetail) {}

EFormReadError::EFormReadError(const std::string& AResourceName, const std::string& ASourceFile, int ALine,
                               const std::string& AComponentName, const std::string& APropertyName,
                               const std::string& ADetail)
    : EReadError(Describe(AResourceName, ASourceFile, ALine, AComponentName, APropertyName, ADetail)),
      ResourceName(AResourceName),
      SourceFile(ASourceFile),
      Line(ALine),
      ComponentName(AComponentName),
      PropertyName(APropertyName),
      Detail(ADetail) {}

namespace {
constexpr int MaxDepth = 64;

struct Value {
  enum Kind { String, Integer, Float, Ident, Set, List, Binary } kind = String;
  std::string s;
  long long i = 0;
  double f = 0;
  std::vector<std::string> items;
};

// Told when a component being loaded is freed by someone else (a constructor
// or writer of another component), so the reader never touches it again.
class TLoadWatch : public TComponent {
public:
  TLoadWatch() : TComponent(nullptr) {}
  ~TLoadWatch() override {
    for (TComponent* c : watched)
      if (c) RemoveFreeNotification(c);
  }
  void Watch(TComponent* c) {
    watched.push_back(c);
    FreeNotification(c);
  }
  bool Alive(TComponent* c) const { return std::find(watched.begin(), watched.end(), c) != watched.end(); }
  std::vector<TComponent*> watched;  // stream order; freed ones become nullptr

  void Notification(TComponent* c, TOperation op) override {
    if (op == opRemove) std::replace(watched.begin(), watched.end(), c, static_cast<TComponent*>(nullptr));
  }
};

struct Fixup {
  TComponent* owner;  // the component whose property it is
  TPersistent* target;
  const TPropInfo* prop;
  std::string name;
  int line;
  std::string comp, path;
};

class Reader {
public:
  Reader(TComponent* root, const std::string& text, const std::string& res) : root(root), src(text), res(res) {}

  void Run() {
    if (src.compare(0, 3, "\xEF\xBB\xBF") == 0) p = 3;  // a UTF-8 byte-order mark from an editor
    SkipBlanks();
    std::string kw = Ident("object");
    if (!SameText(kw, "object") && !SameText(kw, "inherited")) Fail("'object' expected");
    ReadObject(nullptr, 0, false);
    SkipBlanks();
    if (p < src.size()) Fail("Text after the end of the root object");
    // References, in the order of the text.
    for (const Fixup& f : fixups) {
      if (!watch.Alive(f.owner)) continue;
      comp = f.comp;
      path = f.path;
      line = f.line;
      TComponent* c = nullptr;
      if (!SameText(f.name, "nil")) {
        c = root->FindComponent(f.name);
        if (!c && SameText(root->Name(), f.name)) c = root;
        if (!c) Fail("Component " + f.name + " not found");
      }
      Guard([&] { f.prop->SetComponent(f.target, c); });
    }
    for (TComponent* c : watch.watched)
      if (c) c->ClearState(csReading);
    // Loaded may free others; the watch list then holds nullptr for them.
    for (size_t i = 0; i < watch.watched.size(); ++i)
      if (TComponent* c = watch.watched[i]) c->Loaded();
  }

private:
  TComponent* root;
  const std::string& src;
  std::string res;
  size_t p = 0;
  int line = 1;
  std::string comp, path;  // context of errors
  TLoadWatch watch;
  std::vector<Fixup> fixups;

  [[noreturn]] void Fail(const std::string& detail) { throw EFormReadError(res, line, comp, path, detail); }

  template <class F>
  void Guard(F&& f) {
    try {
      f();
    } catch (const EFormReadError&) {
      throw;
    } catch (const Exception& e) {
      Fail(e.Message);
    }
  }

  bool AtEnd() const { return p >= src.size(); }
  char Cur() const { return p < src.size() ? src[p] : '\0'; }

  void SkipBlanks() {
    while (p < src.size()) {
      char c = src[p];
      if (c == '\n') {
        ++line;
      } else if (!(c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v')) {
        break;
      }
      ++p;
    }
  }

  static bool IdStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
  static bool IdChar(char c) { return IdStart(c) || (c >= '0' && c <= '9'); }

  // An identifier at p (blanks before it skipped); what names the expectation.
  std::string Ident(const char* what) {
    SkipBlanks();
    if (!IdStart(Cur())) {
      if (AtEnd()) Fail(std::string(what) + " expected but the text ended");
      Fail(std::string(what) + " expected");
    }
    size_t b = p;
    while (IdChar(Cur())) ++p;
    return src.substr(b, p - b);
  }

  void Expect(char c) {
    SkipBlanks();
    if (Cur() != c) Fail(std::string("'") + c + "' expected");
    ++p;
  }

  // inherited: the component exists already (made by an ancestor's resource)
  // and only gets the properties given here.
  void ReadObject(TComponent* parent, int depth, bool inherited) {
    if (depth >= MaxDepth) Fail("Objects nested too deeply");
    int headerLine = line;
    std::string name = Ident("Component name");
    Expect(':');
    std::string cls = Ident("Class name");
    comp = name;
    path.clear();
    TComponent* instance = Instance(parent, inherited, name, cls);
    for (;;) {
      SkipBlanks();
      if (AtEnd()) {
        line = headerLine;
        comp = name;
        path.clear();
        Fail("The object " + name + " has no 'end'");
      }
      int itemLine = line;
      std::string word = Ident("Property name");
      if (SameText(word, "end")) break;
      if (SameText(word, "object") || SameText(word, "inherited")) {
        ReadObject(instance, depth + 1, SameText(word, "inherited"));
        comp = name;
        continue;
      }
      while (Cur() == '.') {
        ++p;
        if (!IdStart(Cur())) Fail("Property name expected after '.'");
        size_t b = p;
        while (IdChar(Cur())) ++p;
        word += "." + src.substr(b, p - b);
      }
      comp = name;
      path = word;
      Expect('=');
      Value v = ReadValue();
      // A property's errors name the line it starts on; reading goes on
      // from the line its value ended on (lists and data span lines).
      const int valueEndLine = line;
      line = itemLine;
      if (!watch.Alive(instance)) Fail("The component was freed while it was read");
      Apply(instance, word, v);
      line = valueEndLine;
      path.clear();
    }
    if (!watch.Alive(instance)) Fail("The component was freed while it was read");
  }

  // The component an object's header names, in the loading state and
  // watched: the root, an ancestor's component, or one made here.
  TComponent* Instance(TComponent* parent, bool inherited, const std::string& name, const std::string& cls) {
    TComponent* instance;
    if (!parent) {
      if (!root->ClassInfo().InheritsFrom(cls))
        Fail("The resource is for a " + cls + ", not for a " + root->ClassName());
      instance = root;
      instance->SetState(csLoading | csReading);
      watch.Watch(instance);
      if (root->Name().empty()) Guard([&] { root->SetName(name); });
    } else if (inherited) {
      instance = root->FindComponent(name);
      if (!instance) Fail("Inherited component " + name + " not found");
      if (!instance->ClassInfo().InheritsFrom(cls)) Fail(name + " is a " + instance->ClassName() + ", not a " + cls);
      instance->SetState(csLoading | csReading);
      if (!watch.Alive(instance)) watch.Watch(instance);
    } else {
      const TClassInfo* info = FindClassInfo(cls);
      if (!info) Fail("Class " + cls + " not found");
      if (!info->Creator()) Fail("Class " + cls + " cannot be created");
      Guard([&] { instance = info->Creator()(root); });
      instance->SetState(csLoading | csReading);
      watch.Watch(instance);
      Guard([&] { instance->SetName(name); });
      if (parent != root) Guard([&] { instance->SetParentComponent(parent); });
    }
    return instance;
  }

  // ------------------------------------------------------------ values
  static void AppendUtf8(std::string& out, unsigned long cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  // A quoted part at p, a doubled quote standing for one.
  void ReadQuoted(std::string& out) {
    ++p;
    for (;;) {
      if (AtEnd() || Cur() == '\n' || Cur() == '\r') Fail("Unterminated string");
      if (Cur() == '\'') {
        if (p + 1 < src.size() && src[p + 1] == '\'') {
          out += '\'';
          p += 2;
          continue;
        }
        ++p;
        return;
      }
      out += src[p++];
    }
  }

  // A #nn or #$hh character at p.
  void ReadCharacterCode(std::string& out) {
    ++p;
    unsigned long cp = 0;
    int digits = 0;
    if (Cur() == '$') {
      ++p;
      while (HexDigit(Cur()) >= 0) {
        cp = cp * 16 + static_cast<unsigned long>(HexDigit(Cur()));
        ++p;
        if (++digits > 8) Fail("Character code too long");
      }
    } else {
      while (Cur() >= '0' && Cur() <= '9') {
        cp = cp * 10 + static_cast<unsigned long>(Cur() - '0');
        ++p;
        if (++digits > 8) Fail("Character code too long");
      }
    }
    if (digits == 0) Fail("Character code expected after '#'");
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      Fail("Invalid character code " + IntToStr(static_cast<long long>(cp)));
    AppendUtf8(out, cp);
  }

  // One string: quoted parts and #nn characters, joined with '+'.
  std::string ReadString() {
    std::string out;
    for (;;) {
      bool any = false;
      for (;;) {
        char c = Cur();
        if (c == '\'') {
          any = true;
          ReadQuoted(out);
        } else if (c == '#') {
          any = true;
          ReadCharacterCode(out);
        } else {
          break;
        }
      }
      if (!any) Fail("String expected");
      size_t save = p;
      int saveLine = line;
      SkipBlanks();
      if (Cur() != '+') {
        p = save;
        line = saveLine;
        return out;
      }
      ++p;
      SkipBlanks();
      if (Cur() != '\'' && Cur() != '#') Fail("String expected after '+'");
    }
  }

  Value ReadNumber() {
    Value v;
    size_t b = p;
    bool neg = false;
    if (Cur() == '-' || Cur() == '+') {
      neg = Cur() == '-';
      ++p;
    }
    if (Cur() == '$') {
      ++p;
      unsigned long long u = 0;
      int digits = 0;
      while (HexDigit(Cur()) >= 0) {
        u = u * 16 + static_cast<unsigned>(HexDigit(Cur()));
        ++p;
        if (++digits > 16) Fail("Number out of range");
      }
      if (!digits) Fail("Hexadecimal digits expected");
      v.kind = Value::Integer;
      // $FFFFFFFF style values keep their bits, as the class library reads them.
      v.i = static_cast<long long>(neg ? 0 - u : u);
      return v;
    }
    if (!(Cur() >= '0' && Cur() <= '9')) Fail("Number expected");
    while (Cur() >= '0' && Cur() <= '9') ++p;
    bool isFloat = false;
    if (Cur() == '.' && p + 1 < src.size() && src[p + 1] >= '0' && src[p + 1] <= '9') {
      isFloat = true;
      ++p;
      while (Cur() >= '0' && Cur() <= '9') ++p;
    }
    if (Cur() == 'e' || Cur() == 'E') {
      size_t q = p + 1;
      if (q < src.size() && (src[q] == '+' || src[q] == '-')) ++q;
      if (q < src.size() && src[q] >= '0' && src[q] <= '9') {
        isFloat = true;
        p = q;
        while (Cur() >= '0' && Cur() <= '9') ++p;
      }
    }
    std::string text = src.substr(b, p - b);
    if (isFloat) {
      errno = 0;
      char* end = nullptr;
      double d = std::strtod(text.c_str(), &end);
      if (errno == ERANGE || !end || *end) Fail("Number out of range: " + text);
      v.kind = Value::Float;
      v.f = d;
    } else {
      long long n;
      if (!TryStrToInt(text, n)) Fail("Number out of range: " + text);
      v.kind = Value::Integer;
      v.i = n;
    }
    return v;
  }

  // [a, b]: identifiers.
  Value ReadSet() {
    Value v;
    ++p;
    v.kind = Value::Set;
    SkipBlanks();
    if (Cur() == ']') {
      ++p;
      return v;
    }
    for (;;) {
      v.items.push_back(Ident("Set element"));
      SkipBlanks();
      if (Cur() == ']') {
        ++p;
        return v;
      }
      if (Cur() != ',') Fail("',' or ']' expected");
      ++p;
    }
  }

  // ('a' 'b'): strings.
  Value ReadList() {
    Value v;
    ++p;
    v.kind = Value::List;
    for (;;) {
      SkipBlanks();
      if (Cur() == ')') {
        ++p;
        return v;
      }
      if (AtEnd()) Fail("')' expected but the text ended");
      v.items.push_back(ReadString());
    }
  }

  // {0A1B}: bytes in hexadecimal pairs.
  Value ReadBinary() {
    Value v;
    ++p;
    v.kind = Value::Binary;
    int hi = -1;
    for (;;) {
      SkipBlanks();
      if (Cur() == '}') {
        ++p;
        break;
      }
      if (AtEnd()) Fail("'}' expected but the text ended");
      int d = HexDigit(Cur());
      if (d < 0) Fail("Hexadecimal digit expected in binary data");
      ++p;
      if (hi < 0) {
        hi = d;
      } else {
        v.s += static_cast<char>(hi * 16 + d);
        hi = -1;
      }
    }
    if (hi >= 0) Fail("Binary data has an odd number of hexadecimal digits");
    return v;
  }

  Value ReadValue() {
    SkipBlanks();
    Value v;
    char c = Cur();
    if (c == '\'' || c == '#') {
      v.kind = Value::String;
      v.s = ReadString();
    } else if ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '$') {
      v = ReadNumber();
    } else if (IdStart(c)) {
      v.kind = Value::Ident;
      v.s = Ident("Value");
    } else if (c == '[') {
      v = ReadSet();
    } else if (c == '(') {
      v = ReadList();
    } else if (c == '{') {
      v = ReadBinary();
    } else if (AtEnd()) {
      Fail("Value expected but the text ended");
    } else {
      Fail("Value expected");
    }
    return v;
  }

  // ------------------------------------------------------------ properties
  static const char* KindName(Value::Kind k) {
    switch (k) {
      case Value::String: return "a string";
      case Value::Integer: return "an integer";
      case Value::Float: return "a number";
      case Value::Ident: return "an identifier";
      case Value::Set: return "a set";
      case Value::List: return "a list";
      case Value::Binary: return "binary data";
    }
    return "a value";
  }

  void Wrong(const Value& v, const char* expected) {
    Fail(std::string(expected) + " expected, not " + KindName(v.kind));
  }

  // The object that holds the last part of propPath and that part's
  // property: every part but the last names an object property ("Font.Name"),
  // and a string list's items may be named "Lines.Strings".
  const TPropInfo* ResolveProperty(TComponent* instance, const std::string& propPath, TPersistent*& target) {
    target = instance;
    size_t start = 0;
    for (;;) {
      size_t dot = propPath.find('.', start);
      std::string part = propPath.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
      const TPropInfo* prop = target->ClassInfo().FindProp(part);
      if (!prop) Fail("Unknown property " + part + " of " + target->ClassName());
      if (dot == std::string::npos) return prop;
      start = dot + 1;
      if (prop->Kind == pkStrings && SameText(propPath.substr(start), "Strings")) return prop;
      if (prop->Kind != pkObject) Fail(part + " has no properties of its own");
      TPersistent* inner = nullptr;
      Guard([&] { inner = prop->GetNested(target); });
      if (!inner) Fail(part + " is not assigned");
      target = inner;
    }
  }

  void Apply(TComponent* instance, const std::string& propPath, const Value& v) {
    TPersistent* target = nullptr;
    const TPropInfo* prop = ResolveProperty(instance, propPath, target);
    if (prop->ReadOnly) Fail(prop->Name + " is read-only");
    switch (prop->Kind) {
      case pkString:
        if (v.kind != Value::String) Wrong(v, "A string");
        Guard([&] { prop->SetString(target, v.s); });
        break;
      case pkBinary:
        if (v.kind != Value::Binary) Wrong(v, "Binary data");
        Guard([&] { prop->SetString(target, v.s); });
        break;
      case pkInteger: ApplyInteger(target, prop, v); break;
      case pkBoolean:
        if (v.kind != Value::Ident || !(SameText(v.s, "True") || SameText(v.s, "False")))
          Fail("True or False expected");
        Guard([&] { prop->SetInt(target, SameText(v.s, "True") ? 1 : 0); });
        break;
      case pkEnum: {
        if (v.kind != Value::Ident) Wrong(v, "An identifier");
        int ord = prop->Enum->IndexOf(v.s);
        if (ord < 0) Fail(v.s + " is not a " + prop->Enum->TypeName + " value");
        Guard([&] { prop->SetInt(target, ord); });
        break;
      }
      case pkSet: ApplySet(target, prop, v); break;
      case pkFloat: ApplyFloat(target, prop, v); break;
      case pkObject:
        Fail(prop->Name + " is an object: set its properties as " + prop->Name + ".<property>");
      case pkStrings: ApplyStrings(target, prop, v); break;
      case pkComponent:
        // Components are looked up once the whole text is read.
        if (v.kind != Value::Ident) Wrong(v, "A component name");
        fixups.push_back(Fixup{instance, target, prop, v.s, line, comp, path});
        break;
      case pkEvent: ApplyEvent(target, prop, v); break;
    }
  }

  // A number, or a name of the property's own (clBtnFace, mrOk).
  void ApplyInteger(TPersistent* target, const TPropInfo* prop, const Value& v) {
    long long n = 0;
    if (v.kind == Value::Integer) {
      n = v.i;
    } else if (v.kind == Value::Ident) {
      if (!prop->Idents || !prop->Idents->Find(v.s, n)) Fail(v.s + " is not a valid value of " + prop->Name);
    } else {
      Wrong(v, "An integer");
    }
    Guard([&] { prop->SetInt(target, n); });
  }

  void ApplySet(TPersistent* target, const TPropInfo* prop, const Value& v) {
    if (v.kind != Value::Set) Wrong(v, "A set");
    uint64_t bits = 0;
    for (const std::string& e : v.items) {
      int ord = prop->Enum->IndexOf(e);
      if (ord < 0 || ord >= 64) Fail(e + " is not a " + prop->Enum->TypeName + " value");
      bits |= uint64_t{1} << ord;
    }
    Guard([&] { prop->SetSet(target, bits); });
  }

  void ApplyFloat(TPersistent* target, const TPropInfo* prop, const Value& v) {
    if (v.kind == Value::Float)
      Guard([&] { prop->SetFloat(target, v.f); });
    else if (v.kind == Value::Integer)
      Guard([&] { prop->SetFloat(target, static_cast<double>(v.i)); });
    else
      Wrong(v, "A number");
  }

  // The list's lines are replaced by the text's, in one batch: a list that
  // checks its lines after every edit (a language's) checks them once.
  void ApplyStrings(TPersistent* target, const TPropInfo* prop, const Value& v) {
    if (v.kind != Value::List) Wrong(v, "A list of strings");
    TStrings* list = nullptr;
    Guard([&] { list = prop->GetStrings(target); });
    if (!list) Fail(prop->Name + " is not assigned");
    Guard([&] {
      list->Batch([&] {
        list->Clear();
        for (const std::string& s : v.items) list->Add(s);
      });
    });
  }

  // A handler the root registered, by name; nil clears the event.
  void ApplyEvent(TPersistent* target, const TPropInfo* prop, const Value& v) {
    if (v.kind != Value::Ident) Wrong(v, "A handler name");
    if (SameText(v.s, "nil")) {
      Guard([&] { prop->SetEvent(target, nullptr); });
      return;
    }
    const std::any* h = root->FindHandler(v.s);
    if (!h) Fail("No handler named " + v.s);
    Guard([&] { prop->SetEvent(target, h); });
  }
};

}  // namespace

void ReadComponentText(TComponent* Root, const std::string& Text, const std::string& ResourceName) {
  Reader r(Root, Text, ResourceName);
  r.Run();
}

void RegisterResourceText(const std::string& ResourceName, const std::string& Text) {
  std::lock_guard<std::mutex> g(TextsLock());
  Texts()[UpperCase(ResourceName)] = Text;
}

void RegisterResourceSource(const std::string& ResourceName, const std::string& File) {
  std::lock_guard<std::mutex> g(TextsLock());
  Sources()[UpperCase(ResourceName)] = File;
}

std::string ResourceSource(const std::string& ResourceName) {
  std::lock_guard<std::mutex> g(TextsLock());
  auto it = Sources().find(UpperCase(ResourceName));
  return it == Sources().end() ? std::string() : it->second;
}

#ifdef _WIN32
namespace {
HMODULE ThisModule() {
  HMODULE h = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &h);
  return h;
}
}  // namespace
#endif

bool FindResourceText(const std::string& ResourceName, std::string& Text) {
  {
    std::lock_guard<std::mutex> g(TextsLock());
    auto it = Texts().find(UpperCase(ResourceName));
    if (it != Texts().end()) {
      Text = it->second;
      return true;
    }
  }
#ifdef _WIN32
  HMODULE m = ThisModule();
  std::wstring name = Widen(ResourceName);
  HRSRC r = FindResourceW(m, name.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!r) return false;
  HGLOBAL g = LoadResource(m, r);
  DWORD size = SizeofResource(m, r);
  const void* data = g ? LockResource(g) : nullptr;
  if (!data) return false;
  Text.assign(static_cast<const char*>(data), size);
  return true;
#else
  return false;
#endif
}

void ReadComponentRes(const std::string& ResourceName, TComponent* Root) {
  std::string text;
  if (!FindResourceText(ResourceName, text)) throw EResNotFound("Resource " + ResourceName + " not found");
  ReadComponentText(Root, text, ResourceName);
}

void TDataModule::ReadResource(const std::string& ResourceName) { ReadComponentRes(ResourceName, this); }
