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
