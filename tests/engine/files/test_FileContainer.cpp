// File containers: a group of real files installed from a real archive by a
// tree read from a text form resource, the running totals the pages see, and
// downloads of archives from the harness's vsftpd.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "classlib/SysUtils.h"
#include "common/TestSupport.h"
#include "engine/files/InstallFileFixtures.h"
#include "foundation/archive/archive_test_util.h"
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
      // The second run lists no file again.
      EXPECT_EQ(GetRVStr(hkLocalMachine, RecordKey() + "\\Files", "Entries", ""), "4");
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
  ASSERT_NE(Screen, nullptr);
  install.SetOnShowCopyFileDlg([&](TInstallContainer*) {
    // The hourglass of the job is the screen's cursor, which mouse moves keep.
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
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
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_EQ(totals, std::vector<int>({0, 25, 70}));
  EXPECT_TRUE(aborted);
  EXPECT_EQ(install.State(), fcsNone);
  // Idle, the container drops the events.
  install.DoInformationEventControl(files[2], eieInstallingFile, files[2]);
  for (auto* f : files) delete f;
  DeleteKey(hkLocalMachine, RecordKey());
}

// The copy job of a controller over an included and an excluded group, the
// sums over what is included, a group's refresh and the download question.
TEST(FileGroup, CopyJobSumsRefreshAndDownloadQuestion) {
  const std::string dir = ScratchDir("copyjob");
  CreateDirectoryA((dir + "\\src").c_str(), nullptr);
  TTestController install(nullptr);
  install.SetName("Install1");
  install.SetDestDirType(ddAbsolute);
  install.SetDestDir(dir + "\\dst");
  auto group = [&](const char* Name, bool Include) {
    auto* g = new TInstallFileGroup(nullptr);
    g->SetName(Name);
    g->SetContainer(&install);
    g->SetInclude(Include);
    return g;
  };
  std::unique_ptr<TInstallFileGroup> in(group("In", true)), out(group("Out", false));
  auto file = [&](TInstallFileGroup* G, const char* Name, int Size, int Packed, bool Include) {
    WriteBytes(dir + "\\src\\" + Name, Filled(Size, 'x'));
    auto* f = new TInstallFile(nullptr);  // freed with its group
    f->SetName(std::string("F") + Name[0]);
    f->SetIncludeFromDir(dir + "\\src");
    f->SetFileName(Name);
    f->SetContainer(G);
    f->SetInclude(Include);
    f->SetCompressedSize(Packed);
    return f;
  };
  TInstallFile* a = file(in.get(), "a.txt", 100, 10, true);
  TInstallFile* b = file(in.get(), "b.txt", 300, 30, false);
  TInstallFile* d = file(in.get(), "d.txt", 50, 5, true);
  file(out.get(), "c.txt", 600, 60, true);

  // A file whose source is gone leaves its group; the rest keep their order.
  RemoveFile(dir + "\\src\\d.txt");
  (void)d;
  in->Refresh();
  ASSERT_EQ(in->FileCount(), 2);
  EXPECT_EQ(in->Files(0), a);
  EXPECT_EQ(in->Files(1), b);

  TRecordingPage outPage(nullptr);
  outPage.SetContainer(out.get());
  std::vector<std::string> processed;
  for (TInstallFileGroup* g : {in.get(), out.get()}) {
    g->SetOnBeforeProcess([&processed, g](TInstallContainer*) { processed.push_back(g->Name() + ":before"); });
    g->SetOnAfterProcess([&processed, g](TInstallContainer*) { processed.push_back(g->Name() + ":after"); });
  }
  install.SetState(fcsCopy);
  EXPECT_EQ(install.State(), fcsNone);
  EXPECT_EQ(processed, (std::vector<std::string>{"In:before", "In:after", "Out:before"}));
  EXPECT_EQ(ReadBytes(dir + "\\dst\\a.txt"), Filled(100, 'x'));
  for (const char* absent : {"b.txt", "c.txt", "d.txt"}) EXPECT_FALSE(FileExists(dir + "\\dst\\" + absent)) << absent;
  EXPECT_EQ(outPage.Calls, std::vector<std::string>({"eccDoneCopyingFiles"}));
  EXPECT_EQ(install.PredictedProcessBytes(), 100);

  struct {
    bool literal;
    int32_t size, packed;
  } sums[] = {{false, 100, 10}, {true, 1000, 100}};
  for (const auto& r : sums) {
    EXPECT_EQ(install.GetSize(r.literal), r.size) << r.literal;
    EXPECT_EQ(install.GetCompressedSize(r.literal), r.packed) << r.literal;
  }

  // Only a file directly in the container counts, and only with Net, Include
  // and no location of its own, outside a traditional distribution.
  TNetInstallLocation own(nullptr);
  struct {
    TDistributeType type;
    std::function<void()> change;
    bool in, install;
  } asks[] = {
      {dtTraditional, [] {}, false, false},
      {dtWeb, [] {}, true, false},
      {dtTraditionalNet, [&] { a->SetNet(false); }, false, false},
      {dtTraditionalNet, [&] { b->SetInclude(true); }, true, false},
      {dtWeb, [&] { b->SetNetLocation(&own); }, false, false},
  };
  for (const auto& q : asks) {
    install.FDistributeType = q.type;
    q.change();
    EXPECT_EQ(in->WillNeedToDownloadFromNet(), q.in) << q.type;
    EXPECT_EQ(install.WillNeedToDownloadFromNet(), q.install) << q.type;
  }
  b->SetNetLocation(nullptr);
  DeleteKey(hkLocalMachine, RecordKey());
  RemoveTree(dir);
}

namespace {
// A disk drive whose disks take Capacity bytes each.
class TSmallDisks : public TQlntCompress {
public:
  using TQlntCompress::TQlntCompress;
  int64_t Capacity = 0;

protected:
  TStream* CreateVolume(const std::string& Name) override { return new archtest::TSmallVolume(Name, Capacity); }
};

// Spreads Archive over disks of Capacity bytes: volume N in Dir\dN.
void MakeDiskSet(const std::string& Archive, const std::string& Dir, int64_t Capacity) {
  TSmallDisks disks(nullptr);
  disks.Capacity = Capacity;
  ForceDirectories(Dir + "\\d1");
  disks.SetOnNewDisk([&](TQlntCompress*, int32_t Disk, std::string& Path) {
    Path = Dir + "\\d" + IntToStr(Disk);
    ForceDirectories(Path);
  });
  disks.SetCompressedFile(Archive);
  disks.CopyToDisk(Dir + "\\d1", "files.1");
}
}  // namespace

// An archive that lacks one of the files to install installs none of them,
// wherever it lies: beside the setup, inside setup.exe, a group's own one, or
// a disk set, whose first disk holds every header. A group not chosen needs
// nothing.
TEST(Distribution, AnArchiveLackingAFileInstallsNothing) {
  const std::string dir = ScratchDir("lacking"), src = dir + "\\src", dst = dir + "\\dst";
  CreateDirectoryA(src.c_str(), nullptr);
  const std::string noise = archtest::Payload(60000, 9);
  WriteBytes(src + "\\a.bin", noise);
  WriteBytes(src + "\\b.txt", "bee");
  WriteBytes(src + "\\c.txt", "sea");
  Pack(dir + "\\lacking.1", src, {"a.bin", "b.txt"});
  Pack(dir + "\\whole.1", src, {"a.bin", "b.txt", "c.txt"});
  Pack(dir + "\\own.1", src, {"a.bin"});
  const std::string lacking = ReadBytes(dir + "\\lacking.1"), head(4000, 'L');
  WriteBytes(dir + "\\setup.exe", head + lacking + std::string(56, '\0'));
  MakeDiskSet(dir + "\\lacking.1", dir + "\\lackingset", 8000);
  MakeDiskSet(dir + "\\whole.1", dir + "\\wholeset", 8000);
  ASSERT_TRUE(FileExists(dir + "\\wholeset\\d2\\files.2"));

  TTestController install(nullptr);
  install.SetName("Install1");
  install.SetArchiveFileType(ddAbsolute);
  std::vector<std::unique_ptr<TInstallFileGroup>> groups;
  for (const auto& names : {std::vector<const char*>{"a.bin", "b.txt"}, std::vector<const char*>{"c.txt"}}) {
    groups.emplace_back(new TInstallFileGroup(nullptr));
    groups.back()->SetName("G" + IntToStr(static_cast<int>(groups.size())));
    groups.back()->SetContainer(&install);
    for (const char* n : names) {
      auto* f = new TInstallFile(nullptr);  // freed with its group
      f->SetName(std::string("F") + n[0]);
      f->SetIncludeFromDir(src);
      f->SetFileName(n);
      f->SetContainer(groups.back().get());
      f->SetDestDirType(ddAbsolute);
      f->SetDestDir(dst);
    }
  }
  TInstallFileGroup* two = groups[1].get();
  std::vector<int> asked;
  install.SetOnNewDisk([&](TInstallObject*, int32_t Disk, std::string& Path) {
    asked.push_back(Disk);
    Path = ExtractFileDir(Path) + "\\d" + IntToStr(Disk);
  });
  struct {
    const char* what;
    std::string archive;  // the setup's own
    std::string own;      // the second group's own, when not blank
    bool twoChosen;
    std::string lacks;  // the archive named; blank: everything chosen installs
  } rows[] = {
      {"files.1 beside the setup", dir + "\\lacking.1", "", true, dir + "\\lacking.1"},
      {"files.1 inside setup.exe", dir + "\\setup.exe", "", true, dir + "\\setup.exe"},
      {"a group's own archive", dir + "\\whole.1", dir + "\\own.1", true, dir + "\\own.1"},
      {"a disk set, read from its first disk", dir + "\\lackingset\\d1\\files.1", "", true,
       dir + "\\lackingset\\d1\\files.1"},
      {"a whole disk set", dir + "\\wholeset\\d1\\files.1", "", true, ""},
      {"a group not chosen", dir + "\\lacking.1", "", false, ""},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    RemoveTree(dst);
    asked.clear();
    QlntCompress->SetCompressedFile("");  // no headers of another row's archive
    SelfExtractArchive = r.archive == dir + "\\setup.exe" ? r.archive : "";
    SelfExtractOffset = SelfExtractArchive.empty() ? 0 : static_cast<int32_t>(head.size());
    SelfExtractLast = SelfExtractArchive.empty() ? -1 : static_cast<int32_t>(head.size() + lacking.size() - 1);
    install.SetArchiveFile(r.archive);
    two->SetArchiveFileType(r.own.empty() ? ddContainerArchiveFile : ddAbsolute);
    two->SetArchiveFile(r.own);
    two->SetInclude(r.twoChosen);
    if (r.lacks.empty()) {
      EXPECT_NO_THROW(install.Install());
      EXPECT_TRUE(ReadBytes(dst + "\\a.bin") == noise);
      EXPECT_EQ(FileExists(dst + "\\c.txt"), r.twoChosen);
      EXPECT_EQ(asked.empty(), r.archive.find("set\\") == std::string::npos);  // a set asks for disk 2
      continue;
    }
    try {
      install.Install();
      ADD_FAILURE() << "installed";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, "The archive " + r.lacks + " does not hold the file " + src + "\\c.txt");
    }
    EXPECT_FALSE(FileExists(dst + "\\a.bin"));
    EXPECT_EQ(asked, std::vector<int>{});  // no other disk asked for
  }
  SelfExtractArchive.clear();
  SelfExtractOffset = 0;
  SelfExtractLast = -1;
  DeleteKey(hkLocalMachine, RecordKey());
  RemoveTree(dir);
}

