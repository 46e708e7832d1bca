#include "classlib/TypInfo.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>

int TEnumInfo::IndexOf(const std::string& Name) const {
  for (size_t i = 0; i < Names.size(); ++i)
    if (SameText(Names[i], Name)) return static_cast<int>(i);
  return -1;
}

std::string TEnumInfo::NameOf(int Ordinal) const {
  if (Ordinal >= 0 && static_cast<size_t>(Ordinal) < Names.size()) return Names[static_cast<size_t>(Ordinal)];
  return IntToStr(Ordinal);
}

bool TIdentMap::Find(const std::string& Name, long long& Value) const {
  for (const auto& e : Entries)
    if (SameText(e.first, Name)) {
      Value = e.second;
      return true;
    }
  return false;
}

bool TIdentMap::NameOf(long long Value, std::string& Name) const {
  for (const auto& e : Entries)
    if (e.second == Value) {
      Name = e.first;
      return true;
    }
  return false;
}

TClassInfo::TClassInfo(std::string AClassName, const TClassInfo* AParent, TCreator ACreate,
                       std::vector<TPropInfo> AProps)
    : FClassName(std::move(AClassName)), FParent(AParent), FCreate(ACreate), FProps(std::move(AProps)) {}

const TPropInfo* TClassInfo::FindProp(const std::string& Name) const {
  for (const TClassInfo* c = this; c; c = c->FParent)
    for (const TPropInfo& p : c->FProps)
      if (SameText(p.Name, Name)) return p.Hidden ? nullptr : &p;
  return nullptr;
}

std::vector<const TPropInfo*> TClassInfo::AllProps() const {
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* c = this; c; c = c->FParent) chain.push_back(c);
  std::vector<const TPropInfo*> r;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    for (const TPropInfo& p : (*it)->FProps) {
      if (p.Hidden) continue;
      // Left out when a class derived from this one hides it.
      bool hidden = false;
      for (auto below = chain.begin(); *below != *it && !hidden; ++below)
        for (const TPropInfo& q : (*below)->FProps) hidden = hidden || (q.Hidden && SameText(q.Name, p.Name));
      if (!hidden) r.push_back(&p);
    }
  return r;
}

bool TClassInfo::InheritsFrom(const TClassInfo* Other) const {
  for (const TClassInfo* c = this; c; c = c->FParent)
    if (c == Other) return true;
  return false;
}

bool TClassInfo::InheritsFrom(const std::string& Name) const {
  for (const TClassInfo* c = this; c; c = c->FParent)
    if (SameText(c->FClassName, Name)) return true;
  return false;
}

namespace {
struct TRegistry {
  std::mutex Lock;
  std::map<std::string, const TClassInfo*> Classes;
  std::vector<typinfo_detail::TClassInfoFunc> AtStartUp;  // not built yet, in registration order
};
TRegistry& Registry() {
  static TRegistry r;
  return r;
}
// Builds the tables recorded at start-up ahead of any later registration, so
// the first registration of a name still counts. Called with the lock held.
void BuildRecorded(TRegistry& r) {
  for (typinfo_detail::TClassInfoFunc f : r.AtStartUp) {
    const TClassInfo& info = f();
    r.Classes.emplace(UpperCase(info.ClassName()), &info);
  }
  r.AtStartUp.clear();
}
}  // namespace

void typinfo_detail::RegisterClassInfoAtStartUp(TClassInfoFunc Info) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> hold(r.Lock);
  r.AtStartUp.push_back(Info);
}

void RegisterClassInfo(const TClassInfo& Info) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> hold(r.Lock);
  BuildRecorded(r);
  r.Classes.emplace(UpperCase(Info.ClassName()), &Info);
}

const TClassInfo* FindClassInfo(const std::string& ClassName) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> hold(r.Lock);
  BuildRecorded(r);
  auto it = r.Classes.find(UpperCase(ClassName));
  return it == r.Classes.end() ? nullptr : it->second;
}

