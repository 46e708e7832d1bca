// The Borland environments, faked: their registry keys, folders, help
// contents and repository files, and a stand-in compiler that logs how it
// was started and exits with the code the test chose.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "classlib/FormReader.h"
#include "classlib/IniFiles.h"
#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "common/TestSupport.h"
#include "engine/cmp_TInstallContainer.h"
#include "engine/routines_BorlandEnvironment.h"
#include "engine/routines_ObjRepository.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_Registry.h"

using namespace testsupport;

namespace {
const char* const KnownKey = "\\Software\\Borland\\Delphi\\3.0\\Known Packages";
const char* const DisabledKey = "\\Software\\Borland\\Delphi\\3.0\\Disabled Packages";
const char* const LibraryKey = "\\Software\\Borland\\Delphi\\3.0\\Library";

// "name=value" of every value of a current-user key, sorted.
std::vector<std::string> Values(const std::string& Key) {
  TRegistry reg;
  std::vector<std::string> out;
  if (!reg.OpenKeyReadOnly(Key)) return out;
  TStringList names;
  reg.GetValueNames(&names);
  for (int i = 0; i < names.Count(); ++i) out.push_back(names[i] + "=" + reg.ReadString(names[i]));
  std::sort(out.begin(), out.end());
  return out;
}

// A file's sections, each as "[name]" followed by its "key=value" lines.
std::vector<std::string> IniContents(const std::string& File) {
  TIniFile ini(File);
  ini.UpdateFile();
  TStringList sections;
  ini.ReadSections(&sections);
  std::vector<std::string> out;
  for (int i = 0; i < sections.Count(); ++i) {
    out.push_back("[" + sections[i] + "]");
    TStringList values;
    ini.ReadSectionValues(sections[i], &values);
    for (int k = 0; k < values.Count(); ++k) out.push_back(values[k]);
  }
  return out;
}

void Touch(const std::string& Path) {
  ForceDirectories(ExtractFileDir(Path));
  WriteFileText(Path, "");
}

// An environment's folder with its program in BIN, registered as RootDir.
std::string FakeEnvironment(const std::string& Root, const std::string& Key, const std::string& Program) {
  Touch(Root + "\\BIN\\" + Program);
  ForceDirectories(Root + "\\HELP");
  WriteRVStr(hkLocalMachine, Key, "RootDir", Root);
  return Root;
}
}  // namespace

