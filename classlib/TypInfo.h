// Published properties: the table that each streamable class declares beside
// itself, which the text form reader (classlib/FormReader.h) uses to set
// properties by name.
//
// How a class publishes its properties
// ------------------------------------
// In the header, inside the class body (any access section; it opens a public
// one), name the class and its direct base:
//
//     class TInstall : public TFileContainer {
//       QNT_PUBLISHED(TInstall, TFileContainer)
//     public:
//       const std::string& DestDir() const { return FDestDir; }
//       void SetDestDir(const std::string& v);
//       ...
//     };
//
// In the .cpp, list the properties the class adds (its ancestors' properties
// are seen through the base's table; a class repeats none of them):
//
//     QNT_PUBLISH(TInstall,
//       Prop::String("DestDir", &TInstall::DestDir, &TInstall::SetDestDir, "\\MyApplication"),
//       Prop::Boolean("RunAutomatic", &TInstall::RunAutomatic, &TInstall::SetRunAutomatic, true),
//       Prop::Integer("Order", &TInstall::Order, &TInstall::SetOrder, 0),
//       Prop::Integer("Color", &TFont::Color, &TFont::SetColor, clWindowText, &ColorIdents),
//       Prop::Enum("DestDirType", &TInstall::DestDirType, &TInstall::SetDestDirType,
//                  PathSpecifiersInfo, ddProgramFilesDir),
//       Prop::Set("InstallTypes", &TInstall::InstallTypes, &TInstall::SetInstallTypes,
//                 InstallTypeInfo, 1u << itAlways),
//       Prop::Float("Ratio", &TFoo::Ratio, &TFoo::SetRatio),
//       Prop::Object("BuildInfo", &TInstall::BuildInfo),          // filled in place
//       Prop::Strings("Description", &TInstall::Description),     // Clear, then Add per line
//       Prop::Component("Container", &TInstall::Container, &TInstall::SetContainer),
//       Prop::Event("OnStartInstall", &TInstall::OnStartInstall, &TInstall::SetOnStartInstall),
//       Prop::Binary("Data", &TPicture::Data, &TPicture::SetData))
//
// The arguments are: name, reader, writer, then (optional) the default. The
// reader may be a const member function or a data member; the writer a member
// function taking the value or a data member. Value types are deduced from
// the reader: any integral type (range-checked), bool, an enum type (with a
// TEnumInfo naming its values by ordinal), an unsigned bit set (bit 1 << ordinal
// per element, with the element type's TEnumInfo), double/float, std::string.
// Component references take the pointer type of the writer's parameter and
// refuse a component of another class; events take the std::function type of
// the writer's parameter and accept only a handler of exactly that type.
//
// Prop::EnumReadOnly(name, reader, info) publishes a value that is shown but
// never set (the reader refuses it). A class that publishes nothing of its
// own still declares its (empty) table with QNT_PUBLISH(TFoo) when the reader
// must create it or read a resource into it (a module or form): the reader
// checks the root's class against the name in the resource. Use QNT_PUBLISH
// at namespace scope, inside the class's own namespace.
//
// An enumeration's names, in ordinal order:
//     const TEnumInfo PathSpecifiersInfo{"TPathSpecifiers", {"ddAbsolute", "ddSystem", ...}};
//
// Lookup by property name, enumeration name and class name ignores case.
// Declaring the table registers the class by name for the form reader when it
// is a non-abstract component with a constructor (TComponent* AOwner); the
// table itself is built on the first lookup, after start-up, so its defaults
// may name enumerations and ident maps of any unit whatever the link order.
// For the same reason no code that runs at start-up (a global's constructor)
// may ask for a class's table. A class
// whose unit nothing else references may be left out of a program by the
// linker; a module that streams it then calls RegisterClasses<TFoo, TBar>() in
// its constructor (which also documents what its resource needs).
//
// Handlers for events are registered by the root of the resource (the module
// or form), before it is read, in its constructor:
//     RegisterHandler("Install1StartInstall", this, &TIM::Install1StartInstall);
#pragma once
#include <any>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "classlib/Classes.h"

enum TPropKind {
  pkString,
  pkInteger,
  pkBoolean,
  pkEnum,
  pkSet,
  pkFloat,
  pkObject,
  pkStrings,
  pkComponent,
  pkEvent,
  pkBinary,
};

// Raised by a property writer wrapper for a value that does not fit the
// property; the form reader adds the resource, line, component and property.
class EPropertyError : public Exception {
public:
  using Exception::Exception;
};

