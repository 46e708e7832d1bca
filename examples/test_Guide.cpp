// The README's guide "Making a setup for your own product" against the code:
// its reference of what a module sets lists exactly the published properties
// of the classes an author places, with their types, as the classes' own
// tables publish them.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "classlib/Graphics.h"
#include "classlib/SysUtils.h"
#include "classlib/TypInfo.h"
#include "common/TestSupport.h"
#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallShellLink.h"
#include "engine/cmp_TUninstallEXE.h"
#include "wizard/dlgcmp_TBadInstallationDlg.h"
#include "wizard/dlgcmp_TChangeDiskDlg.h"
#include "wizard/dlgcmp_TCopyFile.h"
#include "wizard/dlgcmp_TInstallFileGroup.h"
#include "wizard/dlgcmp_TInstallStatusDlg.h"
#include "wizard/dlgcmp_TReboot.h"
#include "wizard/dlgcmp_TSelectFolder.h"
#include "wizard/dlgcmp_TSelectLanguage.h"
#include "wizard/dlgcmp_TWelcomeDlg.h"

using namespace testsupport;

namespace {
// A file of the source tree (Path from its root, with '/'), its line ends
// as LF.
std::string SourceFile(const std::string& Path) {
  return StringReplaceAll(ReadFileText("Z:" + StringReplaceAll(std::string(QNT_SOURCE_DIR) + "/" + Path, "/", "\\")),
                          "\r\n", "\n");
}
std::string Readme() { return SourceFile("README.md"); }

// The text between "## Title" and the next heading of that level.
std::string Section(const std::string& Text, const std::string& Title) {
  const size_t start = Text.find("\n## " + Title + "\n");
  if (start == std::string::npos) return "";
  const size_t end = Text.find("\n## ", start + 4);
  return Text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

// One class's table in the reference: its rows (name -> type, backticks
// dropped), the class whose rows it takes as well ("As `TOther`, ...") and
// the names it leaves out ("... without `A` and `B`": of those rows, or of
// its ancestors' tables).
struct TTable {
  std::map<std::string, std::string> Rows;
  std::string As;
  std::set<std::string> Without;
};

std::vector<std::string> Quoted(const std::string& Line) {
  std::vector<std::string> r;
  for (size_t a = Line.find('`'); a != std::string::npos; a = Line.find('`', a)) {
    const size_t b = Line.find('`', a + 1);
    if (b == std::string::npos) break;
    r.push_back(Line.substr(a + 1, b - a - 1));
    a = b + 1;
  }
  return r;
}

// The "### `TClass`..." subsections of the reference.
std::map<std::string, TTable> ReferenceTables(const std::string& Section) {
  std::map<std::string, TTable> r;
  std::istringstream in(Section);
  std::string line, current;
  while (std::getline(in, line)) {
    if (line.rfind("### `", 0) == 0) {
      current = Quoted(line)[0];
      r[current];
    } else if (line.rfind("### ", 0) == 0) {
      current.clear();  // a subsection of no class (the enumerations)
    } else if (current.empty()) {
      continue;
    } else if (line.rfind("| `", 0) == 0) {
      std::vector<std::string> cells;
      std::istringstream row(line.substr(1));
      for (std::string cell; std::getline(row, cell, '|');) cells.push_back(Trim(cell));
      if (cells.size() >= 3) r[current].Rows[StringReplaceAll(cells[0], "`", "")] = StringReplaceAll(cells[1], "`", "");
    } else if (line.rfind("As `", 0) == 0 || line.rfind("Without `", 0) == 0) {
      const std::vector<std::string> names = Quoted(line);
      const size_t without = LowerCase(line).find("without");
      if (line.rfind("As `", 0) == 0) r[current].As = names[0];
      for (const std::string& n : Quoted(line.substr(without == std::string::npos ? line.size() : without)))
        r[current].Without.insert(n);
    }
  }
  return r;
}

// The type of a property as the reference writes it.
std::string TypeText(const TPropInfo& p, TPersistent* Instance) {
  switch (p.Kind) {
    case pkString: return "String";
    case pkInteger: return "Integer";
    case pkBoolean: return "Boolean";
    case pkFloat: return "Float";
    case pkEnum: return p.Enum->TypeName;
    case pkSet: return "set of " + p.Enum->TypeName;
    case pkStrings: return "lines";
    case pkBinary: return "bytes";
    case pkEvent: return "event";
    case pkComponent: return "component";
    case pkObject: {
      TPersistent* nested = Instance ? p.GetNested(Instance) : nullptr;
      if (dynamic_cast<TPicture*>(nested)) return "TPicture";  // a bitmap, set in code
      return nested ? nested->ClassInfo().ClassName() : "object";
    }
  }
  return "?";
}

// The published names of a class, each with the table entry that counts.
std::map<std::string, const TPropInfo*> Effective(const TClassInfo& C) {
  std::map<std::string, const TPropInfo*> r;
  for (const TPropInfo* p : C.AllProps()) r[p->Name] = C.FindProp(p->Name);
  return r;
}
}  // namespace

// Every class an author places, and the nested objects it publishes, has a
// table in the README's reference. A table lists what its class publishes
// beyond its nearest ancestor that has a table of its own (TComponent's
// Name is the object's name in the text): every name, none more, with its
// type; a component reference names a class of the module.
TEST(Guide, ReferenceListsEveryPublishedPropertyWithItsType) {
  const std::string reference = Section(Readme(), "Reference: what a module sets");
  const auto tables = ReferenceTables(reference);
  ASSERT_FALSE(tables.empty()) << "README.md has no section \"Reference: what a module sets\"";

  std::unique_ptr<TDataModule> owner(new TDataModule(nullptr));
  std::vector<const TClassInfo*> placed = {
      &TInstall::StaticClassInfo(),          &TInstallFileGroup::StaticClassInfo(),
      &TInstallFile::StaticClassInfo(),      &TUninstallEXE::StaticClassInfo(),
      &TMainLinkGroup::StaticClassInfo(),    &TInstallMainLink::StaticClassInfo(),
      &TInstallShellLink::StaticClassInfo(), &TDialogManager::StaticClassInfo(),
      &TWelcomeDlg::StaticClassInfo(),       &TInstallFileGroupsDlg::StaticClassInfo(),
      &TSelectFolderDlg::StaticClassInfo(),  &TCopyFileDlg::StaticClassInfo(),
      &TInstallStatusDlg::StaticClassInfo(), &TChangeDiskDlg::StaticClassInfo(),
      &TRebootDlg::StaticClassInfo(),        &TBadInstallationDlg::StaticClassInfo(),
      &TSelectLanguageDlg::StaticClassInfo()};
  // Instances show the classes of nested objects, which in turn are placed
  // (set as Outer.Inner) when they publish anything.
  std::map<const TClassInfo*, TPersistent*> instances;
  for (const TClassInfo* c : placed) instances[c] = c->Creator()(owner.get());
  for (size_t i = 0; i < placed.size(); ++i)
    for (const auto& [name, p] : Effective(*placed[i]))
      if (p->Kind == pkObject && instances[placed[i]])
        if (TPersistent* nested = p->GetNested(instances[placed[i]]))
          if (!nested->ClassInfo().AllProps().empty() && !instances.count(&nested->ClassInfo())) {
            placed.push_back(&nested->ClassInfo());
            instances[&nested->ClassInfo()] = nested;
          }

  // The README's tables of ancestors (the properties every install object
  // has, say) are checked alike, with the instance of a class placed.
  for (const auto& [name, rows] : tables) {
    const TClassInfo* c = FindClassInfo(name);
    if (!c) {
      ADD_FAILURE() << "the README has a table for " << name << ", which is no class";
      continue;
    }
    if (instances.count(c)) continue;
    TPersistent* instance = nullptr;
    for (const auto& [other, o] : instances)
      if (!instance && other->InheritsFrom(c)) instance = o;
    placed.push_back(c);
    instances[c] = instance;
  }

  std::string missing;  // rows to paste into the README
  std::set<const TEnumInfo*> enums;
  for (const TClassInfo* c : placed) {
    SCOPED_TRACE(c->ClassName());
    auto table = tables.find(c->ClassName());
    if (table == tables.end()) {
      ADD_FAILURE() << "no table for " << c->ClassName();
      continue;
    }
    // The rows it lists, with those it takes from another table.
    std::map<std::string, std::string> rows = table->second.Rows;
    std::set<std::string> hidden = table->second.Without;
    if (!table->second.As.empty()) {
      auto other = tables.find(table->second.As);
      ASSERT_NE(other, tables.end()) << "no table for " << table->second.As;
      for (const auto& [name, type] : other->second.Rows)
        if (hidden.erase(name) == 0) rows.insert({name, type});
    }
    const TClassInfo* base = c->Parent();
    while (base && !tables.count(base->ClassName()) && base != &TComponent::StaticClassInfo()) base = base->Parent();
    const auto own = Effective(*c), inherited = base ? Effective(*base) : decltype(own){};
    const std::string beyond = base ? base->ClassName() : "nothing";
    for (const auto& [name, p] : own) {
      auto i = inherited.find(name);
      if (name == "Name" || (i != inherited.end() && i->second == p)) continue;
      const std::string type = TypeText(*p, instances[c]);
      if (p->Kind == pkEnum || p->Kind == pkSet) enums.insert(p->Enum);
      auto row = rows.find(name);
      if (row == rows.end()) {
        missing += "| `" + name + "` | " + type + " | |   (" + c->ClassName() + ")\n";
        ADD_FAILURE() << name << " is published but not listed";
        continue;
      }
      if (type == "component")
        EXPECT_NE(FindClassInfo(row->second), nullptr) << name << ": " << row->second << " is no class";
      else
        EXPECT_EQ(row->second, type) << name;
      rows.erase(row);
    }
    for (const auto& [name, type] : rows)
      ADD_FAILURE() << name << " is listed, but " << c->ClassName() << " does not publish it beyond " << beyond;
    // What it takes out of its ancestors' properties.
    for (const auto& [name, p] : inherited)
      if (!own.count(name) && hidden.erase(name) == 0)
        ADD_FAILURE() << c->ClassName() << " does not publish " << beyond << "'s " << name << ": say so (\"without\")";
    for (const std::string& name : hidden) ADD_FAILURE() << name << " is said to be left out, but is there";
  }
  if (!missing.empty()) std::printf("%s", missing.c_str());

  // Every value of each enumeration those tables name, under its own heading.
  const size_t at = reference.find("\n### Enumerations\n");
  ASSERT_NE(at, std::string::npos) << "the reference has no subsection \"Enumerations\"";
  const std::string values = reference.substr(at);
  for (const TEnumInfo* e : enums)
    for (const std::string& name : e->Names)
      EXPECT_NE(values.find("`" + name + "`"), std::string::npos)
          << e->TypeName << "'s value " << name << " is not listed";
}

// The guide's texts of the examples are theirs: a fenced block after a line
// "<!-- the file P -->" is that file of the tree, one after "<!-- part of P -->"
// is lines of it, in one piece; so the snippets paste into the examples.
TEST(Guide, ExampleTextsAreTheExamplesOwn) {
  const std::string readme = Readme();
  std::set<std::string> checked;
  for (size_t at = readme.find("\n<!-- "); at != std::string::npos; at = readme.find("\n<!-- ", at + 1)) {
    const size_t end = readme.find(" -->\n", at);
    if (end == std::string::npos) break;
    const std::string marker = readme.substr(at + 6, end - at - 6);
    const bool whole = marker.rfind("the file ", 0) == 0, part = marker.rfind("part of ", 0) == 0;
    if (!whole && !part) continue;
    const std::string path = marker.substr(whole ? 9 : 8);
    SCOPED_TRACE(marker);
    const size_t open = end + 5;
    ASSERT_EQ(readme.compare(open, 3, "```"), 0) << "no fenced block after the marker";
    const size_t body = readme.find('\n', open) + 1, close = readme.find("\n```\n", body - 1);
    ASSERT_NE(close, std::string::npos);
    const std::string block = readme.substr(body, close + 1 - body), file = SourceFile(path);
    ASSERT_FALSE(file.empty()) << path << " is not there";
    if (whole)
      EXPECT_EQ(block, file);
    else
      EXPECT_TRUE(("\n" + file).find("\n" + block) != std::string::npos) << block << "is not in " << path;
    checked.insert(path);
  }
  // The examples' modules, the program and the page lines among them.
  for (const char* path : {"examples/making-a-setup/NotesModule.txt", "examples/making-a-setup/NotesSetup.cpp",
                           "examples/complete-example/JournalModule.txt", "examples/complete-example/JournalSetup.cpp"})
    EXPECT_TRUE(checked.count(path)) << path << " is shown without a marker";
}