// The compiler's exit code decides: 0 registers the package and moves its
// folder to the end of the search path; 1 changes nothing. Either way the
// compiler sees the short form of the package path and runs in the
// package's folder, and our current folder comes back.
TEST(BorlandEnvironment, CompileRegistersOnlyWhenTheCompilerSucceeds) {
  for (int exitCode : {0, 1}) {
    SCOPED_TRACE(exitCode);
    const std::string top = ScratchDir("qd3");
    const std::string d3 = FakeEnvironment(top + "\\Delphi 3", "\\Software\\Borland\\Delphi\\3.0", "DELPHI32.EXE");
    const std::string bin = d3 + "\\BIN";
    CopyProgram("qnt_stub_tool.exe", bin, "DCC32.EXE");
    WriteFileText(bin + "\\DCC32.EXIT", IntToStr(exitCode));
    const std::string pkg = top + "\\Package Folder", old = top + "\\Old", keep = top + "\\Keep";
    Touch(pkg + "\\Qlnt32.DPK");
    Touch(old + "\\Qlnt32.DPK");
    Touch(old + "\\Quillant32.DPL");  // two reasons to go: taken off once
    Touch(keep + "\\Other.dpl");
    const std::string missing = top + "\\Gone";

    WriteRVStr(hkCurrentUser, KnownKey, old + "\\Quillant32.DPL", "older");
    WriteRVStr(hkCurrentUser, KnownKey, old + "\\QLNT32.dpl", "same name");
    WriteRVStr(hkCurrentUser, KnownKey, keep + "\\Other.dpl", "keep");
    WriteRVStr(hkCurrentUser, DisabledKey, old + "\\qlnt32.dpk", "");
    WriteRVStr(hkCurrentUser, DisabledKey, keep + "\\Other.dpl", "");
    WriteRVStr(hkCurrentUser, LibraryKey, "SearchPath", old + ";" + missing + ";" + keep);
    const auto knownBefore = Values(KnownKey), disabledBefore = Values(DisabledKey), libBefore = Values(LibraryKey);

    BorlandEnvironment->Initialize();
    ASSERT_TRUE(BorlandEnvironment->HasProduct(bpDelphi30));
    EXPECT_EQ(BorlandEnvironment->Delphi30Bin(), bin);
    EXPECT_EQ(BorlandEnvironment->Delphi30Help(), d3 + "\\HELP");
    TStringList older;
    older.Add("Quillant32.DPL");
    const std::string here = GetCurrentDir();
    const bool ok = CompileInstallDelphi3(pkg + "\\Qlnt32.DPK", "Qlnt32.DPL", "Quillant Installation Components", &older);
    EXPECT_EQ(GetCurrentDir(), here);
    EXPECT_EQ(ReadLines(bin + "\\DCC32.LOG"),
              (std::vector<std::string>{GetShortPath(pkg) + "\\Qlnt32.DPK", pkg}));
    if (exitCode == 0) {
      EXPECT_TRUE(ok);
      EXPECT_EQ(Values(KnownKey), (std::vector<std::string>{keep + "\\Other.dpl=keep",
                                                             pkg + "\\Qlnt32.DPL=Quillant Installation Components"}));
      EXPECT_EQ(Values(DisabledKey), (std::vector<std::string>{keep + "\\Other.dpl="}));
      EXPECT_EQ(Values(LibraryKey), (std::vector<std::string>{"SearchPath=" + missing + ";" + keep + ";" + pkg}));
    } else {
      EXPECT_FALSE(ok);
      EXPECT_EQ(Values(KnownKey), knownBefore);
      EXPECT_EQ(Values(DisabledKey), disabledBefore);
      EXPECT_EQ(Values(LibraryKey), libBefore);
    }
    DeleteKey(hkCurrentUser, "\\Software\\Borland");
    RemoveTree(top);
  }
}

// Without Delphi 3.0 nothing is compiled, registered or removed; the help
// contents of the environments there are linked, once, in any case.
TEST(BorlandEnvironment, HelpLinksAndTheAbsentDelphi3) {
  const std::string top = ScratchDir("qbcb");
  const std::string bcb = FakeEnvironment(top + "\\CBuilder", "\\Software\\Borland\\C++Builder\\1.0", "BCB.EXE");
  FakeEnvironment(top + "\\Delphi2", "\\Software\\Borland\\Delphi\\2.0", "DELPHI32.EXE");
  WriteFileText(bcb + "\\HELP\\BCB.CNT", ":Base bcb.hlp\r\n:LINK QLNT32.HLP\r\n");
  WriteRVStr(hkCurrentUser, "\\Software\\Borland\\Delphi\\3.0\\Palette", "Quillant", "x");
  WriteRVStr(hkCurrentUser, LibraryKey, "SearchPath", top);

  BorlandEnvironment->Initialize();
  EXPECT_EQ(BorlandEnvironment->Products(), BorlandProductBit(bpCBuilder10) | BorlandProductBit(bpDelphi20));
  TStringList tabs;
  tabs.Add("Quillant");
  EXPECT_FALSE(BorlandEnvironment->RemoveVCLTabs(bpDelphi30, &tabs));
  EXPECT_FALSE(BorlandEnvironment->RemoveVCLTabs(bpCBuilder10, &tabs));
  EXPECT_FALSE(CompileInstallDelphi3(top + "\\Qlnt32.DPK", "Qlnt32.DPL", "d", nullptr));
  EXPECT_EQ(Values("\\Software\\Borland\\Delphi\\3.0\\Palette"), (std::vector<std::string>{"Quillant=x"}));
  EXPECT_EQ(Values(LibraryKey), (std::vector<std::string>{"SearchPath=" + top}));
  EXPECT_TRUE(Values(KnownKey).empty());

  struct Row {
    TBorlandProduct product;
    const char* help;
    bool expected;
    std::vector<std::string> lines;  // of BCB.CNT afterwards
  } rows[] = {
      {bpCBuilder10, "qlnt32.hlp", true, {":Base bcb.hlp", ":LINK QLNT32.HLP"}},  // there in another case
      {bpCBuilder10, "other.hlp", true, {":Base bcb.hlp", ":LINK QLNT32.HLP", ":Link other.hlp"}},
      {bpDelphi30, "qlnt32.hlp", false, {":Base bcb.hlp", ":LINK QLNT32.HLP", ":Link other.hlp"}},
      {bpDelphi20, "qlnt32.hlp", false, {":Base bcb.hlp", ":LINK QLNT32.HLP", ":Link other.hlp"}},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(BorlandEnvironment->LinkIntoBorlandHelp(r.help, r.product), r.expected) << r.product << r.help;
    EXPECT_EQ(ReadLines(bcb + "\\HELP\\BCB.CNT"), r.lines) << r.product << r.help;
  }
  DeleteKey(hkCurrentUser, "\\Software\\Borland");
  DeleteKey(hkLocalMachine, "\\Software\\Borland");
  RemoveTree(top);
}

