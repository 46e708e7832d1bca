// File containers: a group of real files installed from a real archive by a
// tree read from a text form resource, the running totals the pages see, and
// downloads of archives from the harness's vsftpd.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "classlib/SysUtils.h"
#include "common/TestSupport.h"
#include "engine/files/InstallFileFixtures.h"
#include "foundation/ftp/FtpTestSupport.h"
#include "foundation/routines/routines_Registry.h"

using namespace testsupport;
using namespace fixtures;

namespace {

class TFilesModule : public TDataModule {
  QNT_PUBLISHED(TFilesModule, TDataModule)
public:
  explicit TFilesModule(TComponent* AOwner) : TDataModule(AOwner) { ReadResource("TFILESMODULE"); }
  template <class T>
  T* Get(const char* Name) {
    return dynamic_cast<T*>(FindComponent(Name));
  }
};

std::string Filled(size_t n, char c) { return std::string(n, c); }

}  // namespace

QNT_PUBLISH(TFilesModule);

TEST(FileGroup, RealFilesFromATextFormModule) {
  const std::string dir = ScratchDir("group");
  const std::string cwd = GetCurrentDir();
  SetCurrentDirectoryA(dir.c_str());
  CreateDirectoryA("src", nullptr);
  WriteBytes("src\\f100.txt", Filled(100, 'a'));
  WriteBytes("src\\f300.txt", Filled(300, 'b'));
  WriteBytes("src\\f600.txt", Filled(600, 'c'));
  std::string five(5 * 1024 * 1024, '\0');
  for (size_t i = 0; i < five.size(); ++i) five[i] = static_cast<char>((i * 131 + (i >> 9)) & 0xFF);
  WriteBytes("src\\big.bin", five);
  Pack(dir + "\\files.1", "src", {"f100.txt", "f300.txt", "f600.txt", "big.bin"});
  DeleteKey(hkLocalMachine, RecordKey());

  {
    TFilesModule module(nullptr);
    auto* install = module.Get<TTestController>("Install1");
    auto* group = module.Get<TInstallFileGroup>("Group1");
    auto* pages = module.Get<TRecordingPage>("Pages");
    auto* groupPages = module.Get<TRecordingPage>("GroupPages");
    ASSERT_TRUE(install && group && pages && groupPages);
    // A stored job state starts nothing while the module streams.
    EXPECT_EQ(group->State(), fcsNone);
    EXPECT_FALSE(group->Installed());
    EXPECT_EQ(group->FileCount(), 4);
    EXPECT_EQ(group->Description()->Count(), 2);
    EXPECT_EQ(group->FileByName(dir + "\\SRC\\F300.TXT"), nullptr);  // another folder
    EXPECT_EQ(group->FileByName("SRC\\F300.TXT"), group->Files(1));
    install->SetArchiveFile(dir + "\\files.1");
    install->SetDestDir(dir + "\\dst");
    bool closedAborted = true;
    std::vector<int> fileDone;
    install->SetOnCloseCopyFileDlg([&](TInstallContainer*, bool WasAborted) { closedAborted = WasAborted; });
    install->SetOnStatus([&](TInstallObject*, int FilePercent, int) { fileDone.push_back(FilePercent); });

    for (int run = 0; run < 2; ++run) {
      SCOPED_TRACE(run);
      pages->TotalPercents.clear();
      groupPages->TotalPercents.clear();
      fileDone.clear();
      install->Install();
      EXPECT_FALSE(closedAborted);
      EXPECT_EQ(install->PredictedProcessBytes(), 1000 + 5 * 1024 * 1024);
      EXPECT_EQ(install->TotalBytesProcessed(), install->PredictedProcessBytes());
      // Both pages see one total that only grows and ends at 100 %.
      for (auto* p : {pages, groupPages}) {
        ASSERT_FALSE(p->TotalPercents.empty());
        EXPECT_TRUE(std::is_sorted(p->TotalPercents.begin(), p->TotalPercents.end()));
        EXPECT_EQ(p->TotalPercents.back(), 100);
      }
      EXPECT_EQ(ReadBytes(dir + "\\dst\\f300.txt"), Filled(300, 'b'));
      EXPECT_TRUE(ReadBytes(dir + "\\dst\\big.bin") == five);
      // The second run skips every file (same size and date): each counts
      // as done at once, at 100 %.
      if (run == 1) {
        EXPECT_EQ(fileDone, std::vector<int>({100, 100, 100, 100}));
        for (int i = 0; i < group->FileCount(); ++i) group->Files(i)->SetOverwriteMode(owNever);
      } else {
        for (int i = 0; i < group->FileCount(); ++i) group->Files(i)->SetOverwriteMode(owVersionDate);
      }
      EXPECT_EQ(GetRVStr(hkLocalMachine, RecordKey() + "\\Files", "Entries", ""), run == 0 ? "4" : "8");
    }
  }
  DeleteKey(hkLocalMachine, RecordKey());
  SetCurrentDirectoryA(cwd.c_str());
  RemoveTree(dir);
}

