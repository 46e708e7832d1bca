// The build end to end under Wine: the setup program started with *BUILD
// writes the distribution; its setup.exe, started as a user would, has the
// real loader extract the setup program into %TEMP%\qnt... and start it with
// *SELFEXTRACT, and that installs every file from files.1 inside setup.exe.
#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/SysUtils.h"
#include "common/TestSupport.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/archive/lzhFormat.h"
#include "foundation/routines/routines_Registry.h"

using namespace testsupport;

namespace {
const char* const Source = "C:\\qnt-roundtrip-src";
const char* const Dest = "C:\\qnt-roundtrip-dest";

std::string Patterned(size_t N) {
  std::string s(N, '\0');
  for (size_t i = 0; i < N; ++i) s[i] = static_cast<char>((i * 7) ^ (i >> 9));
  return s;
}
}  // namespace

TEST(RoundTrip, BuildThenSetupExeInstallsTheSources) {
  ForceDirectories(Source);
  const std::string data = Patterned(300000), readme = "read me\r\n";
  WriteFileText(std::string(Source) + "\\DATA.BIN", data);
  WriteFileText(std::string(Source) + "\\README.TXT", readme);
  const std::string product = ScratchDir("rt-product");
  WriteFileText(product + "\\Q32V25B0001.TXT", "");
  CopyProgram("QuillantLoadProgram.exe", product, "QuillantLoadProgram.exe");
  WriteRVStr(hkCurrentUser, "\\Software\\Borland\\Delphi\\3.0\\Library", "SearchPath", product);
  const std::string work = ScratchDir("rt-work");
  const std::string build = ScratchDir("rt build");  // blanks: the loader passes the folder in pieces
  const std::string program = CopyProgram("qnt_build_module.exe", work, "Quillant20.exe");
  WriteFileText(work + "\\presetup.txt", "pre-setup file");
  WriteFileText(work + "\\BUILD.INF", build + "\r\nignored\r\n");

  const long rc = RunAndWait("\"" + program + "\" *BUILD", work, 120000);
  EXPECT_EQ(rc, 0);
  const std::string exe = ReadFileText(build + "\\setup.exe");
  ASSERT_GT(exe.size(), lzh::kTrailerSize);
  const lzh::TSelfExtractInfo t =
      lzh::DecodeTrailer(reinterpret_cast<const uint8_t*>(exe.data() + exe.size() - lzh::kTrailerSize));
  ASSERT_TRUE(lzh::IsSelfExtracting(t));
  EXPECT_EQ(exe.substr(static_cast<size_t>(t.Setup1StartOffset),
                       static_cast<size_t>(t.Setup1EndOffset - t.Setup1StartOffset + 1)),
            ReadFileText(build + "\\setup.1"));
  EXPECT_EQ(exe.substr(static_cast<size_t>(t.Files1StartOffset),
                       static_cast<size_t>(t.Files1EndOffset - t.Files1StartOffset + 1)),
            ReadFileText(build + "\\files.1"));

  // The user's side: only setup.exe, started from the distribution folder.
  ASSERT_EQ(RunAndWait("\"" + build + "\\setup.exe\"", build, 120000), 0);
  // The loader does not wait for the setup program: wait for its work.
  for (int i = 0; i < 600 && !FileExists(std::string(Dest) + "\\README.TXT"); ++i) Sleep(100);
  Sleep(500);
  EXPECT_TRUE(ReadFileText(std::string(Dest) + "\\DATA.BIN") == data);
  EXPECT_EQ(ReadFileText(std::string(Dest) + "\\README.TXT"), readme);
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
  RemoveTree(Dest);
  RemoveTree(Source);
  RemoveTree(work);
  RemoveTree(build);
  RemoveTree(product);
}