// Where each IDE's repository file is, and the refusals when it is nowhere.
TEST(ObjectRepository, SharedRepositoryFile) {
  const std::string top = ScratchDir("qdro");
  Touch(top + "\\Base\\DELPHI32.DRO");
  Touch(top + "\\BCB\\Bin\\BCB.DRO");
  WriteRVStr(hkCurrentUser, "\\Software\\Borland\\Delphi\\3.0\\repository", "BaseDir", top + "\\Base\\");
  WriteRVStr(hkLocalMachine, "\\Software\\Borland\\C++Builder\\1.0", "RootDir", top + "\\BCB");
  WriteRVStr(hkLocalMachine, "\\Software\\Borland\\Delphi\\2.0", "RootDir", top + "\\D2");
  EXPECT_EQ(GetSharedRepositoryFile(rtDelphi3x), top + "\\Base\\DELPHI32.DRO");
  EXPECT_EQ(GetSharedRepositoryFile(rtCBuilder1x), top + "\\BCB\\Bin\\BCB.DRO");
  try {
    GetSharedRepositoryFile(rtDelphi2x);
    ADD_FAILURE() << "no file, no error";
  } catch (const ECustomQuillantAbnormal& e) {
    EXPECT_EQ(e.Message, "Could not find the Object Repository file " + top + "\\D2\\Bin\\DELPHI32.DRO");
  }
  DeleteKey(hkLocalMachine, "\\Software\\Borland\\Delphi\\2.0");
  try {
    GetSharedRepositoryFile(rtDelphi2x);
    ADD_FAILURE() << "no IDE, no error";
  } catch (const ECustomQuillantAbnormal& e) {
    EXPECT_EQ(e.Message, "Could find the object repository because the HKEY_LOCAL_MACHINE\\Software\\Borland"
                         "\\Delphi\\2.0 | RootDir entry was blank in the registry");
  }
  DeleteKey(hkCurrentUser, "\\Software\\Borland");
  DeleteKey(hkLocalMachine, "\\Software\\Borland");
  RemoveTree(top);
}

