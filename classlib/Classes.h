// The class library's core classes: persistent objects, owned components and
// string lists. Published properties and their tables: classlib/TypInfo.h;
// reading components from a text form resource: classlib/FormReader.h.
#pragma once
#include <any>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "classlib/SysUtils.h"

class TObject {
public:
  virtual ~TObject() = default;
};

class TClassInfo;
class TStream;

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Inside the body of a class that publishes properties (see classlib/TypInfo.h):
// declares its table and names its direct base.
#define QNT_PUBLISHED(ThisClass, BaseClass)                \
 public:                                                  \
  using inherited = BaseClass;                            \
  static const TClassInfo& StaticClassInfo();             \
  const TClassInfo& ClassInfo() const override { return ThisClass::StaticClassInfo(); }

class EComponentError : public Exception {
public:
  using Exception::Exception;
};
class EStringListError : public Exception {
public:
  using Exception::Exception;
};
class EListError : public Exception {
public:
  using Exception::Exception;
};

// Element Index of a vector behind an indexed property; an index outside it
// is the class library's list error, which handlers of Exception see.
template <class V>
auto& ListItem(V& List, int Index) {
  if (Index < 0 || static_cast<size_t>(Index) >= List.size())
    throw EListError(Format("List index out of bounds (%d)", {Index}));
  return List[static_cast<size_t>(Index)];
}

class TPersistent : public TObject {
public:
  // Copies Source into this object; the default refuses (EConvertError), as
  // the class library does for classes that do not know each other.
  virtual void Assign(const TPersistent* Source);

  // The table of published properties of the object's class.
  static const TClassInfo& StaticClassInfo();
  virtual const TClassInfo& ClassInfo() const;
  // The name of the most derived class that declares a table.
  const std::string& ClassName() const;
};

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned {
  csLoading = 1u << 0,
  csReading = 1u << 1,
  csDesigning = 1u << 2,
  csDestroying = 1u << 3,
};

class TComponent : public TPersistent {
  QNT_PUBLISHED(TComponent, TPersistent)
public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }
  const std::string& Name() const { return FName; }
  // Refuses a name that is no identifier or that another component of the
  // same owner already has (EComponentError), changing nothing.
  virtual void SetName(const std::string& NewName);

  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int Index) const { return ListItem(FComponents, Index); }
  TComponent* FindComponent(const std::string& AName) const;

  unsigned ComponentState() const { return FComponentState; }
  bool HasState(unsigned flags) const { return (FComponentState & flags) != 0; }
  void SetState(unsigned flags) { FComponentState |= flags; }
  void ClearState(unsigned flags) { FComponentState &= ~flags; }

  // Called once the component's properties have been read; clears csLoading.
  virtual void Loaded();
  // Called while the object is still whole, right before it is destroyed:
  // by Free, and by an owner for each component it destroys. A form fires its
  // OnDestroy here, while the handlers' own class is still alive.
  virtual void BeforeDestruction() {}
  // Frees the owned components, last created first (each gets
  // BeforeDestruction); the component itself stays.
  void DestroyComponents();
  // BeforeDestruction, then delete.
  void Free() {
    BeforeDestruction();
    delete this;
  }
  // Told when a component it refers to is inserted or removed (freed).
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  // Asks to be told (Notification with opRemove) when AComponent is freed,
  // whoever owns it.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  int Tag = 0;
  int GetTag() const { return Tag; }
  void SetTag(int Value) { Tag = Value; }

  // Event handlers of a module or form, found by name when its resource is
  // read. Register them in the constructor, before the resource is read.
  void RegisterHandler(const std::string& HandlerName, std::any Handler);
  template <class C, class R, class... A>
  void RegisterHandler(const std::string& HandlerName, C* Self, R (C::*Method)(A...)) {
    RegisterHandler(HandlerName, std::any(std::function<R(A...)>(
                                     [Self, Method](A... a) -> R { return (Self->*Method)(std::forward<A>(a)...); })));
  }
  // nullptr when no handler has that name (names ignore case).
  const std::any* FindHandler(const std::string& HandlerName) const;

  // Told by the form reader which object an object nested inside another in
  // the text belongs to (a control's parent); components ignore it.
  virtual void SetParentComponent(TComponent* Value);

protected:
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);

private:
  TComponent* FOwner = nullptr;
  std::string FName;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  unsigned FComponentState = 0;
  std::map<std::string, std::any> FHandlers;  // upper-case name
};

// A non-visual container of components, read from its text form resource:
// a descendant registers its handlers, then calls ReadResource(ClassName)
// at the end of its constructor.
class TDataModule : public TComponent {
  QNT_PUBLISHED(TDataModule, TComponent)
public:
  using TComponent::TComponent;

protected:
  // Reads the resource of that name (Windows: an RCDATA resource of the
  // program or library that holds this code) into this module.
  void ReadResource(const std::string& ResourceName);
};

