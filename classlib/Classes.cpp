#include "classlib/Classes.h"

#include <algorithm>

#include "classlib/Streams.h"
#include "classlib/TypInfo.h"
#include "classlib/Handles.h"

void TPersistent::Assign(const TPersistent* Source) {
  throw EConvertError("Cannot assign a " + std::string(Source ? "different object" : "nil") +
                      " to this object");
}

const TClassInfo& TPersistent::StaticClassInfo() {
  static const TClassInfo info("TPersistent", nullptr, nullptr, {});
  return info;
}

const TClassInfo& TPersistent::ClassInfo() const { return StaticClassInfo(); }

const std::string& TPersistent::ClassName() const { return ClassInfo().ClassName(); }

QNT_PUBLISH(TComponent,
  Prop::String("Name", &TComponent::Name, &TComponent::SetName),
  Prop::Integer("Tag", &TComponent::Tag, &TComponent::Tag, 0));

QNT_PUBLISH(TDataModule);

// ---------------------------------------------------------------- TComponent

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  FComponentState |= csDestroying;
  // Those that asked to be told: they drop their references to us.
  while (!FFreeNotifies.empty()) {
    TComponent* c = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    c->RemoveFreeNotification(this);
    c->Notification(this, opRemove);
  }
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::DestroyComponents() {
  // Last created first.
  while (!FComponents.empty()) {
    TComponent* c = FComponents.back();
    c->BeforeDestruction();
    if (!FComponents.empty() && FComponents.back() == c) {
      c->FComponentState |= csDestroying;
      delete c;  // removes itself from FComponents
    }
  }
}

void TComponent::InsertComponent(TComponent* AComponent) {
  AComponent->FOwner = this;
  FComponents.push_back(AComponent);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  auto it = std::find(FComponents.begin(), FComponents.end(), AComponent);
  if (it == FComponents.end()) return;
  FComponents.erase(it);
  AComponent->FOwner = nullptr;
  if (!(FComponentState & csDestroying)) {
    Notification(AComponent, opRemove);
    for (TComponent* c : FComponents) c->Notification(AComponent, opRemove);
  }
}

void TComponent::SetName(const std::string& NewName) {
  if (NewName == FName) return;
  if (!NewName.empty() && !IsValidIdent(NewName))
    throw EComponentError("''" + NewName + "'' is not a valid component name");
  if (FOwner && !NewName.empty()) {
    TComponent* other = FOwner->FindComponent(NewName);
    if (other && other != this)
      throw EComponentError("A component named " + NewName + " already exists");
  }
  FName = NewName;
}

TComponent* TComponent::FindComponent(const std::string& AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* c : FComponents)
    if (SameText(c->FName, AName)) return c;
  return nullptr;
}

void TComponent::Loaded() { FComponentState &= ~csLoading; }

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  if (std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this) ==
      AComponent->FFreeNotifies.end())
    AComponent->FFreeNotifies.push_back(this);
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
    FFreeNotifies.push_back(AComponent);
}

// Both sides forget each other, so neither keeps a pointer to the other once
// one of them is freed.
void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent),
                      FFreeNotifies.end());
  if (AComponent && AComponent != this)
    AComponent->FFreeNotifies.erase(
        std::remove(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this),
        AComponent->FFreeNotifies.end());
}

void TComponent::RegisterHandler(const std::string& HandlerName, std::any Handler) {
  FHandlers[UpperCase(HandlerName)] = std::move(Handler);
}

const std::any* TComponent::FindHandler(const std::string& HandlerName) const {
  auto it = FHandlers.find(UpperCase(HandlerName));
  return it == FHandlers.end() ? nullptr : &it->second;
}

void TComponent::SetParentComponent(TComponent*) {}

// ------------------------------------------------------------------ TStrings

void TStrings::Put(int Index, const std::string& S) {
  TObject* o = GetObject(Index);
  Delete(Index);
  InsertObject(Index, S, o);
}

TObject* TStrings::GetObject(int) const { return nullptr; }
void TStrings::PutObject(int, TObject*) {}

int TStrings::Add(const std::string& S) {
  int i = Count();
  Insert(i, S);
  return i;
}

int TStrings::AddObject(const std::string& S, TObject* AObject) {
  int i = Add(S);
  PutObject(i, AObject);
  return i;
}

void TStrings::AddStrings(const TStrings* Strings) {
  if (!Strings) return;
  for (int i = 0; i < Strings->Count(); ++i) AddObject(Strings->Get(i), Strings->GetObject(i));
}

void TStrings::InsertObject(int Index, const std::string& S, TObject* AObject) {
  Insert(Index, S);
  PutObject(Index, AObject);
}

void TStrings::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  std::string s = Get(CurIndex);
  TObject* o = GetObject(CurIndex);
  Delete(CurIndex);
  InsertObject(NewIndex, s, o);
}

int TStrings::IndexOf(const std::string& S) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(Get(i), S)) return i;
  return -1;
}

void TStrings::Assign(const TPersistent* Source) {
  if (auto src = dynamic_cast<const TStrings*>(Source)) {
    if (src == this) return;
    Clear();
    AddStrings(src);
    return;
  }
  TPersistent::Assign(Source);
}

std::string TStrings::Text() const {
  std::string r;
  for (int i = 0; i < Count(); ++i) {
    r += Get(i);
    r += "\r\n";
  }
  return r;
}