// A unit's entries go in every folder; a longer name that merely contains
// it, the IDE's page list and a file of one section stay.
TEST(ObjectRepository, DeleteSameNameEntriesMatchesWholeNames) {
  const std::string top = ScratchDir("qdel");
  struct Row {
    std::string text, name;
    std::vector<std::string> sections;  // afterwards
  } rows[] = {
      {"[Repository Pages]\r\nQuillant=\r\n[C:\\A\\ordlg_Readme]\r\nName=a\r\n[D:\\B\\ORDLG_README]\r\nName=b\r\n"
       "[C:\\A\\ORDLG_README2]\r\nName=c\r\n[C:\\A\\MY_ORDLG_README]\r\nName=d\r\n",
       "ORDLG_README",
       {"Repository Pages", "C:\\A\\ORDLG_README2", "C:\\A\\MY_ORDLG_README"}},
      {"[Repository Pages]\r\nQuillant=\r\n[C:\\A\\Pages]\r\nName=a\r\n", "PAGES", {"Repository Pages"}},
      {"[Repository Pages]\r\nQuillant=\r\n", "REPOSITORY PAGES", {"Repository Pages"}},
      {"[C:\\A\\ORDLG_README]\r\nName=a\r\n", "ORDLG_README", {"C:\\A\\ORDLG_README"}},
  };
  int n = 0;
  for (const Row& r : rows) {
    const std::string file = top + "\\R" + IntToStr(++n) + ".DRO";
    WriteFileText(file, r.text);
    DeleteSameNameEntries(file, r.name);
    TIniFile ini(file);
    ini.UpdateFile();
    TStringList sections;
    ini.ReadSections(&sections);
    std::vector<std::string> got;
    for (int i = 0; i < sections.Count(); ++i) got.push_back(sections[i]);
    EXPECT_EQ(got, r.sections) << r.name;
  }
  RemoveTree(top);
}

namespace {
class TRepositoryModule : public TDataModule {
  QNT_PUBLISHED(TRepositoryModule, TDataModule)
public:
  explicit TRepositoryModule(TComponent* AOwner) : TDataModule(AOwner) { RegisterClasses<TInstallFile>(); }
};
QNT_PUBLISH(TRepositoryModule);

// Two units installed into Dest: Unit1 with entries for the IDEs marked in
// Register (its icon streamed as a forward reference), and its icon file,
// whose module leaves DestName out: it is installed under its FileName.
std::string ModuleText(const std::string& Dest, bool Delphi2, bool Delphi3, bool CBuilder, bool Raise) {
  auto entry = [&](const char* Ide, bool On) {
    const std::string p = std::string("    Repository.") + Ide + ".";
    return p + "RegisterIt = " + (On ? "True" : "False") + "\n" + p + "EntryName = 'Welcome'\n" + p +
           "EntryType = 'FormTemplate'\n" + p + "Page = 'Quillant'\n" + p + "Author = 'Pellitor'\n" + p +
           "Description = 'Displays a welcome dialog to the user'\n" + p + "IconFile = Icon1\n" + p +
           "RaiseExceptionOnFailure = " + (Raise ? "True" : "False") + "\n";
  };
  return "object RepositoryModule: TRepositoryModule\n"
         "  object Unit1: TInstallFile\n"
         "    DestName = 'ordlg_WelcomeDlg.pas'\n"
         "    DestDirType = ddAbsolute\n"
         "    DestDir = '" + Dest + "'\n" +
         entry("Delphi2", Delphi2) + entry("Delphi3", Delphi3) + entry("CBuilder", CBuilder) +
         "  end\n"
         "  object Icon1: TInstallFile\n"
         "    FileName = 'orbmp_TWelcomeForm.ico'\n"
         "    DestDirType = ddAbsolute\n"
         "    DestDir = '" + Dest + "\\Icons'\n"
         "  end\n"
         "end\n";
}
}  // namespace

