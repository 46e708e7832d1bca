// The client against a real vsftpd on 127.0.0.1 (started by the harness).
#include <gtest/gtest.h>

#include <windows.h>

#include "FtpTestSupport.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/ftp/cmp_TQlntFTP.h"

using namespace ftptest;

namespace {

class Vsftpd : public testing::Test {
protected:
  void SetUp() override {
    AbortDownload = false;
    QNT_NEED_VSFTPD();
  }
  void TearDown() override { AbortDownload = false; }
  static void Anonymous(TQlntFTP& f) {
    f.SetHostname("127.0.0.1");
    f.SetPort(VsftpdPort());
  }
  static void User(TQlntFTP& f) {
    Anonymous(f);
    f.SetUsername(Env("QNT_FTP_USER"));
    f.SetPassword(Env("QNT_FTP_PASSWORD"));
  }
  // Downloads Name and checks the bytes, the size and the events.
  static void CheckDownload(TQlntFTP& f, const std::string& Name) {
    std::string expected = ReadUnixFile(Env("QNT_FTP_ANON_DIR") + "/" + Name);
    TEventLog ev;
    ev.Attach(f);
    f.SetURI(Name);
    f.Download();
    EXPECT_FALSE(f.Busy());
    EXPECT_EQ(f.Size(), static_cast<int32_t>(expected.size()));
    EXPECT_EQ(f.Stream()->Position(), 0);
    EXPECT_TRUE(StreamText(f.Stream()) == expected) << Name << ": the bytes differ";
    // Blocks with data, then a zero count at the end of the data and one
    // more when the finish drains the connection, then the completion while
    // the client is still busy.
    ASSERT_GE(ev.Entries.size(), 3u);
    EXPECT_EQ(ev.DataSum(), static_cast<int64_t>(expected.size()));
    EXPECT_EQ(ev.Completions(), 1);
    size_t n = ev.Entries.size();
    const auto& last = ev.Entries[n - 1];
    EXPECT_TRUE(last.Complete);
    EXPECT_EQ(last.Mode, fmDownload);
    EXPECT_TRUE(last.Busy);
    for (size_t i : {n - 3, n - 2}) {
      EXPECT_FALSE(ev.Entries[i].Complete);
      EXPECT_EQ(ev.Entries[i].Bytes, 0);
    }
    for (size_t i = 0; i + 3 < n; ++i) {
      EXPECT_GT(ev.Entries[i].Bytes, 0);
      EXPECT_LE(ev.Entries[i].Bytes, BufferSize);
      EXPECT_EQ(ev.Entries[i].Mode, fmDownload);
      EXPECT_TRUE(ev.Entries[i].Busy);
    }
  }
};

}  // namespace

TEST_F(Vsftpd, DownloadsOfEverySize) {
  TQlntFTP f(nullptr);
  Anonymous(f);
  EXPECT_EQ(f.Username(), "ftp");
  EXPECT_EQ(f.Password().size(), 14u);
  f.Login();
  EXPECT_TRUE(f.LoggedIn());
  // The banner's reply of several lines was read whole: the next commands
  // are in step.
  for (const char* name : {"empty.bin", "block1.bin", "block3.bin", "odd.bin", "big.bin"}) CheckDownload(f, name);
  f.Logout();
  EXPECT_FALSE(f.LoggedIn());
}

TEST_F(Vsftpd, DownloadLogsInWhenNeededAndEmptyURIStopsThere) {
  TQlntFTP f(nullptr);
  Anonymous(f);
  f.Download();  // no URI: a login and nothing else
  EXPECT_TRUE(f.LoggedIn());
  EXPECT_EQ(f.Status_number(), 200);  // the reply to TYPE I
  f.SetURI("/sub/hello.txt");
  f.Download();
  EXPECT_EQ(StreamText(f.Stream()), "hello\n");
}

