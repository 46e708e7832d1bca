// The build end to end under Wine: the setup program started with *BUILD
// writes the distribution; its setup.exe, started as a user would, has the
// real loader extract the setup program into %TEMP%\qnt... and start it with
// *SELFEXTRACT, and that installs every file: from files.1 inside setup.exe,
// or, for a network distribution, from the container's archive that it
// downloads after reading filelist.lst from the FTP server.
#include <gtest/gtest.h>

#include <algorithm>

#include <windows.h>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/TestSupport.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/archive/lzhFormat.h"
#include "foundation/ftp/FtpTestSupport.h"
#include "foundation/routines/routines_ExpandPaths.h"
#include "foundation/routines/routines_Registry.h"

using namespace testsupport;

namespace {
const char* const Source = "C:\\qnt-roundtrip-src";

std::string Patterned(size_t N) {
  std::string s(N, '\0');
  for (size_t i = 0; i < N; ++i) s[i] = static_cast<char>((i * 7) ^ (i >> 9));
  return s;
}

// The sources, the product folder with our loader, the setup program with
// its BUILD.INF, and the build folder; all removed at the end.
struct TRoundTrip {
  const std::string Data = Patterned(300000), Readme = "read me\r\n";
  std::string Sources, Product, Work, Build, Dest;

  explicit TRoundTrip(const std::string& DestDir, const std::string& SourceDir = Source)
      : Sources(SourceDir), Dest(DestDir) {
    ForceDirectories(Sources);
    WriteFileText(Sources + "\\DATA.BIN", Data);
    WriteFileText(Sources + "\\README.TXT", Readme);
    Product = ScratchDir("rt-product");
    WriteFileText(Product + "\\Q32V25B0001.TXT", "");
    CopyProgram("QuillantLoadProgram.exe", Product, "QuillantLoadProgram.exe");
    WriteRVStr(hkCurrentUser, "\\Software\\Borland\\Delphi\\3.0\\Library", "SearchPath", Product);
    Work = ScratchDir("rt-work");
    Build = ScratchDir("rt build");  // blanks: the loader passes the folder in pieces
    WriteFileText(Work + "\\presetup.txt", "pre-setup file");
    WriteFileText(Work + "\\BUILD.INF", Build + "\r\nignored\r\n");
  }
  ~TRoundTrip() {
    RemoveTree(Dest);
    RemoveTree(Sources);
    RemoveTree(Work);
    RemoveTree(Build);
    RemoveTree(Product);
  }

  // *BUILD with a copy of Program; the trailer of the setup.exe it wrote.
  lzh::TSelfExtractInfo BuildDistribution(const std::string& Program = "qnt_build_module.exe",
                                          const std::string& As = "Quillant20.exe") {
    const std::string program = CopyProgram(Program, Work, As);
    EXPECT_EQ(RunAndWait("\"" + program + "\" *BUILD", Work, 120000), 0);
    const std::string exe = ReadFileText(Build + "\\setup.exe");
    if (exe.size() <= lzh::kTrailerSize) return {};
    const lzh::TSelfExtractInfo t =
        lzh::DecodeTrailer(reinterpret_cast<const uint8_t*>(exe.data() + exe.size() - lzh::kTrailerSize));
    EXPECT_TRUE(lzh::IsSelfExtracting(t));
    EXPECT_EQ(exe.substr(static_cast<size_t>(t.Setup1StartOffset),
                         static_cast<size_t>(t.Setup1EndOffset - t.Setup1StartOffset + 1)),
              ReadFileText(Build + "\\setup.1"));
    return t;
  }

  // The user's side: only setup.exe, started from the distribution folder;
  // the installed bytes equal the sources.
  void InstallAndCompare() {
    ASSERT_EQ(RunAndWait("\"" + Build + "\\setup.exe\"", Build, 120000), 0);
    // The loader does not wait for the setup program: wait for its work.
    for (int i = 0; i < 600 && !FileExists(Dest + "\\README.TXT"); ++i) Sleep(100);
    Sleep(500);
    EXPECT_TRUE(ReadFileText(Dest + "\\DATA.BIN") == Data);
    EXPECT_EQ(ReadFileText(Dest + "\\README.TXT"), Readme);
  }
};
}  // namespace