// Streamed entries write the unit into each IDE whose entry is on, first
// removing its entries in other folders and nothing else; entries that are
// all off, or an IDE that is missing, touch nothing and stop nothing unless
// the entry asks to raise.
TEST(ObjectRepository, EntriesWriteTheirIdesOnly) {
  const std::string top = ScratchDir("qrep"), dest = top + "\\Dest";
  const std::string d3 = top + "\\D3\\Bin\\DELPHI32.DRO", bcb = top + "\\BCB\\Bin\\BCB.DRO";
  const std::string before =
      "[Repository Pages]\r\nForms=\r\n[C:\\Old\\ORDLG_WELCOMEDLG]\r\nName=old\r\n[C:\\Old\\ordlg_WelcomeDlg2]\r\nName=keep\r\n";
  const std::vector<std::string> untouched = {"[Repository Pages]", "Forms=", "[C:\\Old\\ORDLG_WELCOMEDLG]", "Name=old",
                                              "[C:\\Old\\ordlg_WelcomeDlg2]", "Name=keep"};
  const std::vector<std::string> written = {"[Repository Pages]", "Forms=", "Quillant=",
                                            "[C:\\Old\\ordlg_WelcomeDlg2]", "Name=keep",
                                            "[" + dest + "\\ordlg_WelcomeDlg]", "Name=Welcome", "Page=Quillant",
                                            "Type=FormTemplate", "Description=Displays a welcome dialog to the user",
                                            "Author=Pellitor", "Icon=" + dest + "\\Icons\\orbmp_TWelcomeForm.ico"};
  // Delphi 2.0 is not there at all.
  WriteRVStr(hkLocalMachine, "\\Software\\Borland\\Delphi\\3.0", "RootDir", top + "\\D3");
  WriteRVStr(hkLocalMachine, "\\Software\\Borland\\C++Builder\\1.0", "RootDir", top + "\\BCB");
  struct Row {
    bool delphi2, delphi3, cbuilder, raise, throws;
    std::vector<std::string> d3, bcb;
  } rows[] = {
      {false, false, false, true, false, untouched, untouched},
      {true, true, true, false, false, written, written},  // the missing Delphi 2.0 stops nothing
      {false, true, false, false, false, written, untouched},
      {true, false, false, true, true, untouched, untouched},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.delphi2 << r.delphi3 << r.cbuilder << r.raise);
    Touch(d3);
    Touch(bcb);
    WriteFileText(d3, before);
    WriteFileText(bcb, before);
    TRepositoryModule module(nullptr);
    ReadComponentText(&module, ModuleText(dest, r.delphi2, r.delphi3, r.cbuilder, r.raise), "TREPOSITORYMODULE");
    auto* unit = dynamic_cast<TInstallFile*>(module.FindComponent("Unit1"));
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->Repository()->Delphi3()->IconFile(), module.FindComponent("Icon1"));
    if (r.throws)
      EXPECT_THROW(unit->Repository()->Install(), ECustomQuillantAbnormal);
    else
      EXPECT_NO_THROW(unit->Repository()->Install());
    EXPECT_EQ(IniContents(d3), r.d3);
    EXPECT_EQ(IniContents(bcb), r.bcb);
  }
  DeleteKey(hkLocalMachine, "\\Software\\Borland");
  RemoveTree(top);
}

namespace {
// A file whose folder cannot be worked out for a reason of the runtime, not
// of the install.
class TFolderlessFile : public TInstallFile {
public:
  using TInstallFile::TInstallFile;
  std::string GetDestDir() override { throw std::runtime_error("no folder"); }
};
}  // namespace

// Any failure of an entry, whatever its kind, stops the install only when the
// entry asks to raise.
TEST(ObjectRepository, EveryFailurePassesOnlyWhenAsked) {
  const std::string top = ScratchDir("qrepx");
  Touch(top + "\\D3\\Bin\\DELPHI32.DRO");
  WriteRVStr(hkLocalMachine, "\\Software\\Borland\\Delphi\\3.0", "RootDir", top + "\\D3");
  for (bool raise : {false, true}) {
    SCOPED_TRACE(raise);
    TFolderlessFile file(nullptr);
    file.SetDestName("Unit1.pas");
    TObjectRepositoryEntry* entry = file.Repository()->Delphi3();
    entry->SetRegisterIt(true);
    entry->SetRaiseExceptionOnFailure(raise);
    if (raise)
      EXPECT_THROW(file.Repository()->Install(), std::runtime_error);
    else
      EXPECT_NO_THROW(file.Repository()->Install());
  }
  DeleteKey(hkLocalMachine, "\\Software\\Borland");
  RemoveTree(top);
}