// ------------------------------------------------------------------ downloads

namespace {
class Download : public testing::Test {
protected:
  void SetUp() override {
    AbortDownload = false;
    // The tests of this suite run side by side against one server and one
    // prefix: each has a file on the server and a setup key of its own.
    FName = std::string("Qnt") + testing::UnitTest::GetInstance()->current_test_info()->name();
    FKey = "\\SOFTWARE\\Quillant\\Install\\" + FName;
    UniqueInstallKey = FKey;
    DeleteKey(hkLocalMachine, UniqueInstallKey);
    FAnon = ftptest::Env("QNT_FTP_ANON_DIR");
    FPayload = std::string(700000, 'q');
    for (size_t i = 0; i < FPayload.size(); i += 7) FPayload[i] = static_cast<char>(i >> 3);
    FLocation = new TNetInstallLocation(nullptr);
    FLocation->SetName("Location");
    FLocation->LoginInformation()->SetHostname("127.0.0.1");
    FLocation->LoginInformation()->SetPort(ftptest::VsftpdPort());
    FGroup = new TInstallFileGroup(nullptr);
    FGroup->SetName(FName);
    FGroup->SetNetLocation(FLocation);
  }
  void TearDown() override {
    delete FGroup;
    delete FLocation;
    DeleteKey(hkLocalMachine, UniqueInstallKey);
    UniqueInstallKey.clear();
    AbortDownload = false;
    if (!FAnon.empty()) RemoveFile(ServerFile());
  }
  std::string Record() { return GetRVStr(hkLocalMachine, FKey + "\\" + FName, "LocalFile", ""); }
  // The group's two files from Dir\src, installed into Dir\dst, sized as the
  // file list gives them: the archive's first one (First, first.bin: "first"),
  // then Data (data.bin) of DataSize bytes.
  void AddFiles(const std::string& Dir, int32_t DataSize) {
    for (const char* name : {"First", "Data"}) {
      auto* file = new TInstallFile(nullptr);  // freed with the group
      file->SetName(name);
      file->SetIncludeFromDir(Dir + "\\src");
      file->SetFileName(name == std::string("First") ? "first.bin" : "data.bin");
      file->SetSize(name == std::string("First") ? 5 : DataSize);
      file->SetContainer(FGroup);
      file->SetDestDirType(ddAbsolute);
      file->SetDestDir(Dir + "\\dst");
    }
  }
  std::string ServerFile() { return ftptest::UnixPath(FAnon + "/" + FName + ".1"); }