// Names of an enumeration's values by ordinal.
struct TEnumInfo {
  std::string TypeName;
  std::vector<std::string> Names;
  // Ordinal of Name ignoring case; -1 when it is none of them.
  int IndexOf(const std::string& Name) const;
  std::string NameOf(int Ordinal) const;  // the ordinal as a number when out of range
};

// Names that an integer property accepts besides numbers (colours, character
// sets).
struct TIdentMap {
  std::vector<std::pair<std::string, long long>> Entries;
  bool Find(const std::string& Name, long long& Value) const;
  bool NameOf(long long Value, std::string& Name) const;
};

class TClassInfo;

struct TPropInfo {
  std::string Name;
  TPropKind Kind = pkString;
  const TEnumInfo* Enum = nullptr;      // pkEnum, pkSet
  const TIdentMap* Idents = nullptr;    // pkInteger (optional)
  bool HasDefault = false;
  std::string Default;                  // the default as form text
  bool ReadOnly = false;                // no writer: shown, never set
  bool Hidden = false;                  // takes an ancestor's property of this name out

  // Per kind, only the matching pair is set.
  std::function<std::string(const TPersistent*)> GetString;
  std::function<void(TPersistent*, const std::string&)> SetString;   // pkString, pkBinary
  std::function<long long(const TPersistent*)> GetInt;
  std::function<void(TPersistent*, long long)> SetInt;               // pkInteger, pkBoolean, pkEnum
  std::function<uint64_t(const TPersistent*)> GetSet;
  std::function<void(TPersistent*, uint64_t)> SetSet;                // pkSet
  std::function<double(const TPersistent*)> GetFloat;
  std::function<void(TPersistent*, double)> SetFloat;                // pkFloat
  std::function<TPersistent*(const TPersistent*)> GetNested;         // pkObject
  std::function<TStrings*(const TPersistent*)> GetStrings;           // pkStrings
  std::function<TComponent*(const TPersistent*)> GetComponent;
  std::function<void(TPersistent*, TComponent*)> SetComponent;       // pkComponent
  std::function<bool(const TPersistent*)> EventAssigned;
  std::function<void(TPersistent*, const std::any*)> SetEvent;       // pkEvent; nullptr clears
};

class TClassInfo {
public:
  using TCreator = TComponent* (*)(TComponent* AOwner);
  TClassInfo(std::string AClassName, const TClassInfo* AParent, TCreator ACreate,
             std::vector<TPropInfo> AProps);

  const std::string& ClassName() const { return FClassName; }
  const TClassInfo* Parent() const { return FParent; }
  // Creates an instance owned by AOwner; nullptr for a class that the reader
  // cannot create (abstract, or no component).
  TCreator Creator() const { return FCreate; }
  const std::vector<TPropInfo>& OwnProps() const { return FProps; }
  // The property of this class or an ancestor; nullptr when none.
  const TPropInfo* FindProp(const std::string& Name) const;
  // Every property, ancestors' first.
  std::vector<const TPropInfo*> AllProps() const;
  bool InheritsFrom(const TClassInfo* Other) const;
  bool InheritsFrom(const std::string& Name) const;

private:
  std::string FClassName;
  const TClassInfo* FParent;
  TCreator FCreate;
  std::vector<TPropInfo> FProps;
};

// Class registry of the form reader (names ignore case; the first
// registration of a name counts).
void RegisterClassInfo(const TClassInfo& Info);
const TClassInfo* FindClassInfo(const std::string& ClassName);
template <class... T>
void RegisterClasses() {
  (RegisterClassInfo(T::StaticClassInfo()), ...);
}

// The property at Path ("Font.Height") of Instance, walking nested objects;
// nullptr when there is none. Target receives the object that holds it.
const TPropInfo* FindPropPath(TPersistent* Instance, const std::string& Path, TPersistent** Target);
// The value of a published property as form text ('text', 12, True, ddAbsolute,
// [a, b], a component's name or nil, a handler's presence as (assigned)/nil).
std::string GetPropText(const TPersistent* Instance, const std::string& Path);
// Names of the published properties (nested objects' too, as Outer.Inner)
// whose value differs from their declared default; for checking constructors.
std::vector<std::string> PropsDifferingFromDefaults(const TPersistent* Instance);

