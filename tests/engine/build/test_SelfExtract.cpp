// The setup program's readers: the trailer of setup.exe (offsets checked,
// applied to files.1 only) and filelist.lst fetched over FTP.
#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/SysUtils.h"
#include "common/TestSupport.h"
#include "engine/build/BuildRig.h"
#include "foundation/archive/lzhFormat.h"
#include "foundation/ftp/FtpTestSupport.h"

using namespace testsupport;
using namespace buildtest;

namespace {
std::string Trailer(int32_t S1, int32_t E1, int32_t S2, int32_t E2) {
  uint8_t raw[lzh::kTrailerSize];
  lzh::EncodeTrailer(lzh::MakeSelfExtractInfo(S1, E1, S2, E2), raw);
  return std::string(reinterpret_cast<char*>(raw), sizeof raw);
}

std::vector<std::string> TempFiles() {
  std::vector<std::string> names;
  WIN32_FIND_DATAA fd;
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  HANDLE h = FindFirstFileA((std::string(dir) + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.push_back(fd.cFileName);
  while (FindNextFileA(h, &fd));
  FindClose(h);
  return names;
}

// A folder of this process's own on vsftpd, where the default location
// looks; its path on the server's side.
std::string ServeFromVsftpd(const std::string& Tag) {
  const std::string sub = Tag + std::to_string(GetCurrentProcessId());
  const std::string served = ftptest::Env("QNT_FTP_ANON_DIR") + "/" + sub;
  CreateDirectoryA(ftptest::UnixPath(served).c_str(), nullptr);
  TLoginInformation login;
  login.SetHostname("127.0.0.1");
  login.SetPort(ftptest::VsftpdPort());
  login.SetDirectory("/" + sub);
  DefaultNetLocation->SetLoginInformation(&login);
  return served;
}
}  // namespace

TEST(SelfExtract, TrailerOffsetsCheckedAndAppliedToFilesOneOnly) {
  TRig rig;
  const std::string dir = ScratchDir("trailer");
  const std::string exe = dir + "\\setup.exe";
  const std::string head(100, 'L');
  // Offsets that cannot describe the file are refused like an unreadable one.
  struct Case {
    const char* What;
    std::string Bytes;
    bool Good;
  } cases[] = {
      {"shorter than a trailer", std::string(55, 'x'), false},
      {"setup.1 at 0", head + Trailer(0, 99, 0, 0), false},
      {"setup.1 past the end", head + Trailer(10, 200, 0, 0), false},
      {"files.1 before setup.1", head + Trailer(50, 99, 10, 20), false},
      {"no files.1", head + Trailer(10, 99, 0, 0), true},
      {"both archives", head + Trailer(10, 49, 50, 99), true},
  };
  for (const Case& c : cases) {
    WriteFileText(exe, c.Bytes);
    if (c.Good) {
      EXPECT_NO_THROW(rig.Install->ReadSelfExtractInfo(exe)) << c.What;
    } else {
      try {
        rig.Install->ReadSelfExtractInfo(exe);
        ADD_FAILURE() << c.What;
      } catch (const IEInstall& e) {
        EXPECT_NE(e.Message.find("Could not read the extraction info from the archive file"), std::string::npos);
      }
    }
  }

  // files.1 inside setup.exe is read at its offset; a group's own archive
  // beside it from its start.
  rig.AddFile("A.TXT", "alpha", "FileA");
  rig.AddFile("B.TXT", std::string(5000, 'b'), "FileB");
  const std::string group = dir + "\\group.1";
  rig.Install->SetArchiveFileType(ddAbsolute);
  rig.Install->SetArchiveFile(group);
  rig.Install->Compress(CompressOptionBit(coIncludeAll) | CompressOptionBit(coForceNetFilesLocal) |
                        CompressOptionBit(coForceOneFile));
  const std::string files1 = Bytes(group);
  WriteFileText(exe, head + files1 + Trailer(10, 99, 100, 100 + static_cast<int32_t>(files1.size()) - 1));
  rig.Install->SetArchiveFile(exe);
  rig.Install->SetCompressOffset();
  EXPECT_EQ(SelfExtractOffset, 100);
  for (const std::string& archive : {exe, group}) {
    PointQlntCompressAt(archive);
    EXPECT_EQ(QlntCompress->Offset(), archive == exe ? 100 : 0);
    EXPECT_EQ(QlntCompress->FindFile(rig.Source + "\\A.TXT"), 0) << archive;
  }
  // files.1 is read whole before its first file is taken. Cut at its end,
  // the trailer right: the last entry ends where files.1 does, and is
  // incomplete there, rather than going on into the trailer; the first,
  // whole itself, does not come out either. files.1 is one volume: the
  // disk-set flag there is damage.
  std::string multi = files1;
  multi[4] = 1;
  struct {
    const char* what;
    std::string files1;
    std::string says;
  } damaged[] = {
      {"cut in the last entry", files1.substr(0, files1.size() - 4),
       "The compressed data of the following file is incomplete: " + rig.Source + "\\B.TXT in the archive " + exe},
      {"a disk-set flag", multi,
       "Could not read the file headers for the compressed file " + exe +
           ". The Archive file could possible be corrupt"},
  };
  for (const auto& d : damaged) {
    RemoveFile(dir + "\\out\\A.TXT");
    WriteFileText(exe, head + d.files1 + Trailer(10, 99, 100, 100 + static_cast<int32_t>(d.files1.size()) - 1));
    rig.Install->SetCompressOffset();
    QlntCompress->SetCompressedFile("");  // the headers of the good one are not this file's
    PointQlntCompressAt(exe);
    QlntCompress->SetExtractDirectory(dir + "\\out");
    QlntCompress->FilesToProcess()->Clear();
    QlntCompress->FilesToProcess()->Add(rig.Source + "\\A.TXT");
    try {
      QlntCompress->Extract();
      ADD_FAILURE() << d.what << ": extracted";
    } catch (const EQlntCompress& e) {
      EXPECT_EQ(e.Message, d.says) << d.what;
    }
    EXPECT_FALSE(FileExists(dir + "\\out\\A.TXT")) << d.what;
  }
  SelfExtractArchive.clear();
  RemoveTree(dir);
}

TEST(FileList, ReadOverFtpMatchedByNameTemporaryCopyAlwaysDeleted) {
  QNT_NEED_VSFTPD();
  TRig rig(dtWeb);
  TInstallFile* a = rig.AddFile("A.TXT", "a", "FileA");
  TInstallFile* b = rig.AddFile("B.TXT", "b", "FileB");
  TInstallFile* c = rig.AddFile("C.TXT", "c", "FileC");
  const std::string served = ServeFromVsftpd("qntlist");
  const std::string sub = served.substr(served.rfind('/') + 1);

  auto rec = [](const std::string& Name, int32_t Size, const std::string& Version) {
    lzh::TFilePropInfo r;
    r.Size = Size;
    r.Date = 36000.5;
    r.szName = Name;
    r.szVersion = Version;
    return r;
  };
  const std::vector<std::string> before = TempFiles();
  // Names match without regard to case; a name without a file changes nothing.
  WriteFileText(ftptest::UnixPath(served + "/filelist.lst"),
                lzh::WriteFileList({rec("filea", 11, "1.2"), rec("Nobody", 5, "9"), rec("FILEB", 22, "")}));
  rig.Install->ReadNetFileList();
  EXPECT_EQ(a->Size(), 11);
  EXPECT_EQ(a->Version(), "1.2");
  EXPECT_EQ(a->Date(), 36000.5);
  EXPECT_EQ(b->Size(), 22);
  // The list says which files it describes.
  EXPECT_FALSE(a->MissingFromFileList());
  EXPECT_TRUE(c->MissingFromFileList());
  EXPECT_EQ(TempFiles(), before);

  // A count larger than the records, a negative count, a short count.
  std::string more = lzh::WriteFileList({rec("FileA", 1, "")});
  more[0] = 2;
  std::string negative = more;
  negative[3] = static_cast<char>(0x80);
  for (const std::string& bad : {more, negative, std::string("\1\0", 2)}) {
    WriteFileText(ftptest::UnixPath(served + "/filelist.lst"), bad);
    try {
      rig.Install->ReadNetFileList();
      ADD_FAILURE() << "read a damaged list";
    } catch (const IEInstall& e) {
      // Named as the server has it: the copy read here is gone.
      EXPECT_EQ(e.Message, "Cannot read the remote list of files: /" + sub + "/filelist.lst downloaded from 127.0.0.1");
    }
    EXPECT_EQ(TempFiles(), before);
  }
  RemoveFile(ftptest::UnixPath(served + "/filelist.lst"));
  RemoveDirectoryA(ftptest::UnixPath(served).c_str());
}

// A file list past its bound is refused as it arrives, whatever size the
// server announced, and leaves no temporary copy behind.
TEST(FileList, AListPastItsBoundIsRefusedAsItArrives) {
  QNT_NEED_VSFTPD();
  TRig rig(dtWeb);
  const std::string served = ServeFromVsftpd("qntbiglist");
  WriteFileText(ftptest::UnixPath(served + "/filelist.lst"), std::string(MaxFileListSize + 1, '\0'));
  const std::vector<std::string> before = TempFiles();
  try {
    rig.Install->ReadNetFileList();
    ADD_FAILURE() << "read a list past its bound";
  } catch (const IENetInstallLocation& e) {
    EXPECT_NE(e.Message.find(Format("is longer than %d bytes", {MaxFileListSize})), std::string::npos) << e.Message;
  }
  EXPECT_EQ(TempFiles(), before);
  RemoveFile(ftptest::UnixPath(served + "/filelist.lst"));
  RemoveDirectoryA(ftptest::UnixPath(served).c_str());
}
