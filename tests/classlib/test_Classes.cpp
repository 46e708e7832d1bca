#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/Streams.h"
#include "classlib/Units.h"

namespace {
std::vector<std::string>* destroyed = nullptr;

class Tracked : public TComponent {
public:
  Tracked(TComponent* owner, const std::string& name) : TComponent(owner) { SetName(name); }
  ~Tracked() override {
    if (destroyed) destroyed->push_back(Name());
  }
};

class Watcher : public TComponent {
public:
  using TComponent::TComponent;
  TComponent* ref = nullptr;
  void Notification(TComponent* c, TOperation op) override {
    if (op == opRemove && c == ref) ref = nullptr;
  }
};
}  // namespace

TEST(Component, OwnerFreesWhatItOwnsLastCreatedFirst) {
  std::vector<std::string> log;
  destroyed = &log;
  {
    TComponent owner(nullptr);
    new Tracked(&owner, "A");
    new Tracked(&owner, "B");
    auto* c = new Tracked(&owner, "C");
    new Tracked(c, "C1");
    EXPECT_EQ(owner.ComponentCount(), 3);
    EXPECT_EQ(owner.FindComponent("b")->Name(), "B");
  }
  destroyed = nullptr;
  EXPECT_EQ(log, (std::vector<std::string>{"C", "C1", "B", "A"}));
}

TEST(Component, NamesAreIdentifiersUniqueWithinTheOwner) {
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  a->SetName("Install1");
  auto* b = new TComponent(&owner);
  EXPECT_THROW(b->SetName("install1"), EComponentError);
  EXPECT_EQ(b->Name(), "");
  EXPECT_THROW(b->SetName("1bad"), EComponentError);
  b->SetName("Install2");
  EXPECT_EQ(b->Name(), "Install2");
}

TEST(Component, FreedComponentNotifiesSiblingsAndFreeNotificationClients) {
  TComponent owner(nullptr);
  auto* w = new Watcher(&owner);
  auto* target = new TComponent(&owner);
  w->ref = target;
  delete target;
  EXPECT_EQ(w->ref, nullptr);
  EXPECT_EQ(owner.ComponentCount(), 1);

  // A component owned elsewhere: only FreeNotification tells the watcher.
  auto* other = new TComponent(nullptr);
  w->ref = other;
  w->FreeNotification(other);
  delete other;
  EXPECT_EQ(w->ref, nullptr);
}

TEST(Component, RemovedFreeNotificationLeavesNoPointerBehind) {
  // The watcher stops watching, is freed, and then the watched component:
  // the watched one must not tell the freed watcher anything.
  auto* target = new TComponent(nullptr);
  auto* w = new Watcher(nullptr);
  w->ref = target;
  w->FreeNotification(target);
  w->RemoveFreeNotification(target);
  delete w;
  delete target;  // ASan reports a use after free if the watcher is still listed
  SUCCEED();
}

TEST(StringList, EditingSortingAndText) {
  TStringList l;
  l.Add("b");
  l.Add("a");
  l.Insert(0, "c");
  EXPECT_EQ(l.Text(), "c\r\nb\r\na\r\n");
  l.Move(0, 2);
  EXPECT_EQ(l[2], "c");
  EXPECT_EQ(l.IndexOf("B"), 0);
  l.Delete(0);
  EXPECT_EQ(l.Count(), 2);
  EXPECT_THROW(l.Get(5), EStringListError);
  l.SetText("x\r\ny\nz\r");
  EXPECT_EQ(l.Count(), 3);
  EXPECT_EQ(l[2], "z");

  TStringList s;
  s.SetSorted(true);
  s.Duplicates = dupIgnore;
  s.Add("pear");
  s.Add("Apple");
  s.Add("apple");
  EXPECT_EQ(s.Count(), 2);
  EXPECT_EQ(s[0], "Apple");
  s.Duplicates = dupError;
  EXPECT_THROW(s.Add("PEAR"), EStringListError);

  TStringList v;
  v.Add("Name=Value=x");
  EXPECT_EQ(v.Values("name"), "Value=x");
  EXPECT_EQ(v.Names(0), "Name");
  TStringList copy;
  copy.Assign(&v);
  EXPECT_EQ(copy.Text(), v.Text());
}

