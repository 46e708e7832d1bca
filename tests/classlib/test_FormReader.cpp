#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "classlib/FormFixtures.h"
#include "classlib/FormReader.h"
#include "classlib/Graphics.h"

using namespace fixture;

namespace {
const char* const FullModule =
    "object Fixtures: TFixtureModule\n"          // 1
    "  Tag = 7\n"                                 // 2
    "  object First: TFixtureItem\n"              // 3
    "    Caption = 'It''s ' + 'the first'#13#10'line'\n"
    "    Count = -3\n"                            // 5
    "    Enabled = false\n"
    "    Shade = SHBLUE\n"
    "    Flavors = [flSour, flSalty]\n"
    "    Ratio = 2.25E1\n"
    "    Info.Product = 'Quillant32'\n"           // 10
    "    Info.Font.Height = -16\n"
    "    Info.Font.Color = clWindowText\n"
    "    Info.Buddy = Third\n"
    "    Lines.Strings = (\n"
    "      'one'\n"
    "      'two'#9'tabs'\n"                       // 15
    "      '')\n"
    "    Link = Third\n"
    "    Data = {\n"
    "      00FF 7a}\n"
    "    OnClick = ItemClick\n"
    "    OnAsk = itemask\n"
    "    object Nested: TFixtureSpecial\n"
    "      Extra = #$263A\n"
    "      Link = First\n"
    "    end\n"
    "  end\n"
    "  object Third: TFixtureItem\n"
    "    Link = Nested\n"
    "  end\n"
    "end\n";

struct Loaded {
  std::unique_ptr<TFixtureModule> module;
  TFixtureItem* Item(const char* name) const { return dynamic_cast<TFixtureItem*>(module->FindComponent(name)); }
};

Loaded Load(const std::string& text) {
  Log.clear();
  Loaded l{std::make_unique<TFixtureModule>(nullptr)};
  ReadComponentText(l.module.get(), text, "TFIXTUREMODULE");
  return l;
}

// The error of reading text, or a failure when it reads.
EFormReadError LoadError(const std::string& text) {
  try {
    Load(text);
  } catch (const EFormReadError& e) {
    return e;
  }
  ADD_FAILURE() << "no error for:\n" << text;
  return EFormReadError("", 0, "", "", "");
}
}  // namespace

TEST(FormReader, EveryPropertyKindReadsIntoTheFixtureModule) {
  Loaded l = Load(FullModule);
  TFixtureModule& m = *l.module;
  EXPECT_EQ(m.Name(), "Fixtures");
  EXPECT_EQ(m.Tag, 7);
  ASSERT_EQ(m.ComponentCount(), 3);  // all owned by the module, in text order
  EXPECT_EQ(m.Components(0)->Name(), "First");
  EXPECT_EQ(m.Components(1)->Name(), "Nested");
  EXPECT_EQ(m.Components(2)->Name(), "Third");

  TFixtureItem* first = l.Item("first");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Caption(), "It's the first\r\nline");
  EXPECT_EQ(first->Count(), -3);  // stored unchecked while loading
  EXPECT_FALSE(first->Enabled());
  EXPECT_EQ(first->Shade(), shBlue);
  EXPECT_EQ(first->Flavors(), (1u << flSour) | (1u << flSalty));
  EXPECT_DOUBLE_EQ(first->Ratio(), 22.5);
  EXPECT_EQ(first->Info()->Product(), "Quillant32");
  EXPECT_EQ(first->Info()->Font()->Height, -16);
  EXPECT_EQ(first->Info()->Font()->Colour, -2147483640);
  EXPECT_EQ(first->Lines()->Text(), "one\r\ntwo\ttabs\r\n\r\n");
  EXPECT_EQ(first->Data(), std::string("\x00\xFF\x7A", 3));
  EXPECT_EQ(GetPropText(first, "Data"), "{00FF7A}");
  EXPECT_EQ(GetPropText(first, "Flavors"), "[flSour, flSalty]");
  EXPECT_EQ(GetPropText(first, "info.font.color"), "clWindowText");

  auto* nested = dynamic_cast<TFixtureSpecial*>(l.Item("Nested"));
  ASSERT_NE(nested, nullptr);
  EXPECT_EQ(nested->Extra, "\xE2\x98\xBA");  // U+263A as UTF-8
  EXPECT_EQ(nested->ParentSeen, first);
  EXPECT_EQ(first->ParentSeen, nullptr);  // directly inside the root

  // References, the one to a later component included, in text order.
  EXPECT_EQ(first->Link(), l.Item("Third"));
  EXPECT_EQ(first->Info()->Buddy, l.Item("Third"));
  EXPECT_EQ(nested->Link(), first);
  EXPECT_EQ(l.Item("Third")->Link(), nested);

  // Events call the module's handlers.
  first->OnClick()(first);
  bool go = true;
  first->OnAsk()(first, go);
  EXPECT_FALSE(go);
  EXPECT_EQ(Log.back(), "ItemAsk");

  for (int i = 0; i < m.ComponentCount(); ++i) {
    auto* item = static_cast<TFixtureItem*>(m.Components(i));
    EXPECT_EQ(item->LoadedCalls, 1) << item->Name();
    EXPECT_FALSE(item->HasState(csLoading | csReading)) << item->Name();
  }
  EXPECT_FALSE(m.HasState(csLoading | csReading));
}