TEST(FileGroup, TotalsOfHandMadeReportsAndAnAbortedJob) {
  TTestController install(nullptr);
  install.SetName("Install1");
  install.FDistributeType = dtWeb;  // nothing downloaded: no archive is read
  std::vector<TInstallFile*> files;
  for (int size : {100, 300, 600}) {
    auto* f = new TInstallFile(nullptr);
    f->SetName("F" + IntToStr(size));
    f->SetFileName("f" + IntToStr(size));
    f->SetContainer(&install);
    f->SetSize(size);
    files.push_back(f);
  }
  std::vector<int> totals;
  bool aborted = false;
  install.SetOnStatus([&](TInstallObject*, int, int Total) { totals.push_back(Total); });
  install.SetOnCloseCopyFileDlg([&](TInstallContainer*, bool WasAborted) { aborted = WasAborted; });
  install.SetOnShowCopyFileDlg([&](TInstallContainer*) {
    TFileStatusParameter p;
    TEventParameterList list;
    list.Items = {files[0], &p};
    p.FileStats.Last = true;
    p.FileStats.IFSize = 100;
    install.DoInformationEventControl(files[0], eieInstallingFile, &list);
    p.FileStats = TlzhFileStats();
    p.FileBytesProcessed = 150;
    list.Items[0] = files[1];
    install.DoInformationEventControl(files[1], eieInstallingFile, &list);
    EXPECT_EQ(p.TotalBytesProcessed, 250);
    install.DoInformationEventControl(files[2], eieInstallFileAbortOlder, files[2]);
    EXPECT_THROW(install.DoInformationEventControl(files[2], eieInstallingFile, files[2]), IEFileContainer);
    // An exception that is no archive abort still ends the job as aborted.
    throw EAbort("");
  });
  install.Install();
  EXPECT_EQ(totals, std::vector<int>({0, 25, 70}));
  EXPECT_TRUE(aborted);
  EXPECT_EQ(install.State(), fcsNone);
  // Idle, the container drops the events.
  install.DoInformationEventControl(files[2], eieInstallingFile, files[2]);
  for (auto* f : files) delete f;
  DeleteKey(hkLocalMachine, RecordKey());
}

// ------------------------------------------------------------------ downloads

namespace {
class Download : public testing::Test {
protected:
  void SetUp() override {
    AbortDownload = false;
    UniqueInstallKey = "\\SOFTWARE\\Quillant\\Install\\InstallTest";
    DeleteKey(hkLocalMachine, UniqueInstallKey);
    FAnon = ftptest::Env("QNT_FTP_ANON_DIR");
    FPayload = std::string(700000, 'q');
    for (size_t i = 0; i < FPayload.size(); i += 7) FPayload[i] = static_cast<char>(i >> 3);
    FLocation = new TNetInstallLocation(nullptr);
    FLocation->SetName("Location");
    FLocation->LoginInformation()->SetHostname("127.0.0.1");
    FLocation->LoginInformation()->SetPort(ftptest::VsftpdPort());
    FGroup = new TInstallFileGroup(nullptr);
    FGroup->SetName("QntDownloaded");
    FGroup->SetNetLocation(FLocation);
  }
  void TearDown() override {
    delete FGroup;
    delete FLocation;
    DeleteKey(hkLocalMachine, UniqueInstallKey);
    UniqueInstallKey.clear();
    AbortDownload = false;
    if (!FAnon.empty()) RemoveFile(ftptest::UnixPath(FAnon + "/QntDownloaded.1"));
  }
  std::string Record() { return GetRVStr(hkLocalMachine, UniqueInstallKey + "\\QntDownloaded", "LocalFile", ""); }