  std::string FName, FKey, FAnon, FPayload;
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

  WriteBytes(ServerFile(), FPayload);
  // Cancel from a progress handler: the partial file goes, nothing recorded.
  FGroup->SetOnDataReceived([&](TObject*, const std::string&, int32_t, int32_t, int32_t) { AbortDownload = true; });
  TNetInstallLocation aborted(nullptr);
  aborted.LoginInformation()->Assign(FLocation->LoginInformation());
  FGroup->SetNetLocation(&aborted);
  EXPECT_THROW(FGroup->DownloadRemoteFile(), EAIUserAbort);
  EXPECT_EQ(FGroup->NetArchiveFile(), "");
  EXPECT_EQ(Record(), "");
  AbortDownload = false;

  // The same location downloads again after the cancel.
  FGroup->SetOnDataReceived(nullptr);
  FGroup->DownloadRemoteFile();
  const std::string local = FGroup->NetArchiveFile();
  EXPECT_TRUE(SameText(ExtractFileExt(local), ".1"));
  EXPECT_FALSE(FileExists(ChangeFileExt(local, ".tmp")));  // no placeholder of the temporary name stays
  EXPECT_TRUE(ReadBytes(local) == FPayload);
  EXPECT_EQ(Record(), local);
  EXPECT_EQ(FGroup->GetNetArchive(), local);