// --------------------------------------------------------------------------
// Builders of table entries.
namespace Prop {
namespace detail {
template <class G, class C>
decltype(auto) Get(G g, const C* o) {
  return std::invoke(g, *o);
}
template <class S, class C, class V>
void Set(S s, C* o, V&& v) {
  if constexpr (std::is_member_object_pointer_v<S>)
    (o->*s) = std::forward<V>(v);
  else
    (o->*s)(std::forward<V>(v));
}
template <class C>
C* Cast(TPersistent* o) {
  C* c = dynamic_cast<C*>(o);
  if (!c) throw EPropertyError("Property applied to an object of another class");
  return c;
}
template <class C>
const C* Cast(const TPersistent* o) {
  const C* c = dynamic_cast<const C*>(o);
  if (!c) throw EPropertyError("Property applied to an object of another class");
  return c;
}
template <class M>
struct MemberClass;
template <class C, class T>
struct MemberClass<T C::*> {
  using type = C;
};
template <class G>
using ClassOf = typename MemberClass<G>::type;
template <class G>
using ValueOf = std::remove_cvref_t<decltype(std::invoke(std::declval<G>(), std::declval<const ClassOf<G>&>()))>;

// Parameter type of a writer (member function with one argument) or the
// member's type (data member).
template <class S>
struct WriterArg;
template <class C, class R, class A>
struct WriterArg<R (C::*)(A)> {
  using type = std::remove_cvref_t<A>;
};
template <class C, class T>
  requires(!std::is_function_v<T>)
struct WriterArg<T C::*> {
  using type = T;
};

std::string Quote(const std::string& s);
std::string EnumSetText(const TEnumInfo& info, uint64_t bits);
std::string IntText(long long v, const TIdentMap* idents);
std::string FloatText(double v);
}  // namespace detail

template <class G, class S>
TPropInfo String(std::string Name, G Getter, S Setter) {
  using C = detail::ClassOf<G>;
  TPropInfo p;
  p.Name = std::move(Name);
  p.Kind = pkString;
  p.GetString = [Getter](const TPersistent* o) { return std::string(detail::Get(Getter, detail::Cast<C>(o))); };
  p.SetString = [Setter](TPersistent* o, const std::string& v) {
    detail::Set(Setter, detail::Cast<detail::ClassOf<S>>(o), v);
  };
  return p;
}
template <class G, class S>
TPropInfo String(std::string Name, G Getter, S Setter, const std::string& Default) {
  TPropInfo p = String(std::move(Name), Getter, Setter);
  p.HasDefault = true;
  p.Default = detail::Quote(Default);
  return p;
}

template <class G, class S>
TPropInfo Integer(std::string Name, G Getter, S Setter) {
  using C = detail::ClassOf<G>;
  using T = detail::ValueOf<G>;
  static_assert(std::is_integral_v<T> && !std::is_same_v<T, bool>, "Integer needs an integral reader");
  TPropInfo p;
  p.Name = std::move(Name);
  p.Kind = pkInteger;
  p.GetInt = [Getter](const TPersistent* o) { return static_cast<long long>(detail::Get(Getter, detail::Cast<C>(o))); };
  p.SetInt = [Setter](TPersistent* o, long long v) {
    using W = typename detail::WriterArg<S>::type;
    bool fits;
    if constexpr (std::is_signed_v<W>)
      fits = v >= static_cast<long long>(std::numeric_limits<W>::min()) &&
             v <= static_cast<long long>(std::numeric_limits<W>::max());
    else
      fits = v >= 0 && static_cast<unsigned long long>(v) <= std::numeric_limits<W>::max();
    if (!fits) throw EPropertyError(IntToStr(v) + " is out of the property's range");
    detail::Set(Setter, detail::Cast<detail::ClassOf<S>>(o), static_cast<W>(v));
  };
  return p;
}
template <class G, class S>
TPropInfo Integer(std::string Name, G Getter, S Setter, long long Default, const TIdentMap* Idents = nullptr) {
  TPropInfo p = Integer(std::move(Name), Getter, Setter);
  p.Idents = Idents;
  p.HasDefault = true;
  p.Default = detail::IntText(Default, Idents);
  return p;
}

template <class G, class S>
TPropInfo Boolean(std::string Name, G Getter, S Setter) {
  using C = detail::ClassOf<G>;
  TPropInfo p;
  p.Name = std::move(Name);
  p.Kind = pkBoolean;
  p.GetInt = [Getter](const TPersistent* o) { return detail::Get(Getter, detail::Cast<C>(o)) ? 1LL : 0LL; };
  p.SetInt = [Setter](TPersistent* o, long long v) {
    detail::Set(Setter, detail::Cast<detail::ClassOf<S>>(o), v != 0);
  };
  return p;
}
template <class G, class S>
TPropInfo Boolean(std::string Name, G Getter, S Setter, bool Default) {
  TPropInfo p = Boolean(std::move(Name), Getter, Setter);
  p.HasDefault = true;
  p.Default = Default ? "True" : "False";
  return p;
}

template <class G, class S>
TPropInfo Enum(std::string Name, G Getter, S Setter, const TEnumInfo& Info) {
  using C = detail::ClassOf<G>;
  using E = detail::ValueOf<G>;
  TPropInfo p;
  p.Name = std::move(Name);
  p.Kind = pkEnum;
  p.Enum = &Info;
  p.GetInt = [Getter](const TPersistent* o) { return static_cast<long long>(detail::Get(Getter, detail::Cast<C>(o))); };
  p.SetInt = [Setter](TPersistent* o, long long v) {
    detail::Set(Setter, detail::Cast<detail::ClassOf<S>>(o), static_cast<E>(v));
  };
  return p;
}
template <class G, class S, class E>
TPropInfo Enum(std::string Name, G Getter, S Setter, const TEnumInfo& Info, E Default) {
  TPropInfo p = Enum(std::move(Name), Getter, Setter, Info);
  p.HasDefault = true;
  p.Default = Info.NameOf(static_cast<int>(Default));
  return p;
}

// Published for reading only (the reader refuses to set it).
template <class G>
TPropInfo EnumReadOnly(std::string Name, G Getter, const TEnumInfo& Info) {
  using C = detail::ClassOf<G>;
  TPropInfo p;
  p.Name = std::move(Name);
  p.Kind = pkEnum;
  p.Enum = &Info;
  p.ReadOnly = true;
  p.GetInt = [Getter](const TPersistent* o) { return static_cast<long long>(detail::Get(Getter, detail::Cast<C>(o))); };
  return p;
}

template <class G, class S>
TPropInfo Set(std::string Name, G Getter, S Setter, const TEnumInfo& ElementInfo) {
  using C = detail::ClassOf<G>;
  using T = detail::ValueOf<G>;
  static_assert(std::is_integral_v<T> && std::is_unsigned_v<T>, "a set is an unsigned bit mask");
  TPropInfo p;
  p.Name = std::move(Name);
  p.Kind = pkSet;
  p.Enum = &ElementInfo;
  p.GetSet = [Getter](const TPersistent* o) { return static_cast<uint64_t>(detail::Get(Getter, detail::Cast<C>(o))); };
  p.SetSet = [Setter](TPersistent* o, uint64_t v) {
    using W = typename detail::WriterArg<S>::type;
    if (v > std::numeric_limits<W>::max()) throw EPropertyError("Set element out of range");
    detail::Set(Setter, detail::Cast<detail::ClassOf<S>>(o), static_cast<W>(v));
  };
  return p;
}
template <class G, class S>
TPropInfo Set(std::string Name, G Getter, S Setter, const TEnumInfo& ElementInfo, uint64_t Default) {
  TPropInfo p = Set(std::move(Name), Getter, Setter, ElementInfo);
  p.HasDefault = true;
  p.Default = detail::EnumSetText(ElementInfo, Default);
  return p;
}

template <class G, class S>
TPropInfo Float(std::string Name, G Getter, S Setter) {
  using C = detail::ClassOf<G>;
  TPropInfo p;
  p.Name = std::move(Name);
  p.Kind = pkFloat;
  p.GetFloat = [Getter](const TPersistent* o) { return static_cast<double>(detail::Get(Getter, detail::Cast<C>(o))); };
  p.SetFloat = [Setter](TPersistent* o, double v) {
    using W = typename detail::WriterArg<S>::type;
    detail::Set(Setter, detail::Cast<detail::ClassOf<S>>(o), static_cast<W>(v));
  };
  return p;
}
template <class G, class S>
TPropInfo Float(std::string Name, G Getter, S Setter, double Default) {
  TPropInfo p = Float(std::move(Name), Getter, Setter);
  p.HasDefault = true;
  p.Default = detail::FloatText(Default);
  return p;
}

// A nested persistent object that the class owns; the reader sets its
// properties in place and never replaces it.
template <class G>
TPropInfo Object(std::string Name, G Getter) {
  using C = detail::ClassOf<G>;
  TPropInfo p;
  p.Name = std::move(Name);
  p.Kind = pkObject;
  p.GetNested = [Getter](const TPersistent* o) -> TPersistent* {
    return detail::Get(Getter, detail::Cast<C>(o));
  };
  return p;
}

// A string list that the class owns; the reader clears it and adds the lines
// one by one, without calling any writer of the class.
template <class G>
TPropInfo Strings(std::string Name, G Getter) {
  using C = detail::ClassOf<G>;
  TPropInfo p;
  p.Name = std::move(Name);
  p.Kind = pkStrings;
  p.GetStrings = [Getter](const TPersistent* o) -> TStrings* { return detail::Get(Getter, detail::Cast<C>(o)); };
  return p;
}

template <class G, class S>
TPropInfo Component(std::string Name, G Getter, S Setter) {
  using C = detail::ClassOf<G>;
  using Ptr = typename detail::WriterArg<S>::type;
  using Target = std::remove_cv_t<std::remove_pointer_t<Ptr>>;
  TPropInfo p;
  p.Name = std::move(Name);
  p.Kind = pkComponent;
  p.HasDefault = true;
  p.Default = "nil";
  p.GetComponent = [Getter](const TPersistent* o) -> TComponent* {
    return const_cast<TComponent*>(static_cast<const TComponent*>(detail::Get(Getter, detail::Cast<C>(o))));
  };
  p.SetComponent = [Setter](TPersistent* o, TComponent* v) {
    Target* t = nullptr;
    if (v) {
      t = dynamic_cast<Target*>(v);
      if (!t) {
        std::string expected = "the property's class";
        if constexpr (requires { Target::StaticClassInfo(); }) expected = Target::StaticClassInfo().ClassName();
        throw EPropertyError(v->Name() + " is a " + v->ClassName() + ", not a " + expected);
      }
    }
    detail::Set(Setter, detail::Cast<detail::ClassOf<S>>(o), t);
  };
  return p;
}

template <class G, class S>
TPropInfo Event(std::string Name, G Getter, S Setter) {
  using C = detail::ClassOf<G>;
  using F = typename detail::WriterArg<S>::type;
  TPropInfo p;
  p.Name = std::move(Name);
  p.Kind = pkEvent;
  p.HasDefault = true;
  p.Default = "nil";
  p.EventAssigned = [Getter](const TPersistent* o) { return static_cast<bool>(detail::Get(Getter, detail::Cast<C>(o))); };
  p.SetEvent = [Setter](TPersistent* o, const std::any* h) {
    F f;
    if (h) {
      const F* typed = std::any_cast<F>(h);
      if (!typed) throw EPropertyError("The handler's parameters do not fit the event");
      f = *typed;
    }
    detail::Set(Setter, detail::Cast<detail::ClassOf<S>>(o), f);
  };
  return p;
}

// An ancestor's published property that this class does not publish: the
// reader refuses it and the property lists leave it out.
inline TPropInfo Hidden(std::string Name) {
  TPropInfo p;
  p.Name = std::move(Name);
  p.Hidden = true;
  return p;
}

// Bytes given in the form text as { hex }.
template <class G, class S>
TPropInfo Binary(std::string Name, G Getter, S Setter) {
  using C = detail::ClassOf<G>;
  TPropInfo p;
  p.Name = std::move(Name);
  p.Kind = pkBinary;
  p.GetString = [Getter](const TPersistent* o) { return std::string(detail::Get(Getter, detail::Cast<C>(o))); };
  p.SetString = [Setter](TPersistent* o, const std::string& v) {
    detail::Set(Setter, detail::Cast<detail::ClassOf<S>>(o), v);
  };
  return p;
}
}  // namespace Prop