TEST(FormReader, OrderOfCreationWritersReferencesAndLoaded) {
  Loaded l = Load(FullModule);
  auto from = [&](const std::string& first) { return std::find(Log.begin(), Log.end(), first); };
  // The list is filled in place: cleared, then one Add per line; the nested
  // object is filled in place without its writer.
  auto clear = from("Lines.Clear");
  ASSERT_NE(clear, Log.end());
  EXPECT_EQ(*(clear + 1), "Lines.Add one");
  EXPECT_EQ(*(clear + 3), "Lines.Add ");
  EXPECT_EQ(from("SetInfo"), Log.end());
  EXPECT_NE(from("First.Caption=It's the first\r\nline (loading)"), Log.end());

  std::vector<std::string> tail;
  for (auto it = from("First.Link=Third (loading)"); it != Log.end() && *it != "ItemClick First"; ++it)
    tail.push_back(*it);
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "First.Link=Third (loading)", "Nested.Link=First (loading)", "Third.Link=Nested (loading)",
                      "Fixtures.Loaded", "First.Loaded", "Nested.Loaded", "Third.Loaded"}));
}

TEST(FormReader, ErrorsNameTheResourceLineComponentAndProperty) {
  EFormReadError e = LoadError("object Fixtures: TFixtureModule\n  object A: TNoSuchClass\n  end\nend\n");
  EXPECT_EQ(e.Line, 2);
  EXPECT_EQ(e.ComponentName, "A");
  EXPECT_NE(e.Message.find("TFIXTUREMODULE"), std::string::npos);
  EXPECT_NE(e.Message.find("TNoSuchClass"), std::string::npos);

  e = LoadError("object Fixtures: TFixtureModule\n  object A: TFixtureItem\n\n    Colour = 3\n  end\nend\n");
  EXPECT_EQ(e.Line, 4);
  EXPECT_EQ(e.ComponentName, "A");
  EXPECT_EQ(e.PropertyName, "Colour");
  EXPECT_EQ(e.Message, "Error reading TFIXTUREMODULE, line 4, component A, property Colour: "
                       "Unknown property Colour of TFixtureItem");
  // With the file it was made from registered, the message names that file.
  RegisterResourceSource("TFixtureModule", "forms/Fixture.txt");
  e = LoadError("object Fixtures: TFixtureModule\n  object A: TFixtureItem\n\n    Colour = 3\n  end\nend\n");
  RegisterResourceSource("TFixtureModule", "");
  EXPECT_EQ(e.SourceFile, "forms/Fixture.txt");
  EXPECT_EQ(e.Message, "Error reading forms/Fixture.txt (TFIXTUREMODULE), line 4, component A, property Colour: "
                       "Unknown property Colour of TFixtureItem");

  e = LoadError("object Fixtures: TFixtureModule\n  object A: TFixtureItem\n    Shade = shPink\n  end\nend\n");
  EXPECT_EQ(e.Line, 3);
  EXPECT_EQ(e.PropertyName, "Shade");
  EXPECT_NE(e.Detail.find("shPink is not a TShade value"), std::string::npos);

  e = LoadError("object Fixtures: TFixtureModule\n  object A: TFixtureItem\n    Info.Font.Name = 12\n  end\nend\n");
  EXPECT_EQ(e.PropertyName, "Info.Font.Name");
  EXPECT_EQ(e.Detail, "A string expected, not an integer");

  // Out of the writer's range (a 16-bit count), a bad Boolean, a bad set element.
  EXPECT_EQ(LoadError("object X: TFixtureModule\n object A: TFixtureItem\n Count = -$8000000000000000\n end\nend").Line,
            3);
  EXPECT_EQ(LoadError("object X: TFixtureModule\n object A: TFixtureItem\n Count = 40000\n end\nend").Line, 3);
  EXPECT_EQ(LoadError("object X: TFixtureModule\n object A: TFixtureItem\n Enabled = Yes\n end\nend").PropertyName,
            "Enabled");
  EXPECT_NE(LoadError("object X: TFixtureModule\n object A: TFixtureItem\n Flavors = [flSweet, flHot]\n end\nend")
                .Detail.find("flHot"),
            std::string::npos);

  // Unterminated objects: the line of the object that has no end.
  e = LoadError("object Fixtures: TFixtureModule\n  object A: TFixtureItem\n    Caption = 'x'\n  end\n"
                "  object B: TFixtureItem\n    Caption = 'y'\n");
  EXPECT_EQ(e.Line, 5);
  EXPECT_EQ(e.ComponentName, "B");
  EXPECT_NE(e.Detail.find("no 'end'"), std::string::npos);
  EXPECT_EQ(LoadError("object Fixtures: TFixtureModule\n Tag = 1\n").ComponentName, "Fixtures");

  // Strings, lists and binary data that do not end.
  EXPECT_EQ(LoadError("object X: TFixtureModule\n object A: TFixtureItem\n Caption = 'abc\n end\nend").Detail,
            "Unterminated string");
  EXPECT_EQ(LoadError("object X: TFixtureModule\n object A: TFixtureItem\n Lines = ('a'").Detail,
            "')' expected but the text ended");
  EXPECT_EQ(LoadError("object X: TFixtureModule\n object A: TFixtureItem\n Data = {0A1").Detail,
            "'}' expected but the text ended");
  EXPECT_EQ(LoadError("object X: TFixtureModule\n object A: TFixtureItem\n Data = {0A1}\n end\nend").Line, 3);
}