TEST(RoundTrip, BuildThenSetupExeInstallsTheSources) {
  TRoundTrip rt("C:\\qnt-roundtrip-dest");
  const lzh::TSelfExtractInfo t = rt.BuildDistribution();
  const std::string exe = ReadFileText(rt.Build + "\\setup.exe");
  ASSERT_GT(t.Files1StartOffset, 0);
  EXPECT_EQ(exe.substr(static_cast<size_t>(t.Files1StartOffset),
                       static_cast<size_t>(t.Files1EndOffset - t.Files1StartOffset + 1)),
            ReadFileText(rt.Build + "\\files.1"));
  rt.InstallAndCompare();
  // The setup program ran from the loader's work folder %TEMP%\qnt...
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  bool fromWorkFolder = false;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((std::string(temp) + "qnt*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do fromWorkFolder |= FileExists(std::string(temp) + fd.cFileName + "\\Quillant20.exe");
    while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  EXPECT_TRUE(fromWorkFolder);
}

// A *BUILD killed while it packs files.1 leaves no archive cut off under its
// own name and none of its temporary files; the next build writes the same
// bytes as one never killed.
TEST(RoundTrip, AKilledBuildLeavesNoArchiveCutOffNorItsTemporaryFiles) {
  TRoundTrip rt("C:\\qnt-roundtrip-dest");
  std::string noise(48 << 20, '\0');  // bytes that take the build seconds to deflate
  uint32_t x = 12345;
  for (char& c : noise) c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
  WriteFileText(rt.Sources + "\\DATA.BIN", noise);
  rt.BuildDistribution();
  const char* const outputs[] = {"setup.exe", "setup.1", "files.1"};
  std::vector<std::string> whole;
  for (const char* o : outputs) whole.push_back(ReadFileText(rt.Build + "\\" + o));
  const auto temporaries = [] {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::vector<std::string> found;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((std::string(temp) + "bat*.tmp").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do found.push_back(fd.cFileName);
      while (FindNextFileA(h, &fd));
      FindClose(h);
    }
    return found;
  };
  const std::vector<std::string> before = temporaries();

  std::string line = "\"" + rt.Work + "\\Quillant20.exe\" *BUILD";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, rt.Work.c_str(), &si, &pi));
  bool packing = false;
  for (int i = 0; i < 6000 && !packing; ++i) {
    // files.1 begun, under whichever name the build writes it.
    WIN32_FILE_ATTRIBUTE_DATA a{};
    const bool begun = FileExists(rt.Build + "\\files.1.partial") ||
                       (GetFileAttributesExA((rt.Build + "\\files.1").c_str(), GetFileExInfoStandard, &a) &&
                        a.nFileSizeLow < whole[2].size());
    packing = begun && temporaries() != before;
    if (!packing) Sleep(10);
  }
  TerminateProcess(pi.hProcess, 9);
  WaitForSingleObject(pi.hProcess, 30000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  ASSERT_TRUE(packing) << "the build was not seen packing files.1";
  for (size_t i = 0; i < whole.size(); ++i) {
    const std::string name = rt.Build + "\\" + outputs[i];
    if (FileExists(name)) EXPECT_TRUE(ReadFileText(name) == whole[i]) << outputs[i] << " cut off";
  }
  EXPECT_EQ(temporaries(), before);

  rt.BuildDistribution();
  for (size_t i = 0; i < whole.size(); ++i)
    EXPECT_TRUE(ReadFileText(rt.Build + "\\" + outputs[i]) == whole[i]) << outputs[i] << " differs after the kill";
}

TEST(RoundTrip, WebBuildServedOverFtpInstallsTheSources) {
  QNT_NEED_VSFTPD();
  // The setup program takes the network module and the server's port from here.
  SetEnvironmentVariableA("QNT_ROUNDTRIP_FTP_PORT", std::to_string(ftptest::VsftpdPort()).c_str());
  TRoundTrip rt("C:\\qnt-roundtrip-web-dest");
  const lzh::TSelfExtractInfo t = rt.BuildDistribution();
  // Every file went to the container's archive on the server: no files.1.
  EXPECT_EQ(t.Files1StartOffset, 0);
  EXPECT_FALSE(FileExists(rt.Build + "\\files.1"));
  const std::string built = rt.Build + "\\127.0.0.1\\-qnt-web-rt";
  const std::string served = ftptest::UnixPath(ftptest::Env("QNT_FTP_ANON_DIR") + "/qnt-web-rt");
  RemoveTree(served);
  ForceDirectories(served);
  for (const char* name : {"filelist.lst", "Group1.1"})
    EXPECT_TRUE(CopyFileA((built + "\\" + name).c_str(), (served + "\\" + name).c_str(), FALSE)) << name;
  rt.InstallAndCompare();
  SetEnvironmentVariableA("QNT_ROUNDTRIP_FTP_PORT", nullptr);
  // Both came from the server.
  const std::string log = ftptest::ReadUnixFile(ftptest::Env("QNT_FTP_LOG"));
  EXPECT_NE(log.find("/qnt-web-rt/filelist.lst"), std::string::npos);
  EXPECT_NE(log.find("/qnt-web-rt/Group1.1"), std::string::npos);
  RemoveTree(served);
}

// The README's example of a setup for another product (tests/engine/build/
// notes): its program, shipped without debugging information, builds the
// distribution, and its setup.exe installs the two files (one named beyond
// ASCII), the uninstaller with its uninstall entry, and the shortcut.
TEST(RoundTrip, GuideExampleInstallsTwoFilesShortcutAndUninstaller) {
  const std::string program = BinDir() + "\\NotesSetup.exe";
  const std::string debug = ReadFileText(program + ".debug"), shipped = ReadFileText(program);
  EXPECT_LT(shipped.size(), 4000000u);
  EXPECT_GT(debug.size(), 4 * shipped.size());
  EXPECT_NE(shipped.find("NotesSetup.exe.debug"), std::string::npos);  // the link to its debugging information

  const std::string sources = "C:\\Example Notes Files", readme = "L\xC3\xA4s mig.txt";
  TRoundTrip rt(ExpandProgramFilesDir() + "\\Example Notes", sources);
  WriteFileText(sources + "\\Notes.txt", "notes\r\n");
  WriteFileText(sources + "\\" + readme, "l\xC3\xA4s mig\r\n");
  CopyProgram("uninstall.exe", sources, "uninstall.exe");
  rt.BuildDistribution("NotesSetup.exe", "NotesSetup.exe");

  const std::string link = ExpandProgramMenuDir() + "\\Example Notes\\L\xC3\xA4s mig.LNK";
  const std::string record = UninstallKeyFor("Example Notes");
  ASSERT_EQ(RunAndWait("\"" + rt.Build + "\\setup.exe\"", rt.Build, 120000), 0);
  for (int i = 0; i < 600 && GetRVStr(hkLocalMachine, record, "UninstallString", "").empty(); ++i) Sleep(100);
  Sleep(500);
  for (const std::string name : {"Notes.txt", readme.c_str(), "uninstall.exe"})
    EXPECT_TRUE(ReadFileText(rt.Dest + "\\" + name) == ReadFileText(sources + "\\" + name)) << name;
  EXPECT_EQ(GetRVStr(hkLocalMachine, record, "UninstallString", ""),
            "\"" + rt.Dest + "\\uninstall.exe\" Example Notes");
  EXPECT_TRUE(FileExists(link)) << link;
  RemoveTree(ExtractFileDir(link));
}

namespace {
// The Unix path of a Windows path, for the wizard driver's pictures.
std::string UnixPathOf(const std::string& WindowsPath) {
  using TUnixName = char* (*)(const wchar_t*);
  auto unixName = reinterpret_cast<TUnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixName) return "";
  char* name = unixName(Widen(WindowsPath).c_str());
  const std::string r = name ? name : "";
  HeapFree(GetProcessHeap(), 0, name);
  return r;
}

// The captions of the pages that the driver pictured, in its order (its
// pictures are named <mode>-<number>-<caption, other characters as '-'>).
std::string PicturedPages(const std::string& Dir, const std::string& Mode) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((Dir + "\\" + Mode + "-*.png").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do names.push_back(fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  std::sort(names.begin(), names.end());
  std::string r;
  for (const std::string& n : names) r += n.substr(Mode.size() + 4, n.size() - Mode.size() - 8) + "|";
  return r;
}
}  // namespace

// The README's complete example (tests/engine/build/journal), walked through
// its wizard with the default answers (welcome, file groups, Start-menu
// folder, copy progress, its own closing page): the group that is always
// installed, the one in a subfolder, not the one off by default, the
// shortcut; then its uninstaller removes them all.
TEST(RoundTrip, GuideCompleteExampleInstallsThroughItsWizardAndUninstalls) {
  const std::string sources = "C:\\Example Journal Files";
  TRoundTrip rt(ExpandProgramFilesDir() + "\\Example Journal", sources);
  for (const char* name : {"Journal.txt", "Help.txt", "Sample.txt"})
    WriteFileText(sources + "\\" + name, std::string(name) + "\r\n");
  CopyProgram("uninstall.exe", sources, "uninstall.exe");
  rt.BuildDistribution("JournalSetup.exe", "JournalSetup.exe");

  // Pictures of the pages beside the build's programs, to look at.
  const std::string pictures = BinDir() + "\\..\\guide-pictures";
  RemoveTree(pictures);
  ForceDirectories(pictures);
  const std::string driver = "\"" + BinDir() + "\\qnt_wizard_driver.exe\" ";
  ASSERT_EQ(RunAndWait(driver + "setup " + UnixPathOf(pictures) + " \"" + rt.Build + "\\setup.exe\"", rt.Build, 240000),
            0);
  // In this order (the copy-progress window may come and go between two looks).
  const std::string walked = PicturedPages(pictures, "setup");
  size_t at = 0;
  for (const char* page :
       {"Welcome|", "Select-components-to-install|", "Select-folder-in-start-menu|", "Example-Journal-is-installed|"}) {
    at = walked.find(page, at);
    if (at == std::string::npos) {
      ADD_FAILURE() << page << " is not in its place among " << walked;
      break;
    }
  }
  const std::string link = ExpandProgramMenuDir() + "\\Example Journal\\Journal.LNK";
  const std::vector<std::string> installed = {rt.Dest + "\\Journal.txt", rt.Dest + "\\Help\\Help.txt", link};
  for (const std::string& file : installed) EXPECT_TRUE(FileExists(file)) << file;
  EXPECT_TRUE(ReadFileText(rt.Dest + "\\uninstall.exe") == ReadFileText(sources + "\\uninstall.exe"));
  EXPECT_FALSE(FileExists(rt.Dest + "\\Sample.txt"));

  const std::string record = UninstallKeyFor("Example Journal");
  const std::string uninstall = GetRVStr(hkLocalMachine, record, "UninstallString", "");
  ASSERT_EQ(uninstall, "\"" + rt.Dest + "\\uninstall.exe\" Example Journal");
  EXPECT_EQ(RunAndWait(driver + "uninstall " + UnixPathOf(pictures) + " " + uninstall, "C:\\", 240000), 0);
  for (const std::string& file : installed) EXPECT_FALSE(FileExists(file)) << file;
  EXPECT_EQ(GetRVStr(hkLocalMachine, record, "UninstallString", ""), "");
  RemoveTree(ExtractFileDir(link));
}