  std::string FAnon, FPayload;
  TNetInstallLocation* FLocation = nullptr;
  TInstallFileGroup* FGroup = nullptr;
};
}  // namespace

TEST_F(Download, RecordAdoptionAbortAndFailure) {
  QNT_NEED_VSFTPD();
  // A failed transfer (the server has no such file) leaves nothing behind.
  EXPECT_THROW(FGroup->DownloadRemoteFile(), IENetInstallLocation);
  EXPECT_EQ(FGroup->NetArchiveFile(), "");
  EXPECT_FALSE(FGroup->DownloadedRemoteFile());
  EXPECT_EQ(Record(), "");

  WriteBytes(ftptest::UnixPath(FAnon + "/QntDownloaded.1"), FPayload);
  // Cancel from a progress handler: the partial file goes, nothing recorded.
  FGroup->SetOnDataReceived([&](TObject*, const std::string&, int32_t, int32_t, int32_t) { AbortDownload = true; });
  TNetInstallLocation aborted(nullptr);
  aborted.LoginInformation()->Assign(FLocation->LoginInformation());
  FGroup->SetNetLocation(&aborted);
  EXPECT_THROW(FGroup->DownloadRemoteFile(), EAIUserAbort);
  EXPECT_EQ(FGroup->NetArchiveFile(), "");
  EXPECT_EQ(Record(), "");
  AbortDownload = false;

  FGroup->SetOnDataReceived(nullptr);
  TNetInstallLocation fresh(nullptr);
  fresh.LoginInformation()->Assign(FLocation->LoginInformation());
  FGroup->SetNetLocation(&fresh);
  FGroup->DownloadRemoteFile();
  const std::string local = FGroup->NetArchiveFile();
  EXPECT_TRUE(SameText(ExtractFileExt(local), ".1"));
  EXPECT_FALSE(FileExists(ChangeFileExt(local, ".tmp")));  // no placeholder of the temporary name stays
  EXPECT_TRUE(ReadBytes(local) == FPayload);
  EXPECT_EQ(Record(), local);
  EXPECT_EQ(FGroup->GetNetArchive(), local);

  // A second run adopts the download with the server gone.
  TInstallFileGroup again(nullptr);
  again.SetName("QntDownloaded");
  TNetInstallLocation dead(nullptr);
  dead.LoginInformation()->SetHostname("127.0.0.1");
  dead.LoginInformation()->SetPort(ftptest::ClosedPort());
  again.SetNetLocation(&dead);
  again.DownloadRemoteFile();
  EXPECT_EQ(again.NetArchiveFile(), local);
  // Without a setup key there is no record to read or write.
  UniqueInstallKey.clear();
  TInstallFileGroup keyless(nullptr);
  keyless.SetName("QntDownloaded");
  EXPECT_FALSE(keyless.DownloadedRemoteFile());
  UniqueInstallKey = "\\SOFTWARE\\Quillant\\Install\\InstallTest";
  RemoveFile(local);
}

TEST(DownloadStatus, PercentagesHalfToEven) {
  TInstallFileGroup g(nullptr);
  std::vector<int> seen;
  TRecordingPage page(nullptr);
  page.SetContainer(&g);
  struct {
    int32_t total, size;
    int percent;
  } rows[] = {{1, 8, 12}, {3, 8, 38}, {1, 16, 6}, {5, 0, 0}};
  for (const auto& r : rows) {
    g.DoDataReceived(&g, "x.1", 1, r.total, r.size);
    ASSERT_FALSE(page.TotalPercents.empty());
    EXPECT_EQ(page.TotalPercents.back(), r.percent) << r.total << "/" << r.size;
  }
  (void)seen;
}