// Values may span lines; what comes after one is still counted from its own
// line: a property, an object's header, a reference checked at the end.
TEST(FormReader, ErrorsAfterAValueOverSeveralLinesNameTheirOwnLine) {
  const std::string values[] = {
      "Lines.Strings = (\n   'one'\n   'two')",  // a list of strings
      "Data = {\n   00FF\n   7A}",              // binary data
      "Lines = (\n   'a' +\n   'b')",           // a list of continued strings
      "Caption = 'a' +\n   'b'\n   + #33",       // a string continued over lines
      "Flavors = [\n   flSour,\n   flSalty]",   // a set
  };
  for (const std::string& v : values) {
    SCOPED_TRACE(v);
    const std::string head = "object X: TFixtureModule\n object A: TFixtureItem\n  " + v + "\n";
    const int next = 4 + static_cast<int>(std::count(v.begin(), v.end(), '\n'));
    EXPECT_EQ(LoadError(head + "  Colour = 3\n end\nend\n").Line, next);
    EXPECT_EQ(LoadError(head + " end\n object B: TNoSuchClass\n end\nend\n").Line, next + 1);
    EXPECT_EQ(LoadError(head + "  Link = Zed\n end\nend\n").Line, next);
  }
}

TEST(FormReader, ReferencesHandlersAndClassesAreChecked) {
  // A reference to a component of another class, or to none, fails at the
  // line of the reference, after the whole text was read.
  EFormReadError e = LoadError(
      "object X: TFixtureModule\n object A: TFixtureItem\n  Link = B\n end\n object B: TFixtureOther\n end\nend\n");
  EXPECT_EQ(e.Line, 3);
  EXPECT_EQ(e.ComponentName, "A");
  EXPECT_EQ(e.PropertyName, "Link");
  EXPECT_EQ(e.Detail, "B is a TFixtureOther, not a TFixtureItem");
  EXPECT_EQ(LoadError("object X: TFixtureModule\n object A: TFixtureItem\n  Link = Zed\n end\nend\n").Detail,
            "Component Zed not found");

  // A handler that does not exist or does not fit the event.
  EXPECT_EQ(LoadError("object X: TFixtureModule\n object A: TFixtureItem\n  OnClick = Nope\n end\nend\n").Detail,
            "No handler named Nope");
  EXPECT_EQ(LoadError("object X: TFixtureModule\n object A: TFixtureItem\n  OnClick = ItemAsk\n end\nend\n").Detail,
            "The handler's parameters do not fit the event");

  // The root must be of the class named; names are checked by the component.
  EXPECT_NE(LoadError("object X: TFixtureItem\nend\n").Detail.find("not for a TFixtureModule"), std::string::npos);
  EXPECT_EQ(LoadError("object X: TFixtureModule\n object A: TFixtureItem\n end\n object a: TFixtureItem\n end\nend")
                .Line,
            4);
  EXPECT_EQ(LoadError("object X: TFixtureModule\n object A: TFixtureItem\n  Info = 1\n end\nend").PropertyName, "Info");
  EXPECT_EQ(LoadError("object X: TFixtureModule\nend\nobject").Detail, "Text after the end of the root object");

  // A byte-order mark at the start is skipped; a ref to nil clears.
  Loaded l = Load("\xEF\xBB\xBFobject X: TFixtureModule\r\n object A: TFixtureItem\r\n  Link = nil\r\n end\r\nend\r\n");
  EXPECT_EQ(l.Item("A")->Link(), nullptr);
}