namespace typinfo_detail {
template <class T>
TClassInfo::TCreator CreatorOf() {
  if constexpr (std::is_base_of_v<TComponent, T> && !std::is_abstract_v<T> &&
                std::is_constructible_v<T, TComponent*>)
    return [](TComponent* AOwner) -> TComponent* { return new T(AOwner); };
  else
    return nullptr;
}
// Registration at start-up records only where the class's table is: building
// the table reads enumeration names and ident maps (InstallTypeInfo,
// ColorIdents) that are globals of other units, which may not have started
// yet. The registry builds the recorded tables on its first lookup.
using TClassInfoFunc = const TClassInfo& (*)();
void RegisterClassInfoAtStartUp(TClassInfoFunc Info);
struct TAutoRegistration {
  explicit TAutoRegistration(TClassInfoFunc Info) { RegisterClassInfoAtStartUp(Info); }
};
}  // namespace typinfo_detail

#define QNT_PUBLISH(ThisClass, ...)                                                          \
  const TClassInfo& ThisClass::StaticClassInfo() {                                           \
    static const TClassInfo info(#ThisClass, &ThisClass::inherited::StaticClassInfo(),       \
                                 typinfo_detail::CreatorOf<ThisClass>(),                     \
                                 std::vector<TPropInfo>{__VA_ARGS__});                       \
    return info;                                                                             \
  }                                                                                          \
  static const typinfo_detail::TAutoRegistration qnt_autoreg_##ThisClass(&ThisClass::StaticClassInfo)