TEST_F(Vsftpd, ActiveAndAsynchronousTransfers) {
  TQlntFTP f(nullptr);
  Anonymous(f);
  f.SetPassive(false);
  CheckDownload(f, "odd.bin");
  f.SetPassive(true);
  f.SetAsynchronous(true);
  std::string expected = ReadUnixFile(Env("QNT_FTP_ANON_DIR") + "/big.bin");
  TEventLog ev;
  ev.Attach(f);
  f.SetURI("big.bin");
  f.Download();
  EXPECT_FALSE(f.Busy());
  EXPECT_TRUE(StreamText(f.Stream()) == expected);
  EXPECT_EQ(ev.DataSum(), static_cast<int64_t>(expected.size()));
  EXPECT_EQ(ev.Completions(), 1);
  EXPECT_FALSE(f.Async());
  // Listings both ways.
  f.GetDir("sub");
  ASSERT_EQ(f.CurrentDirList().Count(), 1);
  EXPECT_NE(f.CurrentDirList()[0].find("hello.txt"), std::string::npos);
  f.SetAsynchronous(false);
  f.SetPassive(false);
  f.GetDir("sub");
  ASSERT_EQ(f.CurrentDirList().Count(), 1);
  EXPECT_NE(f.CurrentDirList()[0].find("hello.txt"), std::string::npos);
  EXPECT_FALSE(f.Busy());
}

TEST_F(Vsftpd, LoginFailures) {
  {
    TQlntFTP f(nullptr);
    User(f);
    f.SetPassword("wrong password");
    try {
      f.Login();
      FAIL() << "a wrong password logged in";
    } catch (const EQlntFTPLogin_Password& e) {
      EXPECT_EQ(e.Message.find("wrong password"), std::string::npos) << "the password shows in: " << e.Message;
      EXPECT_NE(e.Message.find("Login incorrect"), std::string::npos) << e.Message;
    }
    // A failed login leaves nothing half open: the next one works.
    EXPECT_FALSE(f.LoggedIn());
    f.SetPassword(Env("QNT_FTP_PASSWORD"));
    f.Login();
    EXPECT_TRUE(f.LoggedIn());
  }
  {
    TQlntFTP f(nullptr);
    User(f);
    f.SetUsername(Env("QNT_FTP_DENIED_USER"));
    try {
      f.Login();
      FAIL() << "a denied user logged in";
    } catch (const EQlntFTPLogin_UserName& e) {
      EXPECT_EQ(e.Message, Env("QNT_FTP_DENIED_USER"));
    }
    EXPECT_FALSE(f.LoggedIn());
  }
  {
    TQlntFTP f(nullptr);
    f.SetHostname("");
    EXPECT_THROW(f.Login(), EQlntFTPLogin_HostName);
  }
}

TEST_F(Vsftpd, RefusedRetrieveLeavesTheClientUsable) {
  TQlntFTP f(nullptr);
  Anonymous(f);
  f.SetURI("missing.bin");
  try {
    f.Download();
    FAIL() << "a missing file downloaded";
  } catch (const EQlntFTPCode& e) {
    EXPECT_EQ(e.ErrorNumber, 550);
    EXPECT_EQ(e.Message, "Failed to open file.");
  }
  EXPECT_EQ(f.Size(), 0);  // SIZE was refused too
  EXPECT_FALSE(f.Busy());
  EXPECT_EQ(f.Socket(), NoSocket) << "the data connection of the refused transfer is closed";
  EXPECT_TRUE(f.LoggedIn());
  CheckDownload(f, "block1.bin");
}

TEST_F(Vsftpd, AbortAfterTheFirstBlock) {
  const size_t logStart = VsftpdLogSize();
  TQlntFTP f(nullptr);
  Anonymous(f);
  int blocks = 0;
  f.SetOnDataReceived([&](TObject*, TFTPMode, int32_t Bytes) {
    if (Bytes > 0 && ++blocks == 1) AbortDownload = true;
  });
  bool completed = false;
  f.SetOnActionComplete([&](TObject*, TFTPMode) { completed = true; });
  f.SetURI("abort.bin");
  f.Download();  // returns quietly
  EXPECT_EQ(blocks, 1);
  EXPECT_FALSE(completed);
  EXPECT_TRUE(f.Busy());
  try {
    f.Download();
    FAIL() << "a busy client started a second download";
  } catch (const EQlntFTPBusy& e) {
    EXPECT_EQ(e.Message, Format(SFTPBusy, {"Download"}));
  }
  EXPECT_THROW(f.GetDir("."), EQlntFTPBusy);
  EXPECT_THROW(f.Upload(), EQlntFTPBusy);
  DWORD t0 = GetTickCount();
  f.Logout();
  EXPECT_LT(GetTickCount() - t0, 2000u) << "the logout after an abort does not wait for the server";
  EXPECT_FALSE(f.LoggedIn());
  EXPECT_FALSE(f.Busy());
  // This test's one session, in what the log gained during the test.
  auto pids = VsftpdPidsWith("\"RETR abort.bin\"", logStart);
  ASSERT_EQ(pids.size(), 1u);
  EXPECT_TRUE(WaitVsftpdLine(pids[0], "\"QUIT\"", logStart)) << "no QUIT reached the server";
}