  // A second run adopts the download with the server gone.
  TInstallFileGroup again(nullptr);
  again.SetName(FName);
  TNetInstallLocation dead(nullptr);
  dead.LoginInformation()->SetHostname("127.0.0.1");
  dead.LoginInformation()->SetPort(ftptest::ClosedPort());
  again.SetNetLocation(&dead);
  again.DownloadRemoteFile();
  EXPECT_EQ(again.NetArchiveFile(), local);
  // Without a setup key there is no record to read or write.
  UniqueInstallKey.clear();
  TInstallFileGroup keyless(nullptr);
  keyless.SetName(FName);
  EXPECT_FALSE(keyless.DownloadedRemoteFile());
  UniqueInstallKey = FKey;
  RemoveFile(local);
}

// A download that cannot be read whole, or that is not the archive of the
// group's files, goes with its record: the next run (or, for an earlier run's
// download, this one) downloads it afresh. A fresh download cut short is
// checked whole before any file is taken from it.
TEST_F(Download, ADamagedArchiveIsFetchedAfresh) {
  QNT_NEED_VSFTPD();
  const std::string dir = ScratchDir("damaged");
  CreateDirectoryA((dir + "\\src").c_str(), nullptr);
  std::string payload(120000, '\0');
  uint32_t x = 12345;
  for (char& c : payload) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
  WriteBytes(dir + "\\src\\data.bin", payload);
  WriteBytes(dir + "\\src\\other.bin", "other");
  WriteBytes(dir + "\\src\\first.bin", "first");
  Pack(dir + "\\good.1", dir + "\\src", {"first.bin", "data.bin"});
  Pack(dir + "\\other.1", dir + "\\src", {"other.bin"});
  Pack(dir + "\\first.1", dir + "\\src", {"first.bin"});
  const std::string good = ReadBytes(dir + "\\good.1");
  std::string damaged = good;
  for (size_t i = good.size() / 2; i < good.size() / 2 + 64; ++i) damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
  // A downloaded archive is one file: the disk-set flag is damage at any size.
  std::string multi = good.substr(0, good.size() - 8);
  multi[4] = 1;
  std::string badName = good;
  badName[5 + 20] = static_cast<char>(101);  // the first name's length beyond its field

  TTestController install(nullptr);
  install.SetName("Install1");
  install.FDistributeType = dtWeb;
  FGroup->SetContainer(&install);
  // The archive's first file installs first, its last one is cut off.
  AddFiles(dir, static_cast<int32_t>(payload.size()));
  std::string downloaded;
  FGroup->SetOnDataReceived([&](TObject*, const std::string&, int32_t, int32_t, int32_t) {
    downloaded = FGroup->NetArchiveFile();
  });
  const std::string earlier = dir + "\\earlier.1";
  const std::string server = "/" + FName + ".1 downloaded from 127.0.0.1";
  struct Step {
    const char* what;
    std::string recorded;  // an earlier run's download, when not blank
    std::string served;
    bool installs;
    std::string says = {};  // in the message, which names the archive as the server has it
    bool firstInstalls = false;
  } steps[] = {
      // Damage inside an entry's data shows while inflating, after the
      // entries before it.
      {"a damaged download", "", damaged, false, "data.bin in the archive " + server + " (", true},
      {"a download cut short", "", good.substr(0, good.size() - 100), false,
       "The archive " + server + " is incomplete"},
      {"a download with the disk-set flag", "", multi, false, "The archive " + server + " is damaged"},
      {"a download with damaged headers", "", badName, false, "The archive " + server + " is damaged"},
      {"a download of some of the files", "", ReadBytes(dir + "\\first.1"), false,
       "The archive " + server + " does not hold the file " + dir + "\\src\\data.bin"},
      {"the good one after it", "", good, true},
      {"an earlier run's cut-off download", good.substr(0, good.size() - 100), good, true},
      {"an earlier run's download of other files", ReadBytes(dir + "\\other.1"), good, true},
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(st.what);
    RemoveFile(dir + "\\dst\\data.bin");
    RemoveFile(dir + "\\dst\\first.bin");
    downloaded.clear();
    if (!st.recorded.empty()) {
      WriteBytes(earlier, st.recorded);
      FGroup->RegisterAsDownloaded(earlier);
    }
    WriteBytes(ServerFile(), st.served);
    if (st.installs) {
      EXPECT_NO_THROW(install.Install());
      EXPECT_TRUE(ReadBytes(dir + "\\dst\\data.bin") == payload);
      EXPECT_TRUE(ReadBytes(Record()) == good);
    } else {
      try {
        install.Install();
        ADD_FAILURE() << "installed";
      } catch (const Exception& e) {
        EXPECT_NE(e.Message.find(st.says), std::string::npos) << e.Message;
        EXPECT_EQ(e.Message.find(downloaded), std::string::npos) << e.Message;
      }
      EXPECT_EQ(FileExists(dir + "\\dst\\first.bin"), st.firstInstalls);
    }
    if (!st.installs) {
      EXPECT_FALSE(FileExists(dir + "\\dst\\data.bin"));
      EXPECT_EQ(Record(), "");
      EXPECT_EQ(FGroup->NetArchiveFile(), "");
    }
    EXPECT_FALSE(downloaded.empty()) << "nothing was downloaded";
    if (!st.installs) {
      EXPECT_FALSE(FileExists(downloaded));
    }
    if (!st.recorded.empty()) {
      EXPECT_FALSE(FileExists(earlier));
    }
  }
  RemoveFile(Record());
  DeleteKey(hkLocalMachine, RecordKey());
  RemoveTree(dir);
}

// What the server did not damage stays: an earlier run's download that
// another program (a virus scanner) holds keeps its record and is taken once
// free, and a file the list has no record of is named as such, before
// anything is fetched. Nothing is installed before either is said.
TEST_F(Download, AHeldDownloadOrAFileTheListLacksIsNotTheArchivesFault) {
  QNT_NEED_VSFTPD();
  const std::string dir = ScratchDir("notdamaged");
  CreateDirectoryA((dir + "\\src").c_str(), nullptr);
  WriteBytes(dir + "\\src\\first.bin", "first");
  WriteBytes(dir + "\\src\\data.bin", "data");
  Pack(dir + "\\good.1", dir + "\\src", {"first.bin", "data.bin"});
  WriteBytes(ServerFile(), ReadBytes(dir + "\\good.1"));
  TTestController install(nullptr);
  install.SetName("Install1");
  install.FDistributeType = dtWeb;
  FGroup->SetContainer(&install);
  AddFiles(dir, 4);
  TCustomInstallFile* data = FGroup->Files(1);
  bool fetched = false;
  FGroup->SetOnDataReceived([&](TObject*, const std::string&, int32_t, int32_t, int32_t) { fetched = true; });
  const std::string earlier = dir + "\\earlier.1";
  TLoginInformation lists, none;
  lists.SetHostname("lists.example");
  lists.SetDirectory("/pub");
  DefaultNetLocation->SetLoginInformation(&lists);
  struct {
    const char* what;
    bool held, unlisted;
    std::string says;
  } rows[] = {
      {"an earlier run's download held by another program", true, false,
       "The archive /" + FName + ".1 downloaded from 127.0.0.1 cannot be opened as " + earlier + ": "},
      {"a file the list has no record of", false, true,
       "The remote list of files /pub/filelist.lst downloaded from lists.example has no record of the file " + dir +
           "\\src\\data.bin (Data)"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    RemoveTree(dir + "\\dst");
    fetched = false;
    CopyFileA((dir + "\\good.1").c_str(), earlier.c_str(), FALSE);
    if (r.held) FGroup->RegisterAsDownloaded(earlier);
    // Without a record the file keeps the size it had, none.
    data->SetMissingFromFileList(r.unlisted);
    data->SetSize(r.unlisted ? 0 : 4);
    HANDLE h = r.held ? CreateFileA(earlier.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                      : INVALID_HANDLE_VALUE;
    try {
      install.Install();
      ADD_FAILURE() << "installed";
    } catch (const Exception& e) {
      EXPECT_NE(e.Message.find(r.says), std::string::npos) << e.Message;
    }
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    EXPECT_FALSE(FileExists(dir + "\\dst\\first.bin"));
    EXPECT_FALSE(fetched);
    EXPECT_EQ(Record(), r.held ? earlier : "");
    data->SetMissingFromFileList(false);
    data->SetSize(4);
    // Free again, the same download installs; nothing is fetched for it.
    EXPECT_NO_THROW(install.Install());
    EXPECT_EQ(ReadBytes(dir + "\\dst\\data.bin"), "data");
    EXPECT_EQ(fetched, !r.held);
    FGroup->DiscardDownload();
  }
  DefaultNetLocation->SetLoginInformation(&none);
  DeleteKey(hkLocalMachine, RecordKey());
  RemoveTree(dir);
}

namespace {
class TCheckingGroup : public TInstallFileGroup {
public:
  using TInstallFileGroup::TInstallFileGroup;
  using TFileContainer::CheckDownload;
  using TFileContainer::TDownloadCheck;
};
}  // namespace

// What a downloaded archive is, read whole: the cause a failed install gives
// and whether the download goes. One that another program holds open is
// neither cut nor damaged.
TEST(DownloadCheck, WholeCutDamagedOrHeld) {
  const std::string dir = ScratchDir("check");
  CreateDirectoryA((dir + "\\src").c_str(), nullptr);
  WriteBytes(dir + "\\src\\a.bin", std::string(5000, 'a'));
  Pack(dir + "\\good.1", dir + "\\src", {"a.bin"});
  const std::string good = ReadBytes(dir + "\\good.1");
  std::string multi = good;
  multi[4] = 1;
  std::string badName = good;
  badName[5 + 20] = static_cast<char>(101);
  using C = TCheckingGroup::TDownloadCheck;
  struct {
    const char* what;
    std::string bytes;
    bool held;
    C check;
  } rows[] = {
      {"whole", good, false, C::Whole},
      {"cut in the data", good.substr(0, good.size() - 8), false, C::Incomplete},
      {"cut in the header", good.substr(0, 60), false, C::Incomplete},
      {"disk-set flag", multi, false, C::Damaged},
      {"name length beyond its field", badName, false, C::Damaged},
      {"held by another program", good, true, C::Unopenable},
  };
  TCheckingGroup group(nullptr);
  const std::string file = dir + "\\download.1";
  for (const auto& r : rows) {
    WriteBytes(file, r.bytes);
    HANDLE h = r.held ? CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                      : INVALID_HANDLE_VALUE;
    std::string reason;
    EXPECT_EQ(group.CheckDownload(file, reason), r.check) << r.what;
    EXPECT_EQ(reason.empty(), !r.held) << r.what << ": " << reason;
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    QlntCompress->SetCompressedFile("");
  }
  RemoveTree(dir);
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