void TStrings::SetText(const std::string& Value) {
  Clear();
  size_t i = 0, n = Value.size();
  while (i < n) {
    size_t j = i;
    while (j < n && Value[j] != '\r' && Value[j] != '\n') ++j;
    Add(Value.substr(i, j - i));
    if (j < n && Value[j] == '\r') ++j;
    if (j < n && Value[j] == '\n') ++j;
    i = j;
  }
}

void TStrings::LoadFromFile(const std::string& FileName) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&f);
}

void TStrings::LoadFromStream(TStream* Stream) {
  int64_t size = Stream->Size() - Stream->Position();
  std::string text;
  if (size > 0) {
    text.resize(static_cast<size_t>(size));
    Stream->ReadBuffer(text.data(), size);
  }
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  Batch([&] { SetText(text); });
}

void TStrings::Batch(const std::function<void()>& Edits) {
  BeginUpdate();
  try {
    Edits();
  } catch (...) {
    try {
      EndUpdate();
    } catch (...) {
    }
    throw;
  }
  EndUpdate();
}

void TStrings::SaveToFile(const std::string& FileName) const {
  TFileStream f(FileName, fmCreate);
  SaveToStream(&f);
}

void TStrings::SaveToStream(TStream* Stream) const {
  std::string text = Text();
  Stream->WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

std::string TStrings::Names(int Index) const {
  std::string s = Get(Index);
  size_t p = s.find('=');
  return p == std::string::npos ? std::string() : s.substr(0, p);
}

int TStrings::IndexOfName(const std::string& Name) const {
  for (int i = 0; i < Count(); ++i) {
    std::string s = Get(i);
    size_t p = s.find('=');
    if (p != std::string::npos && SameText(s.substr(0, p), Name)) return i;
  }
  return -1;
}

std::string TStrings::Values(const std::string& Name) const {
  int i = IndexOfName(Name);
  if (i < 0) return {};
  std::string s = Get(i);
  return s.substr(s.find('=') + 1);
}

// --------------------------------------------------------------- TStringList

void TStringList::CheckIndex(int Index) const {
  if (Index < 0 || Index >= Count())
    throw EStringListError(Format("List index out of bounds (%d)", {Index}));
}

std::string TStringList::Get(int Index) const {
  CheckIndex(Index);
  return FItems[static_cast<size_t>(Index)].s;
}

void TStringList::Put(int Index, const std::string& S) {
  if (FSorted) throw EStringListError("Operation not allowed on sorted string list");
  CheckIndex(Index);
  FItems[static_cast<size_t>(Index)].s = S;
}

TObject* TStringList::GetObject(int Index) const {
  CheckIndex(Index);
  return FItems[static_cast<size_t>(Index)].obj;
}

void TStringList::PutObject(int Index, TObject* AObject) {
  CheckIndex(Index);
  FItems[static_cast<size_t>(Index)].obj = AObject;
}

int TStringList::Add(const std::string& S) { return AddObject(S, nullptr); }

int TStringList::AddObject(const std::string& S, TObject* AObject) {
  int index;
  if (!FSorted) {
    index = Count();
  } else if (Find(S, index)) {
    if (Duplicates == dupIgnore) return index;
    if (Duplicates == dupError) throw EStringListError("String list does not allow duplicates");
  }
  InsertObject(index, S, AObject);
  return index;
}

void TStringList::Clear() { FItems.clear(); }

void TStringList::Delete(int Index) {
  CheckIndex(Index);
  FItems.erase(FItems.begin() + Index);
}

void TStringList::Insert(int Index, const std::string& S) { InsertObject(Index, S, nullptr); }

void TStringList::InsertObject(int Index, const std::string& S, TObject* AObject) {
  if (Index < 0 || Index > Count())
    throw EStringListError(Format("List index out of bounds (%d)", {Index}));
  FItems.insert(FItems.begin() + Index, Item{S, AObject});
}

int TStringList::IndexOf(const std::string& S) const {
  if (!FSorted) return TStrings::IndexOf(S);
  int i;
  return Find(S, i) ? i : -1;
}

bool TStringList::Find(const std::string& S, int& Index) const {
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int c = CompareText(FItems[static_cast<size_t>(mid)].s, S);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (Duplicates != dupAccept) lo = mid;
      }
    }
  }
  Index = lo;
  return found;
}

void TStringList::Sort() {
  std::stable_sort(FItems.begin(), FItems.end(),
                   [](const Item& a, const Item& b) { return CompareText(a.s, b.s) < 0; });
}

void TStringList::SetSorted(bool Value) {
  if (Value == FSorted) return;
  if (Value) Sort();
  FSorted = Value;
}

// ---------------------------------------------------------------- TList

int TList::Add(void* Item) {
  FList.push_back(Item);
  return Count() - 1;
}

void TList::Insert(int Index, void* Item) {
  if (Index < 0 || Index > Count()) throw EListError(Format("List index out of bounds (%d)", {Index}));
  FList.insert(FList.begin() + Index, Item);
}

void TList::Delete(int Index) {
  ListItem(FList, Index);
  FList.erase(FList.begin() + Index);
}

int TList::Remove(void* Item) {
  int i = IndexOf(Item);
  if (i >= 0) Delete(i);
  return i;
}

int TList::IndexOf(void* Item) const {
  for (size_t i = 0; i < FList.size(); ++i)
    if (FList[i] == Item) return static_cast<int>(i);
  return -1;
}