// Abort with the data connection open, behind a server blocked on sending a
// file larger than the socket buffers: the client breaks the transfer off,
// reads what ABOR causes, and the next command gets its own reply.
TEST_F(Vsftpd, AbortBehindAServerBlockedOnSending) {
  TQlntFTP f(nullptr);
  Anonymous(f);
  f.SetTimeout(10000);
  int blocks = 0;
  f.SetOnDataReceived([&](TObject*, TFTPMode, int32_t Bytes) {
    if (Bytes > 0 && ++blocks == 1) AbortDownload = true;
  });
  f.SetURI("blocked.bin");
  f.Download();
  AbortDownload = false;
  f.SetOnDataReceived(nullptr);
  ASSERT_TRUE(f.Busy());
  EXPECT_NO_THROW(f.Abort());
  EXPECT_FALSE(f.Busy());
  EXPECT_TRUE(f.LoggedIn());
  CheckDownload(f, "odd.bin");
  f.Logout();
}

TEST_F(Vsftpd, DestroyAfterADownloadSaysGoodbye) {
  const size_t logStart = VsftpdLogSize();
  auto* f = new TQlntFTP(nullptr);
  Anonymous(*f);
  f->SetURI("quit.bin");
  f->Download();
  delete f;
  auto pids = VsftpdPidsWith("\"RETR quit.bin\"", logStart);
  ASSERT_EQ(pids.size(), 1u);
  EXPECT_TRUE(WaitVsftpdLine(pids[0], "\"QUIT\"", logStart));
  EXPECT_TRUE(WaitVsftpdLine(pids[0], "\"221 Goodbye.\"", logStart));
}

TEST_F(Vsftpd, UploadAndListing) {
  TQlntFTP f(nullptr);
  User(f);
  std::string data = ResponderContent(70000);
  f.Stream()->WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  std::vector<TFTPMode> completed;
  f.SetOnActionComplete([&](TObject*, TFTPMode m) {
    completed.push_back(m);
    EXPECT_TRUE(f.Busy());
  });
  std::string name = "incoming/up" + std::to_string(GetCurrentProcessId()) + ".bin";
  f.SetURI(name);
  f.Upload();
  EXPECT_FALSE(f.Busy());
  EXPECT_EQ(f.Size(), 70000);
  EXPECT_TRUE(ReadUnixFile(Env("QNT_FTP_USER_DIR") + "/" + name) == data);

  f.GetDir("incoming");
  EXPECT_FALSE(f.Busy());
  bool found = false;
  for (int i = 0; i < f.CurrentDirList().Count(); ++i)
    found = found || f.CurrentDirList()[i].find(name.substr(9)) != std::string::npos;
  EXPECT_TRUE(found) << f.CurrentDirList().Text();
  EXPECT_EQ(completed, (std::vector<TFTPMode>{fmUpload, fmGetDir}));
  // The listing switched to text; the client is back in binary: a download
  // of the user's file arrives byte for byte.
  EXPECT_EQ(f.Status_number(), 200);
  f.SetURI("private.bin");
  f.Download();
  EXPECT_TRUE(StreamText(f.Stream()) == ReadUnixFile(Env("QNT_FTP_USER_DIR") + "/private.bin"));
}

TEST_F(Vsftpd, ActionRunsTheWholeCycle) {
  TQlntFTP f(nullptr);
  Anonymous(f);
  f.SetMode(fmGetDir);
  f.Action();
  EXPECT_FALSE(f.LoggedIn());
  EXPECT_GE(f.CurrentDirList().Count(), 5);
  f.SetMode(fmDownload);
  f.SetURI("sub/hello.txt");
  f.Action();
  EXPECT_EQ(StreamText(f.Stream()), "hello\n");
}
