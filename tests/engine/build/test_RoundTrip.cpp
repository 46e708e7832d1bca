// The build end to end under Wine: the setup program started with *BUILD
// writes the distribution; its setup.exe, started as a user would, has the
// real loader extract the setup program into %TEMP%\qnt... and start it with
// *SELFEXTRACT, and that installs every file: from files.1 inside setup.exe,
// or, for a network distribution, from the container's archive that it
// downloads after reading filelist.lst from the FTP server.
#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/SysUtils.h"
#include "common/TestSupport.h"
#include "engine/build/RoundTripRig.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/archive/lzhFormat.h"
#include "foundation/ftp/FtpTestSupport.h"
#include "foundation/routines/routines_Registry.h"

using namespace testsupport;

using buildtest::TRoundTrip;

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

// A *BUILD killed while it packs files.1 leaves the last build's setup.exe,
// setup.1 and files.1 as they were and none of its temporary files; the
// next build writes the same bytes as one never killed, and clears what the
// killed one left in its stage.
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
  const auto temporaries = [] { return FileNamesMatching(TempDir() + "bat*.tmp"); };
  const std::vector<std::string> before = temporaries();

  std::string line = "\"" + rt.Work + "\\Quillant20.exe\" *BUILD";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, rt.Work.c_str(), &si, &pi));
  bool packing = false;
  for (int i = 0; i < 6000 && !packing; ++i) {
    // files.1 begun, wherever the build writes it.
    WIN32_FILE_ATTRIBUTE_DATA a{};
    const bool begun = FileExists(rt.Build + "\\build.partial\\files.1") ||
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
    EXPECT_TRUE(FileExists(name) && ReadFileText(name) == whole[i]) << outputs[i] << " not as it was";
  }
  EXPECT_EQ(temporaries(), before);

  rt.BuildDistribution();
  for (size_t i = 0; i < whole.size(); ++i)
    EXPECT_TRUE(ReadFileText(rt.Build + "\\" + outputs[i]) == whole[i]) << outputs[i] << " differs after the kill";
  EXPECT_EQ(GetFileAttributesA((rt.Build + "\\build.partial").c_str()), INVALID_FILE_ATTRIBUTES);
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