namespace Prop::detail {
std::string Quote(const std::string& s) {
  std::string r = "'";
  for (char c : s) {
    if (c == '\'') r += '\'';
    r += c;
  }
  return r + "'";
}

std::string EnumSetText(const TEnumInfo& info, uint64_t bits) {
  std::string r = "[";
  for (int i = 0; i < 64; ++i)
    if (bits & (uint64_t{1} << i)) {
      if (r.size() > 1) r += ", ";
      r += info.NameOf(i);
    }
  return r + "]";
}

std::string IntText(long long v, const TIdentMap* idents) {
  std::string name;
  if (idents && idents->NameOf(v, name)) return name;
  return IntToStr(v);
}

std::string FloatText(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}
}  // namespace Prop::detail

const TPropInfo* FindPropPath(TPersistent* Instance, const std::string& Path, TPersistent** Target) {
  TPersistent* obj = Instance;
  size_t start = 0;
  while (obj) {
    size_t dot = Path.find('.', start);
    std::string part = Path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    const TPropInfo* p = obj->ClassInfo().FindProp(part);
    if (!p) return nullptr;
    if (dot == std::string::npos) {
      if (Target) *Target = obj;
      return p;
    }
    start = dot + 1;
    if (p->Kind == pkStrings && SameText(Path.substr(start), "Strings")) {
      if (Target) *Target = obj;
      return p;
    }
    if (p->Kind != pkObject) return nullptr;
    obj = p->GetNested(obj);
  }
  return nullptr;
}

namespace {
std::string ValueText(const TPersistent* obj, const TPropInfo& p) {
  switch (p.Kind) {
    case pkString:
      return Prop::detail::Quote(p.GetString(obj));
    case pkInteger:
      return Prop::detail::IntText(p.GetInt(obj), p.Idents);
    case pkBoolean:
      return p.GetInt(obj) ? "True" : "False";
    case pkEnum:
      return p.Enum->NameOf(static_cast<int>(p.GetInt(obj)));
    case pkSet:
      return Prop::detail::EnumSetText(*p.Enum, p.GetSet(obj));
    case pkFloat:
      return Prop::detail::FloatText(p.GetFloat(obj));
    case pkObject:
      return "(object)";
    case pkStrings: {
      TStrings* s = p.GetStrings(obj);
      std::string r = "(";
      for (int i = 0; s && i < s->Count(); ++i) r += (i ? " " : "") + Prop::detail::Quote(s->Get(i));
      return r + ")";
    }
    case pkComponent: {
      TComponent* c = p.GetComponent(obj);
      return c ? c->Name() : "nil";
    }
    case pkEvent:
      return p.EventAssigned(obj) ? "(assigned)" : "nil";
    case pkBinary: {
      std::string b = p.GetString(obj), r = "{";
      for (unsigned char c : b) r += IntToHex(c, 2);
      return r + "}";
    }
  }
  return {};
}

void CollectDiffering(const TPersistent* obj, const std::string& prefix, std::vector<std::string>& out, int depth) {
  if (!obj || depth > 16) return;
  for (const TPropInfo* p : obj->ClassInfo().AllProps()) {
    if (p->Kind == pkObject) {
      CollectDiffering(p->GetNested(obj), prefix + p->Name + ".", out, depth + 1);
      continue;
    }
    if (p->Kind == pkStrings) {
      TStrings* s = p->GetStrings(obj);
      if (s && s->Count() > 0) out.push_back(prefix + p->Name);
      continue;
    }
    if (!p->HasDefault) continue;
    if (ValueText(obj, *p) != p->Default) out.push_back(prefix + p->Name);
  }
}
}  // namespace

std::string GetPropText(const TPersistent* Instance, const std::string& Path) {
  TPersistent* target = nullptr;
  const TPropInfo* p = FindPropPath(const_cast<TPersistent*>(Instance), Path, &target);
  if (!p) throw EPropertyError("Unknown property " + Path);
  return ValueText(target, *p);
}

std::vector<std::string> PropsDifferingFromDefaults(const TPersistent* Instance) {
  std::vector<std::string> r;
  CollectDiffering(Instance, "", r, 0);
  return r;
}