namespace {
// Records the virtual calls that loading makes.
class CountingList : public TStringList {
public:
  int clears = 0, adds = 0;
  void Clear() override {
    ++clears;
    TStringList::Clear();
  }
  int Add(const std::string& S) override {
    ++adds;
    return TStringList::Add(S);
  }
};
}  // namespace

TEST(StringList, StreamsLoadThroughTheVirtualEditsAndSkipAByteOrderMark) {
  TMemoryStream ms;
  std::string text = "\xEF\xBB\xBFone\r\ntwo\nthree";
  ms.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  ms.SetPosition(0);
  CountingList l;
  l.Add("old");
  l.LoadFromStream(&ms);
  EXPECT_EQ(l.Text(), "one\r\ntwo\r\nthree\r\n");
  EXPECT_EQ(l.clears, 1);
  EXPECT_EQ(l.adds, 4);

  TMemoryStream out;
  l.SaveToStream(&out);
  EXPECT_EQ(std::string(static_cast<const char*>(out.Memory()), static_cast<size_t>(out.Size())),
            "one\r\ntwo\r\nthree\r\n");

  // Loading from the middle of a stream takes the rest of it.
  ms.SetPosition(text.size() - 5);
  l.LoadFromStream(&ms);
  EXPECT_EQ(l.Text(), "three\r\n");

  TStringList sorted;
  sorted.SetSorted(true);
  sorted.Duplicates = dupIgnore;
  out.SetPosition(0);
  std::string dup = "b\na\nB\n";
  TMemoryStream ds;
  ds.WriteBuffer(dup.data(), static_cast<int64_t>(dup.size()));
  ds.SetPosition(0);
  sorted.LoadFromStream(&ds);
  EXPECT_EQ(sorted.Text(), "a\r\nb\r\n");
}

// Indexed properties out of range raise the class library's list error, an
// Exception, never the standard library's out_of_range.
TEST(Component, IndexOutOfRangeIsAListError) {
  TComponent owner(nullptr);
  new TComponent(&owner);
  for (int i : {-1, 1}) {
    try {
      owner.Components(i);
      ADD_FAILURE() << "no error for " << i;
    } catch (const Exception& e) {
      EXPECT_NE(dynamic_cast<const EListError*>(&e), nullptr);
      EXPECT_EQ(e.Message, "List index out of bounds (" + std::to_string(i) + ")");
    }
  }
}

namespace {
std::vector<std::string> unitTrace;
}  // namespace

// A unit registered once the program runs (a library loaded later) starts at
// once and finishes first; many of them must not disturb those started before.
TEST(Units, RegisteredAfterStartUpStartAtOnceAndFinishFirst) {
  ASSERT_TRUE(UnitsInitialized());
  unitTrace.clear();
  std::vector<std::unique_ptr<TUnitRegistration>> late;
  late.push_back(std::make_unique<TUnitRegistration>(
      ulClassLib, "late1", [] { unitTrace.push_back("init1"); }, [] { unitTrace.push_back("fini1"); }));
  EXPECT_EQ(unitTrace, std::vector<std::string>({"init1"}));
  for (int i = 0; i < 200; ++i) late.push_back(std::make_unique<TUnitRegistration>(ulSetup, "filler", nullptr, nullptr));
  late.push_back(std::make_unique<TUnitRegistration>(
      ulClassLib, "late2", [] { unitTrace.push_back("init2"); }, [] { unitTrace.push_back("fini2"); }));
  FinalizeUnits();
  EXPECT_EQ(unitTrace, std::vector<std::string>({"init1", "init2", "fini2", "fini1"}));
  unitTrace.clear();
  InitializeUnits();  // as the test program had it; the late units start again
  EXPECT_EQ(unitTrace, std::vector<std::string>({"init1", "init2"}));
}