// Which edits call which (all through virtual calls), so that a descendant's
// overrides neither repeat their work nor get bypassed:
//   TStrings:    Add -> Insert(Count); AddObject -> Add, PutObject;
//                AddStrings -> AddObject per line; InsertObject -> Insert, PutObject;
//                Put, Move -> Delete, InsertObject; Assign -> Clear, AddStrings;
//                SetText -> Clear, Add per line; LoadFromStream -> SetText;
//                LoadFromFile -> LoadFromStream; SaveToFile -> SaveToStream -> Text.
//   TStringList: Add -> AddObject -> InsertObject; Insert -> InsertObject;
//                Put, PutObject, Clear and Delete call nothing else.
// The system headers make GetObject a macro (GetObjectW); the list's member
// keeps its own name in every unit, with or without them, so that its
// descendants in window code override the same function.
#ifdef GetObject
#undef GetObject
#endif
class TStrings : public TPersistent {
public:
  virtual int Count() const = 0;
  virtual std::string Get(int Index) const = 0;
  virtual void Put(int Index, const std::string& S);
  virtual TObject* GetObject(int Index) const;
  virtual void PutObject(int Index, TObject* AObject);

  virtual int Add(const std::string& S);
  virtual int AddObject(const std::string& S, TObject* AObject);
  virtual void AddStrings(const TStrings* Strings);
  virtual void Clear() = 0;
  virtual void Delete(int Index) = 0;
  virtual void Insert(int Index, const std::string& S) = 0;
  virtual void InsertObject(int Index, const std::string& S, TObject* AObject);
  virtual void Move(int CurIndex, int NewIndex);
  virtual int IndexOf(const std::string& S) const;  // case-insensitive, as the class library compares
  void Assign(const TPersistent* Source) override;

  std::string operator[](int Index) const { return Get(Index); }
  std::string Strings(int Index) const { return Get(Index); }
  TObject* Objects(int Index) const { return GetObject(Index); }

  // Lines joined with CR LF after each; setting splits at CR LF, LF or CR.
  virtual std::string Text() const;
  virtual void SetText(const std::string& Value);

  // Files and streams hold the lines as Text does (a UTF-8 byte-order mark at
  // the start is skipped when reading). Loading replaces the lines (Clear,
  // then Add per line); a file that cannot be opened raises EFOpenError.
  virtual void LoadFromFile(const std::string& FileName);
  virtual void LoadFromStream(TStream* Stream);
  virtual void SaveToFile(const std::string& FileName) const;
  virtual void SaveToStream(TStream* Stream) const;

  // NAME=VALUE lines.
  std::string Names(int Index) const;
  std::string Values(const std::string& Name) const;
  int IndexOfName(const std::string& Name) const;

  // A batch of edits: SetUpdateState(true) at the first BeginUpdate,
  // SetUpdateState(false) at the last EndUpdate.
  int UpdateCount() const { return FUpdateCount; }
  void BeginUpdate() {
    if (FUpdateCount++ == 0) SetUpdateState(true);
  }
  void EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) SetUpdateState(false);
  }
  // Edits as one batch. The batch's end may raise (a list that checks its
  // lines then); after a failed edit that is passed over, and the edit's
  // failure passes on.
  void Batch(const std::function<void()>& Edits);

protected:
  // A list that reacts to every edit can react once, when the batch ends.
  virtual void SetUpdateState(bool) {}

private:
  int FUpdateCount = 0;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
public:
  int Count() const override { return static_cast<int>(FItems.size()); }
  std::string Get(int Index) const override;
  void Put(int Index, const std::string& S) override;
  TObject* GetObject(int Index) const override;
  void PutObject(int Index, TObject* AObject) override;
  int Add(const std::string& S) override;
  int AddObject(const std::string& S, TObject* AObject) override;
  void Clear() override;
  void Delete(int Index) override;
  void Insert(int Index, const std::string& S) override;
  void InsertObject(int Index, const std::string& S, TObject* AObject) override;
  int IndexOf(const std::string& S) const override;

  bool Sorted() const { return FSorted; }
  void SetSorted(bool Value);
  TDuplicates Duplicates = dupAccept;
  // Binary search of a sorted list; true when found, Index = where it is or would go.
  bool Find(const std::string& S, int& Index) const;
  void Sort();

protected:
  void CheckIndex(int Index) const;

private:
  struct Item {
    std::string s;
    TObject* obj;
  };
  std::vector<Item> FItems;
  bool FSorted = false;
};

// A list of untyped pointers; it owns nothing that it holds. Indexes outside
// the list raise EListError.
class TList : public TObject {
public:
  int Count() const { return static_cast<int>(FList.size()); }
  void* Items(int Index) const { return ListItem(FList, Index); }
  void SetItems(int Index, void* Item) { ListItem(FList, Index) = Item; }
  void* operator[](int Index) const { return Items(Index); }
  int Add(void* Item);
  void Insert(int Index, void* Item);
  void Delete(int Index);
  // Removes the first occurrence; its former index, or -1.
  int Remove(void* Item);
  int IndexOf(void* Item) const;
  void* First() const { return Items(0); }
  void* Last() const { return Items(Count() - 1); }
  void Clear() { FList.clear(); }

private:
  std::vector<void*> FList;
};
