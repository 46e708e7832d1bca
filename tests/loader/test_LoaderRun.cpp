// The loader as a program, under Wine: a self-extracting setup.exe and a
// setup.1 beside the loader (both written by write_setup1.py at build time),
// whose first entry is qnt_fake_setup.exe, which records how it was started.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/ForeignWindow.h"
#include "common/TestSupport.h"

using namespace testsupport;

namespace {

const std::string ErrorCaption = "There was an error when trying to load the installation program";

std::string Data(const std::string& Name) { return BinDir() + "\\loaderdata\\" + Name; }

void CopyData(const std::string& Name, const std::string& Target) {
  ASSERT_TRUE(CopyFileW(Widen(Data(Name)).c_str(), Widen(Target).c_str(), FALSE)) << Data(Name);
}

void SetEnv(const std::string& Name, const std::string& Value) {
  SetEnvironmentVariableW(Widen(Name).c_str(), Value.empty() ? nullptr : Widen(Value).c_str());
}

std::string GetEnv(const std::string& Name) {
  wchar_t buf[32768];
  DWORD n = GetEnvironmentVariableW(Widen(Name).c_str(), buf, 32768);
  return n ? Narrow(std::wstring(buf, n)) : std::string();
}

// The fake setup program's record, key=value per line; empty when it never ran.
std::map<std::string, std::string> WaitForLog(const std::string& Path, DWORD TimeoutMs = 30000) {
  std::map<std::string, std::string> log;
  DWORD start = GetTickCount();
  while (!FileExists(Path)) {
    if (GetTickCount() - start > TimeoutMs) return log;
    Sleep(100);
  }
  for (const auto& line : ReadLines(Path)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) log[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return log;
}

// The last-write time of a file as local time "YYYY-MM-DD hh:mm:ss".
std::string LocalWriteTime(const std::string& Path) {
  HANDLE h = CreateFileW(Widen(Path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "(cannot open)";
  FILETIME ft, local;
  SYSTEMTIME st;
  GetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  FileTimeToLocalFileTime(&ft, &local);
  FileTimeToSystemTime(&local, &st);
  char buf[64];
  snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
           st.wSecond);
  return buf;
}

class LoaderRun : public ::testing::Test {
protected:
  void SetUp() override {
    // Blanks in the folder of the loader: its name and folder must reach the
    // setup program as one argument each.
    FDir = ScratchDir("loader run");
    FLog = FDir + "\\setup.log";
    SetEnv("QNT_FAKE_SETUP_LOG", FLog);
    // The loader's work folders go below FDir, so nothing is left behind.
    FOldTmp = GetEnv("TMP");
    FOldTemp = GetEnv("TEMP");
    UseTemp(FDir + "\\temp");
  }
  void TearDown() override {
    SetEnv("TMP", FOldTmp);
    SetEnv("TEMP", FOldTemp);
    RemoveTree(FDir);
  }

  void UseTemp(const std::string& Dir) {
    CreateDirectoryW(Widen(Dir).c_str(), nullptr);
    SetEnv("TMP", Dir);
    SetEnv("TEMP", Dir);
  }

  // Checks the work folder the setup program ran from and remembers it for
  // removal.
  void CheckWorkFolder(const std::map<std::string, std::string>& Log, const std::string& TempDir) {
    std::string exe = Log.at("exe");
    FWorkFolder = ExcludeTrailingBackslash(ExtractFilePath(exe));
    EXPECT_EQ(ExtractFileName(exe), "Quillant20.exe");
    EXPECT_TRUE(SameText(ExtractFilePath(FWorkFolder), IncludeTrailingBackslash(TempDir))) << FWorkFolder;
    EXPECT_TRUE(SameText(ExtractFileName(FWorkFolder).substr(0, 3), "qnt")) << FWorkFolder;
    EXPECT_EQ(ExtractFileExt(FWorkFolder), "");
    EXPECT_EQ(ReadFileText(FWorkFolder + "\\ReadMe.txt"), "read me\r\n");
    EXPECT_TRUE(FileExists(FWorkFolder + "\\Empty.dat"));
    EXPECT_EQ(ReadFileText(FWorkFolder + "\\Empty.dat"), "");
    // The stored dates, not the time of extraction.
    EXPECT_EQ(LocalWriteTime(exe), "2001-02-03 04:05:06");
    EXPECT_EQ(LocalWriteTime(FWorkFolder + "\\ReadMe.txt"), "1999-12-31 23:59:58");
    EXPECT_EQ(LocalWriteTime(FWorkFolder + "\\Empty.dat"), "2010-06-15 12:00:00");
  }

  std::string TempDir() {
    wchar_t tmp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, tmp);
    return ExcludeTrailingBackslash(Narrow(std::wstring(tmp, n)));
  }

  // Runs the loader at Path expecting its error box; returns the box's text.
  std::string RunExpectingError(const std::string& CommandLine) {
    TChildProcess p(CommandLine, FDir);
    EXPECT_TRUE(p.Started()) << CommandLine;
    auto box = AnswerForeignBox(p.Pid(), ErrorCaption, 30000);
    EXPECT_TRUE(box.Found) << "no error box";
    EXPECT_EQ(p.Wait(30000), 1);
    return box.Text;
  }

  // What the loader left in the temporary folder.
  std::string LeftInTemp() {
    std::string left;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(Widen(FDir + "\\temp\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return left;
    do {
      std::string name = Narrow(std::wstring(fd.cFileName));
      if (name != "." && name != "..") left += name + " ";
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return left;
  }

  std::string FDir, FLog, FWorkFolder, FOldTmp, FOldTemp;
};

}  // namespace

TEST_F(LoaderRun, SelfExtractingFileStartsTheSetupProgramWithQuotedArguments) {
  std::string exe = FDir + "\\My Setup.exe";
  CopyData("setup.exe", exe);
  EXPECT_EQ(RunAndWait("\"" + exe + "\"", FDir), 0);
  auto log = WaitForLog(FLog);
  ASSERT_FALSE(log.empty()) << "the setup program did not run";
  EXPECT_EQ(log["argc"], "3") << log["cmdline"];
  EXPECT_EQ(log["arg1"], "*SELFEXTRACT");
  EXPECT_EQ(log["arg2"], "My Setup.exe");
  EXPECT_EQ(log["arg3"], FDir);
  // Started in the folder the loader ran in.
  EXPECT_TRUE(SameText(ExcludeTrailingBackslash(log["cwd"]), FDir)) << log["cwd"];
  CheckWorkFolder(log, TempDir());
}

TEST_F(LoaderRun, OwnFileIsFoundThroughTheSystemNotTheCommandLine) {
  std::string exe = FDir + "\\setup.exe";
  CopyData("setup.exe", exe);
  // The command line names some other program; the trailer is still found.
  TChildProcess p("C:\\nowhere\\other.exe", FDir, exe);
  ASSERT_TRUE(p.Started());
  EXPECT_EQ(p.Wait(30000), 0);
  auto log = WaitForLog(FLog);
  ASSERT_FALSE(log.empty()) << "the setup program did not run";
  EXPECT_EQ(log["arg1"], "*SELFEXTRACT");
  EXPECT_EQ(log["arg2"], "setup.exe");
  EXPECT_EQ(log["arg3"], FDir);
}

TEST_F(LoaderRun, ArchiveBesideTheLoader) {
  std::string exe = CopyProgram("QuillantLoadProgram.exe", FDir, "QuillantLoadProgram.exe");
  CopyData("setup.1", FDir + "\\setup.1");
  EXPECT_EQ(RunAndWait("\"" + exe + "\"", FDir), 0);
  auto log = WaitForLog(FLog);
  ASSERT_FALSE(log.empty()) << "the setup program did not run";
  EXPECT_EQ(log["argc"], "3") << log["cmdline"];
  EXPECT_EQ(log["arg1"], "*NOTSELFEXTRACT");
  EXPECT_EQ(log["arg2"], "QuillantLoadProgram.exe");
  EXPECT_EQ(log["arg3"], FDir);
  CheckWorkFolder(log, TempDir());
}

TEST_F(LoaderRun, TemporaryFolderWithBlanksAndToDisk) {
  std::string temp = FDir + "\\temp with blanks";
  UseTemp(temp);
  std::string exe = FDir + "\\setup.exe";
  CopyData("setup.exe", exe);
  EXPECT_EQ(RunAndWait("\"" + exe + "\" *todisk", FDir), 0);
  auto log = WaitForLog(FLog);
  ASSERT_FALSE(log.empty()) << "the setup program did not run";
  EXPECT_EQ(log["argc"], "3") << log["cmdline"];
  EXPECT_EQ(log["arg1"], "*TODISK");
  EXPECT_EQ(log["arg2"], "setup.exe");
  EXPECT_EQ(log["arg3"], FDir);
  CheckWorkFolder(log, temp);
}

TEST_F(LoaderRun, WithoutSetup1ShowsTheErrorBoxAndEndsWithOne) {
  std::string exe = CopyProgram("QuillantLoadProgram.exe", FDir, "QuillantLoadProgram.exe");
  TChildProcess p("\"" + exe + "\"", FDir);
  ASSERT_TRUE(p.Started());
  for (int i = 0; i < 300 && !HasWindowCaptioned(p.Pid(), ErrorCaption); ++i) Sleep(100);
  // The box stands over the loader's own window.
  EXPECT_TRUE(HasWindowCaptioned(p.Pid(), "Initializing..."));
  auto box = AnswerForeignBox(p.Pid(), ErrorCaption, 30000);
  ASSERT_TRUE(box.Found) << "no error box";
  EXPECT_EQ(box.Text, "LOADER: Setup.1 must be in the same directory as the the loader program. Directory is " + FDir);
  EXPECT_EQ(p.Wait(30000), 1);
  EXPECT_FALSE(FileExists(FLog));
}

TEST_F(LoaderRun, DamagedFilesStartNothing) {
  std::string exe = CopyProgram("QuillantLoadProgram.exe", FDir, "QuillantLoadProgram.exe");
  const std::string setup1 = ReadFileText(Data("setup.1"));
  // A 32-bit field of the first header (at 5), Quillant20.exe's.
  auto field = [&](size_t At) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(setup1[5 + At + i])) << (8 * i);
    return v;
  };
  auto withField = [&](size_t At, uint32_t V) {
    std::string b = setup1;
    for (int i = 0; i < 4; ++i) b[5 + At + i] = static_cast<char>(V >> (8 * i));
    return b;
  };
  std::string corrupt = setup1;
  const uint32_t start = field(132);
  corrupt[start + 2] = static_cast<char>(corrupt[start + 2] ^ 0xFF);
  corrupt[start + 3] = static_cast<char>(corrupt[start + 3] ^ 0xFF);
  const std::string damaged = "LOADER: The file Quillant20.exe in SETUP.1 is damaged: ";
  struct {
    const char* what;
    std::string bytes;
    std::string says;  // the start of the message
  } cases[] = {
      // The last entry's bytes are missing.
      {"cut short", setup1.substr(0, setup1.size() - 4),
       "LOADER: The file Empty.dat in SETUP.1 is damaged: its data lie outside the archive"},
      // Zlib's word on the fault is part of the message.
      {"bad compressed data", corrupt, damaged + "its compressed data are not valid (zlib error: "},
      // The setup program's header claims 1,000 bytes: no more are written.
      {"more data than the header's size", withField(128, 1000),
       damaged + "it does not decompress to the 1000 bytes its header gives"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileText(FDir + "\\setup.1", c.bytes);
    const std::string text = RunExpectingError("\"" + exe + "\"");
    EXPECT_EQ(text.rfind(c.says, 0), 0u) << text;
    // What it had extracted goes, its work folder with it.
    EXPECT_EQ(LeftInTemp(), "");
  }

  // A trailer whose setup.1 would end past the end of the file.
  std::string file = ReadFileText(Data("setup.exe"));
  size_t at = file.size() - 56 + 20;
  uint32_t end = static_cast<uint32_t>(file.size() + 100);
  for (int i = 0; i < 4; ++i) file[at + i] = static_cast<char>(end >> (8 * i));
  std::string bad = FDir + "\\setup.exe";
  WriteFileText(bad, file);
  EXPECT_EQ(RunExpectingError("\"" + bad + "\""),
            "LOADER: The self-extracting information at the end of " + bad +
                " points outside the file. The file is probably damaged or incomplete");
  Sleep(500);
  EXPECT_FALSE(FileExists(FLog));
}