TEST(FormReader, ModuleReadsItsRegisteredResourceText) {
  RegisterResourceText("TFixtureModuleRes", "object Mod: TFixtureModule\n object A: TFixtureItem\n end\nend\n");
  TFixtureModule m(nullptr);
  m.ReadResource("TFIXTUREMODULERES");
  EXPECT_EQ(m.Name(), "Mod");
  EXPECT_NE(m.FindComponent("A"), nullptr);
  TFixtureModule other(nullptr);
  EXPECT_THROW(other.ReadResource("NoSuchResource"), EResNotFound);
}

TEST(PropertyTables, LookupIgnoresCaseAndSeesAncestors) {
  const TClassInfo& info = TFixtureSpecial::StaticClassInfo();
  EXPECT_EQ(info.ClassName(), "TFixtureSpecial");
  EXPECT_NE(info.FindProp("EXTRA"), nullptr);
  EXPECT_NE(info.FindProp("caption"), nullptr);
  EXPECT_NE(info.FindProp("name"), nullptr);  // from TComponent
  EXPECT_EQ(info.FindProp("Nothing"), nullptr);
  EXPECT_TRUE(info.InheritsFrom(&TComponent::StaticClassInfo()));
  EXPECT_EQ(FindClassInfo("tfixturespecial"), &info);
  EXPECT_EQ(info.AllProps().front()->Name, "Name");

  // A fresh item has the declared defaults; a changed one says which differ.
  TFixtureItem item(nullptr);
  EXPECT_EQ(PropsDifferingFromDefaults(&item), std::vector<std::string>{});
  item.SetShade(shRed);
  item.Info()->Font()->Height = 10;
  EXPECT_EQ(PropsDifferingFromDefaults(&item), (std::vector<std::string>{"Shade", "Info.Font.Height"}));
}

TEST(FormReader, ComponentFreedDuringLoadingIsNotTouchedAgain) {
  // A's Loaded frees B, whose Loaded then is not called; A's reference is
  // cleared through its Notification.
  Loaded l = Load("object X: TFixtureModule\n object A: TFixtureItem\n  Caption = 'FreeLink'\n  Link = B\n end\n"
                  " object B: TFixtureItem\n end\n object C: TFixtureItem\n end\nend\n");
  EXPECT_EQ(l.module->ComponentCount(), 2);
  EXPECT_EQ(l.Item("A")->Link(), nullptr);
  EXPECT_EQ(std::find(Log.begin(), Log.end(), "B.Loaded"), Log.end());
  EXPECT_EQ(l.Item("C")->LoadedCalls, 1);
}

TEST(FormReader, DescendantResourceSetsInheritedComponents) {
  Loaded l = Load("object X: TFixtureModule\n object A: TFixtureItem\n  Caption = 'base'\n end\nend\n");
  Log.clear();
  ReadComponentText(l.module.get(),
                    "inherited X: TFixtureModule\n inherited A: TFixtureItem\n  Count = 2\n  Link = B\n end\n"
                    " object B: TFixtureItem\n end\nend\n",
                    "TDERIVED");
  ASSERT_EQ(l.module->ComponentCount(), 2);
  TFixtureItem* a = l.Item("A");
  EXPECT_EQ(a->Caption(), "base");
  EXPECT_EQ(a->Count(), 2);
  EXPECT_EQ(a->Link(), l.Item("B"));
  EXPECT_EQ(a->LoadedCalls, 2);  // once per resource read
  EXPECT_EQ(LoadError("object X: TFixtureModule\n inherited Q: TFixtureItem\n end\nend\n").Detail,
            "Inherited component Q not found");
}

// A font size as a form may give it: any integer, but only those whose
// height is an integer too are taken.
TEST(PropertyTables, FontSizeIsRangeChecked) {
  TFont f;
  const TPropInfo* size = f.ClassInfo().FindProp("Size");
  ASSERT_NE(size, nullptr);
  size->SetInt(&f, 12);
  EXPECT_EQ(f.Height(), -16);
  for (long long huge : {2147483647LL, -2147483647LL - 1, 1700000000LL}) {
    EXPECT_THROW(size->SetInt(&f, huge), EPropertyError) << huge;
    EXPECT_EQ(f.Height(), -16);
  }
}
