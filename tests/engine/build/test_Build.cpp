// The distribution build: the packing rules, setup.exe with its trailer,
// setup.1 and files.1, filelist.lst, and what a failed or repeated build
// leaves behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <thread>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/PageRunner.h"
#include "common/TestSupport.h"
#include "engine/build/BuildRig.h"
#include "foundation/archive/lzhFormat.h"
#include "foundation/routines/routines_Registry.h"

using namespace testsupport;

namespace buildtest {

TRig::TRig(TDistributeType Type) {
  Module = new TDataModule(nullptr);
  Install = new TInstall(Module);
  Install->SetName("Install1");
  Install->SetRunAutomatic(false);
  static_cast<TComponent*>(Install)->SetState(csLoading);
  Install->SetDistributeType(Type);
  Install->ClearState(csLoading);
  Install->SetDestDirType(ddAbsolute);
  Install->SetDestDir("c:\\qntdest");
  Install->LoginInformation()->SetHostname("ftp.example.com");
  Install->LoginInformation()->SetDirectory("/pub/app");
  Group = new TInstallFileGroup(Module);
  Group->SetName("Group1");
  Group->SetContainer(Install);
  Source = ScratchDir("src");
}

TRig::~TRig() {
  delete Module;
  RemoveTree(Source);
}

TInstallFile* TRig::AddFile(const std::string& Name, const std::string& Content, const std::string& Component) {
  WriteFileText(Source + "\\" + Name, Content);
  auto* f = new TInstallFile(Module);
  f->SetName(Component);
  f->SetIncludeFromDir(Source);
  f->SetFileName(Name);
  f->SetContainer(Group);
  return f;
}

std::string MakeProductFolder() {
  const std::string dir = ScratchDir("product");
  WriteFileText(dir + "\\Q32V25B0001.TXT", "");
  CopyProgram("QuillantLoadProgram.exe", dir, "QuillantLoadProgram.exe");
  WriteRVStr(hkCurrentUser, "\\Software\\Borland\\Delphi\\3.0\\Library", "SearchPath", "c:\\nowhere;" + dir);
  return dir;
}

std::vector<std::string> Entries(const std::string& Archive, int32_t Offset) {
  TQlntCompress c(nullptr);
  c.SetCompressedFile(Archive);
  c.SetOffset(Offset);
  c.ReadInformation();
  std::vector<std::string> names;
  for (int i = 0; i < c.FileHeaders()->Count(); ++i)
    names.push_back(ExtractFileName(c.FileHeaders()->FileHeaders(i)->Data.FileName));
  return names;
}

std::string Bytes(const std::string& Path) { return ReadFileText(Path); }

std::map<std::string, std::string> Tree(const std::string& Dir, const std::string& Rel) {
  std::map<std::string, std::string> files;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((Dir + Rel + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return files;
  do {
    const std::string name = fd.cFileName, rel = Rel + "\\" + name;
    if (name == "." || name == "..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      files.merge(Tree(Dir, rel));
    else
      files[rel] = Bytes(Dir + rel);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return files;
}
std::string Slice(const std::string& S, int32_t First, int32_t Last) {
  return S.substr(static_cast<size_t>(First), static_cast<size_t>(Last - First + 1));
}

}  // namespace buildtest

using namespace buildtest;

TEST(Packing, RulesAndSettingsPutBack) {
  TRig rig;
  const std::string out = ScratchDir("pack");
  TInstallFile* shared = rig.AddFile("A.TXT", "aaaa", "FileA");
  TInstallFile* own = rig.AddFile("B.TXT", "bbbb", "FileB");
  own->SetArchiveFileType(ddAbsolute);
  own->SetArchiveFile("c:\\windows\\own.1");
  TInstallFile* excluded = rig.AddFile("C.TXT", "cccc", "FileC");
  excluded->SetInclude(false);
  rig.Install->SetArchiveFileType(ddAbsolute);
  rig.Install->SetArchiveFile(out + "\\files.1");
  EXPECT_THROW(rig.Install->Compress(CompressOptionBit(coForceNetFilesLocal) | CompressOptionBit(coForceFilesNet)),
               IEFileContainer);

  // Under coForceDirectory an own archive lands under the build folder,
  // mirroring its path; coIncludeAll packs the excluded file too.
  const TCompressOptionsSet build = CompressOptionBit(coIncludeAll) | CompressOptionBit(coForceDirectory) |
                                    CompressOptionBit(coForceNetFilesLocal);
  TLoginInformation savedLogin;
  savedLogin.Assign(DefaultNetLocation->LoginInformation());
  DefaultNetLocation->LoginInformation()->SetHostname("ftp.example.com");
  DefaultNetLocation->LoginInformation()->SetDirectory("/pub/q");
  for (int pass = 0; pass < 2; ++pass) {  // a second build gives the same archives
    rig.Install->Compress(build);
    EXPECT_EQ(Entries(out + "\\files.1"), Names({"A.TXT", "C.TXT"}));
    EXPECT_EQ(Entries(out + "\\windows\\own.1"), Names({"B.TXT"}));
  }
  // Each container names the network archive the build gave it.
  for (TFileContainer* c : std::initializer_list<TFileContainer*>{rig.Install, rig.Group})
    EXPECT_EQ(c->NetArchiveFile(), out + "\\ftp.example.com\\-pub-q\\" + c->Name() + ".1");
  DefaultNetLocation->LoginInformation()->Assign(&savedLogin);
  EXPECT_EQ(own->ArchiveFileType(), ddAbsolute);
  EXPECT_EQ(own->ArchiveFile(), "c:\\windows\\own.1");
  EXPECT_EQ(shared->ArchiveFileType(), ddContainerArchiveFile);
  EXPECT_FALSE(excluded->Include());

  // coForceOneFile: everything into the one archive, settings unchanged after.
  rig.Install->Compress(CompressOptionBit(coForceOneFile) | CompressOptionBit(coForceNetFilesLocal));
  EXPECT_EQ(Entries(out + "\\files.1"), Names({"A.TXT", "B.TXT"}));
  EXPECT_EQ(own->ArchiveFile(), "c:\\windows\\own.1");

  // A failing child: its settings come back and the children after it are not packed.
  own->SetOnBeforeCompress([](TInstallObject*) { throw Exception("stop", {}); });
  EXPECT_ANY_THROW(rig.Install->Compress(build));
  EXPECT_EQ(own->ArchiveFile(), "c:\\windows\\own.1");
  EXPECT_EQ(own->AddToArchive(), lzcOverwrite);
  EXPECT_EQ(Entries(out + "\\files.1"), Names({"A.TXT"}));
  EXPECT_EQ(rig.Install->State(), fcsNone);

  // Writing State packs with no options (local files here).
  for (TInstallFile* f : {shared, own, excluded}) f->SetNet(false);
  own->SetOnBeforeCompress(nullptr);
  own->SetInclude(false);
  RemoveFile(out + "\\files.1");
  QlntCompress->SetAbort(false);  // the failure above stopped the archive's work ahead
  EXPECT_NO_THROW(rig.Group->SetState(fcsCompress));
  EXPECT_EQ(Entries(out + "\\files.1"), Names({"A.TXT"}));
  EXPECT_EQ(rig.Group->State(), fcsNone);
  RemoveTree(out);
}

TEST(Build, StandAloneSetupExeHoldsBothArchivesAndItsTrailer) {
  TRig rig;
  const std::string product = MakeProductFolder();
  const std::string out = ScratchDir("build");
  rig.AddFile("A.TXT", std::string(5000, 'a'), "FileA");
  rig.AddFile("B.TXT", "b", "FileB");
  const std::string setupProgram = rig.Source + "\\Quillant20.exe";
  WriteFileText(setupProgram, "MZ setup program");
  WriteFileText(rig.Source + "\\presetup.txt", "pre");
  rig.Install->PresetupFiles()->Add("presetup.txt");
  const std::string savedArchive = rig.Install->ArchiveFile();

  for (int pass = 0; pass < 2; ++pass) {  // building twice gives no duplicate entries
    rig.Install->BuildDistributables(setupProgram, out, true);
    const std::string exe = Bytes(out + "\\setup.exe"), setup1 = Bytes(out + "\\setup.1"),
                      files1 = Bytes(out + "\\files.1");
    const std::string loader = Bytes(product + "\\QuillantLoadProgram.exe");
    ASSERT_EQ(exe.size(), loader.size() + setup1.size() + files1.size() + lzh::kTrailerSize);
    const lzh::TSelfExtractInfo t =
        lzh::DecodeTrailer(reinterpret_cast<const uint8_t*>(exe.data() + exe.size() - lzh::kTrailerSize));
    EXPECT_TRUE(lzh::IsSelfExtracting(t));
    EXPECT_EQ(exe.substr(0, loader.size()), loader);
    EXPECT_EQ(t.Setup1StartOffset, static_cast<int32_t>(loader.size()));
    EXPECT_EQ(Slice(exe, t.Setup1StartOffset, t.Setup1EndOffset), setup1);
    EXPECT_EQ(Slice(exe, t.Files1StartOffset, t.Files1EndOffset), files1);
    // The setup program stays the first entry of setup.1.
    EXPECT_EQ(Entries(out + "\\setup.1"), Names({"Quillant20.exe", "presetup.txt"}));
    EXPECT_EQ(Entries(out + "\\setup.exe", t.Files1StartOffset), Names({"A.TXT", "B.TXT"}));
    EXPECT_FALSE(DirectoryExists(out + "\\build.partial"));
    EXPECT_FALSE(FileExists(out + "\\ftp.example.com\\-pub-app\\filelist.lst"));
  }
  EXPECT_EQ(rig.Install->ArchiveFileType(), ddInstallSourceDir);
  EXPECT_EQ(rig.Install->ArchiveFile(), savedArchive);

  // A build that fails half way leaves the last one as it was.
  const auto last = Tree(out);
  RemoveFile(rig.Source + "\\B.TXT");
  EXPECT_ANY_THROW(rig.Install->BuildDistributables(setupProgram, out, true));
  EXPECT_TRUE(Tree(out) == last);
  EXPECT_EQ(rig.Install->ArchiveFile(), savedArchive);
  RemoveTree(out);
  RemoveTree(product);
}

namespace {
// The build fails at the end of adding the entry named Entry.
void FailAfterAdding(const char* Entry) {
  QlntCompress->SetOnAfterAdding([Entry](TQlntCompress*, const TlzhFileStats& St) {
    if (ExtractFileName(St.IFName) == Entry) throw IEInstall("the disk went away");
  });
}

// A file of the group at Path (its folder made), under the component name LongFile.
TInstallFile* AddFileAt(TRig& Rig, const std::string& Path) {
  ForceDirectories(ExtractFileDir(Path));
  WriteFileText(Path, "the file the author named");
  auto* f = new TInstallFile(Rig.Module);
  f->SetName("LongFile");
  f->SetIncludeFromDir(ExtractFileDir(Path));
  f->SetFileName(ExtractFileName(Path));
  f->SetContainer(Rig.Group);
  return f;
}
}  // namespace

// A build that fails, wherever it fails, leaves the build folder as the
// last good build left it, byte for byte (none of its own files cut off or
// put in place, nothing under a private name), names its files as the build
// folder knows them, and leaves no temporary file of its packing.
TEST(Build, AFailedBuildLeavesNoArchiveCutOff) {
  TRig rig;
  const std::string product = MakeProductFolder();
  const std::string out = ScratchDir("failing");
  rig.AddFile("A.TXT", std::string(300000, 'a'), "FileA");
  rig.AddFile("B.TXT", "b", "FileB");
  const std::string setupProgram = rig.Source + "\\Quillant20.exe";
  WriteFileText(setupProgram, "MZ setup program");
  rig.Install->PresetupFiles()->Add("presetup.txt");
  const Names before = FileNamesMatching(TempDir() + "bat*.tmp");
  // A source path longer than an entry's name, with a file at the path cut
  // to that length.
  const std::string longPath =
      rig.Source + "\\" + std::string(80 - rig.Source.size() - 1, 'd') + "\\" + std::string(30, 'N');
  TInstallFile* longFile = nullptr;
  HANDLE held = INVALID_HANDLE_VALUE;
  struct {
    const char* What;
    bool StandAlone;
    std::function<void()> Break;
    std::string Says;
  } rows[] = {
      {"packing setup.1", true, [] { FailAfterAdding("Quillant20.exe"); }, "the disk went away"},
      {"packing files.1", true, [] { FailAfterAdding("A.TXT"); }, "the disk went away"},
      {"packing files.1 not stand-alone", false, [] { FailAfterAdding("A.TXT"); }, "the disk went away"},
      {"before the loader is found", true,
       [] { WriteRVStr(hkCurrentUser, "\\Software\\Borland\\Delphi\\3.0\\Library", "SearchPath", "c:\\nowhere"); },
       "key in the registry is either missing"},
      {"creating files.1", true,
       [&] {
         rig.Install->SetOnBeforeBuildFiles1([&](TObject*) { ForceDirectories(out + "\\build.partial\\files.1"); });
       },
       "Cannot create the file " + out + "\\files.1"},
      {"at a source path longer than an entry's name", true,
       [&] {
         longFile = AddFileAt(rig, longPath);
         WriteFileText(longPath.substr(0, 100), "another file");
       },
       "The source path of the component LongFile cannot be packed: it is longer than the 100 characters an archive "
       "keeps of a file's name (a letter beyond ASCII counts as two to four): " +
           longPath},
      {"putting setup.exe in place", true,
       [&] {
         held = CreateFileA((out + "\\setup.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
       },
       "Cannot replace the file " + out + "\\setup.exe"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.What);
    WriteFileText(rig.Source + "\\presetup.txt", "pre");
    rig.Install->BuildDistributables(setupProgram, out, row.StandAlone);
    const auto last = Tree(out);
    // What this build would write differs from the last one.
    WriteFileText(rig.Source + "\\presetup.txt", std::string("pre ") + row.What);
    WriteFileText(rig.Source + "\\A.TXT", std::string(300000, 'A') + row.What);
    row.Break();
    try {
      rig.Install->BuildDistributables(setupProgram, out, row.StandAlone);
      ADD_FAILURE() << "built";
    } catch (const Exception& e) {
      EXPECT_NE(e.Message.find(row.Says), std::string::npos) << e.Message;
      EXPECT_EQ(e.Message.find("build.partial"), std::string::npos) << e.Message;
    }
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    held = INVALID_HANDLE_VALUE;
    QlntCompress->SetOnAfterAdding(nullptr);
    QlntCompress->SetAbort(false);
    rig.Install->SetOnBeforeBuildFiles1(nullptr);
    delete longFile;
    longFile = nullptr;
    WriteRVStr(hkCurrentUser, "\\Software\\Borland\\Delphi\\3.0\\Library", "SearchPath", product);
    EXPECT_TRUE(Tree(out) == last);
    EXPECT_EQ(FileNamesMatching(TempDir() + "bat*.tmp"), before);
  }
  RemoveTree(out);
  RemoveTree(product);
}

// A build killed while it put its whole files in place (its list written)
// is finished by the next build, even by one that fails: the build folder
// holds the killed build's files, and of the own names only those it made.
// A stage without the list is a killed build's half and goes.
TEST(Build, AKilledBuildsWholeFilesArePutInPlaceByTheNext) {
  TRig rig;
  const std::string product = MakeProductFolder();
  const std::string out = ScratchDir("finish");
  rig.AddFile("A.TXT", "a", "FileA");
  const std::string setupProgram = rig.Source + "\\Quillant20.exe";
  WriteFileText(setupProgram, "MZ setup program");
  rig.Install->BuildDistributables(setupProgram, out, true);
  const auto last = Tree(out);
  const std::string stage = out + "\\build.partial";
  for (bool listed : {false, true}) {
    SCOPED_TRACE(listed ? "listed" : "not listed");
    ForceDirectories(stage + "\\sub");
    WriteFileText(stage + "\\setup.exe", "killed build's setup.exe");
    WriteFileText(stage + "\\sub\\own.1", "killed build's own archive");
    if (listed) WriteFileText(stage + "\\~whole.lst", "\\setup.exe\r\n\\sub\\own.1\r\n");
    rig.Install->SetOnBeforeBuildFiles1([](TObject*) { throw IEInstall("stop"); });
    EXPECT_THROW(rig.Install->BuildDistributables(setupProgram, out, true), IEInstall);
    rig.Install->SetOnBeforeBuildFiles1(nullptr);
    auto expected = last;
    if (listed) {
      expected = {{"\\setup.exe", "killed build's setup.exe"}, {"\\sub\\own.1", "killed build's own archive"}};
    }
    EXPECT_TRUE(Tree(out) == expected);
  }
  RemoveTree(out);
  RemoveTree(product);
}

namespace {
// The first visible dialog box of this process, or nullptr.
BOOL CALLBACK FindOwnBox(HWND W, LPARAM L) {
  DWORD pid = 0;
  wchar_t cls[16] = L"";
  GetWindowThreadProcessId(W, &pid);
  GetClassNameW(W, cls, 16);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(W) || lstrcmpW(cls, L"#32770") != 0) return TRUE;
  *reinterpret_cast<HWND*>(L) = W;
  return FALSE;
}

// Whether every static text of Box fits inside its control, drawn as the
// control draws it (its font, broken at words): a text that needs a wider
// or taller rectangle runs past the box's edge.
bool TextsFit(HWND Box, std::string& Why) {
  for (HWND c = GetWindow(Box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[16] = L"";
    GetClassNameW(c, cls, 16);
    if (lstrcmpiW(cls, L"Static") != 0 || GetWindowTextLengthW(c) == 0) continue;
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(c)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(c, text.data(), static_cast<int>(text.size()))));
    RECT client{};
    GetClientRect(c, &client);
    HDC dc = GetDC(c);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(c, WM_GETFONT, 0, 0)));
    RECT need = client;
    DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(c, dc);
    if (need.right > client.right || need.bottom > client.bottom) {
      Why = Narrow(text) + ": needs " + std::to_string(need.right) + "x" + std::to_string(need.bottom) + ", has " +
            std::to_string(client.right) + "x" + std::to_string(client.bottom);
      return false;
    }
  }
  return true;
}
}  // namespace

// A *BUILD whose install file lacks its source says which component and
// which file, and its box shows the whole text.
TEST(Build, AFailedBuildsBoxNamesTheComponentAndTheFile) {
  TRig rig;
  const std::string product = MakeProductFolder();
  const std::string out = ScratchDir("boxbuild");
  rig.AddFile("A.TXT", "a", "FileA");
  // A file deep in folders of long names, as a product's tree holds them.
  TInstallFile* readme = rig.AddFile("ReadMeOfTheProductWithALongName.TXT", "b", "ReadMeFile");
  readme->SetIncludeFromDir(rig.Source + "\\Documentation of the product\\Release notes and licences");
  const std::string missing = readme->IncludeFromDir() + "\\ReadMeOfTheProductWithALongName.TXT";
  const std::string inf = BinDir() + "\\BUILD.INF";
  WriteFileText(inf, out + "\r\n");
  std::string shown, why;
  bool fits = false;
  std::atomic<bool> done{false};
  std::thread answer([&] {
    HWND box = nullptr;
    for (int i = 0; i < 600 && !done && !box; ++i) {
      EnumWindows(FindOwnBox, reinterpret_cast<LPARAM>(&box));
      if (!box) Sleep(50);
    }
    if (!box) return;
    Sleep(300);
    shown = StaticTexts(box);
    fits = TextsFit(box, why);
    if (const char* dir = std::getenv("QNT_SCREENSHOTS"); dir && *dir)
      Screenshot(box, std::string(dir) + "/build-error-box.png");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  rig.Install->ProcessBuildParam();
  done = true;
  answer.join();
  RemoveFile(inf);
  EXPECT_NE(shown.find("ReadMeFile"), std::string::npos) << shown;
  EXPECT_NE(shown.find(missing), std::string::npos) << shown;
  EXPECT_EQ(shown.find(" :"), std::string::npos) << shown;
  EXPECT_TRUE(fits) << why;
  RemoveTree(out);
  RemoveTree(product);
}

// A controller used without the loader: its own folder is the source, a
// build copies the setup program itself beside files.1, and a stand-alone
// setup.exe, which needs the loader, is refused.
TEST(Build, WithoutTheLoader) {
  TRig rig;
  rig.AddFile("A.TXT", "aaaa", "FileA");
  rig.Install->SetUseLoadingProgram(false);
  rig.Install->SetSourceDir("c:\\elsewhere");
  rig.Install->ReadLoadingInformation();
  EXPECT_TRUE(SameText(rig.Install->SourceDir(), ExtractFileDir(ParamStr(0))));
  const std::string setupProgram = rig.Source + "\\Quillant20.exe";
  WriteFileText(setupProgram, "MZ setup program");
  std::vector<std::string> events;
  rig.Install->SetOnBeforeCopyingEXE([&](TObject*) { events.push_back("before"); });
  rig.Install->SetOnAfterCopyingEXE([&](TObject*) { events.push_back("after"); });
  const std::string out = ScratchDir("noloader");
  try {
    rig.Install->BuildDistributables(setupProgram, out, true);
    ADD_FAILURE() << "a stand-alone build without the loader";
  } catch (const IEInstall& e) {
    EXPECT_EQ(e.Message,
              "Cannot build a stand alone executable if the UseLoadingProgram property of the TInstall is set to False");
  }
  EXPECT_TRUE(events.empty());
  rig.Install->BuildDistributables(setupProgram, out + "\\sub", false);
  EXPECT_EQ(events, (std::vector<std::string>{"before", "after"}));
  EXPECT_EQ(Bytes(out + "\\sub\\Quillant20.exe"), "MZ setup program");
  EXPECT_EQ(Entries(out + "\\sub\\files.1"), Names({"A.TXT"}));
  EXPECT_FALSE(FileExists(out + "\\sub\\setup.1"));
  EXPECT_FALSE(FileExists(out + "\\sub\\setup.exe"));
  RemoveTree(out);
}

TEST(Build, WebBuildWritesContainerArchivesAndTheFileList) {
  TRig rig(dtWeb);
  const std::string product = MakeProductFolder();
  const std::string out = ScratchDir("web");
  const std::string setupProgram = rig.Source + "\\Quillant20.exe";
  WriteFileText(setupProgram, "MZ");
  TInstallFile* a = rig.AddFile("A.TXT", "aaa", "FileA");
  a->SetNet(false);  // dtWeb sends every file over the net
  TInstallFile* v = rig.AddFile("V.TXT", "vvvvv", "FileWithOwnArchive");
  v->SetOverwriteMode(owDate);  // an archive of its own
  const std::string net = out + "\\ftp.example.com\\-pub-app";
  for (int pass = 0; pass < 2; ++pass) {  // the own archive is rewritten, never appended to
    rig.Install->BuildDistributables(setupProgram, out, true);
    EXPECT_EQ(Entries(net + "\\Group1.1"), Names({"A.TXT"}));
    EXPECT_EQ(Entries(net + "\\FileWithOwnArchive.1"), Names({"V.TXT"}));
  }
  EXPECT_TRUE(a->CompressInfo().AddedAsNet);
  EXPECT_EQ(a->CompressInfo().Server, "ftp.example.com");
  // No files.1: the trailer's last offsets are 0.
  EXPECT_FALSE(FileExists(out + "\\files.1"));
  const std::string exe = Bytes(out + "\\setup.exe");
  const lzh::TSelfExtractInfo t =
      lzh::DecodeTrailer(reinterpret_cast<const uint8_t*>(exe.data() + exe.size() - lzh::kTrailerSize));
  EXPECT_EQ(t.Files1StartOffset, 0);
  EXPECT_EQ(t.Files1EndOffset, 0);

  // The file list: the count, then the records in list order, golden bytes.
  lzh::TFilePropInfo ra{a->Size(), a->Date(), "FileA", a->Version()};
  lzh::TFilePropInfo rv{v->Size(), v->Date(), "FileWithOwnArchive", v->Version()};
  EXPECT_EQ(Bytes(net + "\\filelist.lst"), lzh::WriteFileList({ra, rv}));
  EXPECT_EQ(a->Size(), 3);

  // Names of 39 characters fit; of 40 the build refuses, naming the file,
  // and leaves the build folder as the build before left it (its setup.exe,
  // archives and file list). So for a version of 20 characters or more (a
  // version block of 65535.65535.65535.65535).
  struct {
    std::string Name;
    const char* Source;  // a program to take V.TXT's bytes from, or none
    bool Fits;
  } fits[] = {
      {std::string(39, 'N'), nullptr, true},
      {std::string(40, 'N'), nullptr, false},
      {"FileWithLongVersion", "qnt_ver_max.dll", false},
  };
  for (const auto& c : fits) {
    v->SetName(c.Name);
    if (c.Source) CopyProgram(c.Source, rig.Source, "V.TXT");
    const auto last = Tree(out);
    try {
      rig.Install->BuildDistributables(setupProgram, out, true);
      EXPECT_TRUE(c.Fits) << c.Name << " was listed";
    } catch (const IEInstall& e) {
      EXPECT_FALSE(c.Fits) << e.Message;
      EXPECT_NE(e.Message.find(c.Name), std::string::npos) << e.Message;
      if (c.Source) {
        EXPECT_NE(e.Message.find("(65535.65535.65535."), std::string::npos) << e.Message;
      }
    }
    if (!c.Fits) {
      EXPECT_TRUE(Tree(out) == last) << c.Name;
    }
  }
  RemoveTree(out);
  RemoveTree(product);
}

TEST(Build, BadBuildInfGivesOneMessageAndWritesNothing) {
  TRig rig;
  const std::string product = MakeProductFolder();
  rig.AddFile("A.TXT", "a", "FileA");
  TShownMessages messages;
  std::vector<std::string>& shown = messages.Shown;
  const std::string inf = BinDir() + "\\BUILD.INF";
  struct {
    const char* Inf;  // nullptr: no BUILD.INF
    std::string Says;
  } cases[] = {
      {nullptr, "Need to have a BUILD.INF file in this directory with the first line specifying the build directory"},
      {"", "Must be 1 line in BUILD.INF. This line should specify the build directory"},
      // A drive that is not there: the folder and the file that names it.
      {"Q:\\dist\r\n", "Cannot create the build directory Q:\\dist that the first line of " + inf + " specifies"},
  };
  for (const auto& c : cases) {
    RemoveFile(inf);
    if (c.Inf) WriteFileText(inf, c.Inf);
    shown.clear();
    rig.Install->ProcessBuildParam();
    EXPECT_EQ(shown, Names({c.Says}));
  }
  RemoveFile(inf);
  RemoveTree(product);
}

// A product name that would come back from the uninstaller's command line
// as another name is refused at the build, naming the property and the
// name, and again at the install of a module built before, ahead of
// anything the run writes; names that come back whole build as before.
TEST(Build, ProductNamesTheEntryCannotCarryAreRefused) {
  TRig rig;
  const std::string product = MakeProductFolder();
  const std::string out = ScratchDir("names");
  rig.AddFile("A.TXT", "a", "FileA");
  const std::string setupProgram = rig.Source + "\\Quillant20.exe";
  WriteFileText(setupProgram, "MZ setup program");
  struct {
    std::string Name;
    bool Carried;
  } names[] = {
      {"Quillant32", true},  {"My App", true},     {"Tide Tables 2.0 (S\u00fcd)", true},
      {"My  App", false},    {" Lead", false},     {"Trail ", false},
      {"Say \"Hi\"", false}, {"Tab\tName", false}, {"", false},
      {"Tools\\Pro", false},
  };
  for (const auto& n : names) {
    SCOPED_TRACE(n.Name);
    rig.Install->Information()->SetProductName(n.Name);
    const std::string says = "The product name \"" + n.Name + "\" (the property Information.ProductName of Install1)";
    const auto refused = [&](const std::function<void()>& Run) {
      try {
        Run();
      } catch (const IEInstall& e) {
        EXPECT_EQ(e.Message.rfind(says, 0), 0u) << e.Message;
        return true;
      }
      return false;
    };
    RemoveTree(out);
    EXPECT_EQ(refused([&] { rig.Install->BuildDistributables(setupProgram, out, true); }), !n.Carried);
    EXPECT_EQ(FileExists(out + "\\setup.exe"), n.Carried);
    if (!n.Carried) {
      EXPECT_TRUE(refused([&] { rig.Install->Install(); }));
      EXPECT_FALSE(rig.Install->Installing());
    }
  }
  RemoveTree(out);
  RemoveTree(product);
}

// Without a product folder the build keeps its old message, which names a
// key it never reads, and adds where it did look: the library path as it
// stands and the files it wanted in a folder of it. No setup.exe is written.
TEST(Build, MissingProductFolderSaysWhereTheBuildLooked) {
  TRig rig;
  const std::string out = ScratchDir("noproduct");
  rig.AddFile("A.TXT", "a", "FileA");
  const std::string setupProgram = rig.Source + "\\Quillant20.exe";
  WriteFileText(setupProgram, "MZ");
  const std::string lead =
      "The HKEY_LOCAL_MACHINE | \\Software\\Pellitor\\Q32V25B0001 key in the registry is either missing or points "
      "to an invalid Quillant directory. The build looked for it on the library path, the value SearchPath of "
      "HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\3.0\\Library (";
  const std::string tail =
      "), for the first folder that holds the file Q32V25B0001.TXT, and takes the loader QuillantLoadProgram.exe "
      "from that folder.";
  struct {
    const char* SearchPath;
    const char* Shown;
  } cases[] = {
      {"c:\\nowhere;c:\\elsewhere", "\"c:\\nowhere;c:\\elsewhere\""},
      {" ", "empty"},
  };
  for (const auto& c : cases) {
    WriteRVStr(hkCurrentUser, "\\Software\\Borland\\Delphi\\3.0\\Library", "SearchPath", c.SearchPath);
    try {
      rig.Install->BuildDistributables(setupProgram, out, true);
      ADD_FAILURE() << "built without a product folder: " << c.SearchPath;
    } catch (const IEInstall& e) {
      EXPECT_EQ(e.Message, lead + c.Shown + tail);
    }
    EXPECT_FALSE(FileExists(out + "\\setup.exe")) << c.SearchPath;
  }
  RemoveTree(out);
}

TEST(Packing, WorkerThreadsWriteTheSameBytesAndReportInOrder) {
  TRig rig;
  const std::string out = ScratchDir("threads");
  std::vector<TInstallFile*> files;
  for (int i = 0; i < 12; ++i) {
    std::string content(static_cast<size_t>(40000 + 70000 * (i % 4)), '\0');
    for (size_t k = 0; k < content.size(); ++k) content[k] = static_cast<char>((k * (i + 3)) ^ (k >> 7));
    files.push_back(rig.AddFile("F" + std::to_string(i) + ".BIN", content, "File" + std::to_string(i)));
  }
  rig.Install->SetArchiveFileType(ddAbsolute);
  rig.Install->SetArchiveFile(out + "\\files.1");
  const DWORD mainThread = GetCurrentThreadId();
  std::vector<int> order;
  bool otherThread = false;
  rig.Group->SetOnStatus([&](TInstallObject* File, int, int) {
    otherThread |= GetCurrentThreadId() != mainThread;
    const int index = static_cast<int>(std::find(files.begin(), files.end(), File) - files.begin());
    if (order.empty() || order.back() != index) order.push_back(index);
  });
  const TCompressOptionsSet build =
      CompressOptionBit(coIncludeAll) | CompressOptionBit(coForceDirectory) | CompressOptionBit(coForceNetFilesLocal);
  std::string single;
  for (int threads : {1, 4}) {
    BuildPackThreads = threads;
    order.clear();
    rig.Install->Compress(build);
    const std::string bytes = Bytes(out + "\\files.1");
    if (threads == 1) single = bytes;
    // The entries hold their dates, which the source files keep: same bytes.
    EXPECT_TRUE(bytes == single) << threads << " threads";
    EXPECT_EQ(order, std::vector<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11})) << threads << " threads";
  }
  BuildPackThreads = 0;
  EXPECT_FALSE(otherThread);
  RemoveTree(out);
}
