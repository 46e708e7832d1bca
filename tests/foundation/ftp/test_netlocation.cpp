#include <gtest/gtest.h>

#include <windows.h>

#include "FtpTestSupport.h"
#include "classlib/SysUtils.h"
#include "common/TestSupport.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/ftp/cmp_TNetInstallLocation.h"
#include "foundation/translator/cmp_TTranslator.h"

using namespace ftptest;
using ftptest::Count;

TEST(LoginInformation, ValuesFilledInAndAssign) {
  TLoginInformation li;
  EXPECT_EQ(li.Port(), 21);
  EXPECT_TRUE(li.Passive());
  EXPECT_FALSE(li.Asynchronous());
  EXPECT_FALSE(li.FilledIn());
  li.SetDirectory("/pub");
  li.SetPort(2121);
  EXPECT_FALSE(li.FilledIn());
  li.SetHostname("   ");
  EXPECT_FALSE(li.FilledIn());
  li.SetUsername("joe");
  EXPECT_TRUE(li.FilledIn());
  TLoginInformation pw;
  pw.SetPassword("x");
  EXPECT_TRUE(pw.FilledIn());

  li.SetHostname("ftp.example");
  li.SetPassword("pw");
  li.SetPassive(false);
  li.SetAsynchronous(true);
  TLoginInformation copy;
  copy.Assign(&li);
  EXPECT_EQ(copy.Directory(), "/pub");
  EXPECT_EQ(copy.Hostname(), "ftp.example");
  EXPECT_EQ(copy.Password(), "pw");
  EXPECT_EQ(copy.Username(), "joe");
  EXPECT_EQ(copy.Port(), 2121);
  EXPECT_FALSE(copy.Passive());
  EXPECT_TRUE(copy.Asynchronous());
  TStringList other;
  EXPECT_THROW(copy.Assign(&other), EConvertError);

  TNetInstallLocation loc(nullptr);
  loc.SetLoginInformation(&li);
  EXPECT_EQ(loc.LoginInformation()->Username(), "joe");
  EXPECT_NE(loc.LoginInformation(), &li);
  EXPECT_EQ(loc.MyFTP()->Owner(), &loc);
}

TEST(LoginInformation, TheDefaultLocationExists) {
  ASSERT_NE(DefaultNetLocation, nullptr);
  EXPECT_EQ(DefaultNetLocation->Owner(), nullptr);
  EXPECT_FALSE(DefaultNetLocation->LoginInformation()->FilledIn());
}

namespace {

class NetLocation : public testing::Test {
protected:
  void SetUp() override {
    AbortDownload = false;
    FDir = testsupport::ScratchDir("netloc");
  }
  void TearDown() override {
    AbortDownload = false;
    testsupport::RemoveTree(FDir);
  }
  std::string Target(const std::string& Name) const { return FDir + "\\" + Name; }
  static void Point(TNetInstallLocation& l, uint16_t Port, const std::string& Dir = "") {
    l.LoginInformation()->SetHostname("127.0.0.1");
    l.LoginInformation()->SetPort(Port);
    l.LoginInformation()->SetDirectory(Dir);
  }
  template <class F>
  static std::string ExpectInstallError(F Body) {
    try {
      Body();
    } catch (const IENetInstallLocation& e) {
      return e.Message;
    }
    ADD_FAILURE() << "no IENetInstallLocation";
    return "";
  }
  std::string FDir;
};

}  // namespace

TEST_F(NetLocation, DownloadsFromVsftpdIntoFiles) {
  QNT_NEED_VSFTPD();
  TNetInstallLocation loc(nullptr);
  loc.SetName("Archives");
  Point(loc, VsftpdPort(), "/sub");
  loc.DownloadFile("hello.txt", Target("hello.txt"));
  EXPECT_EQ(ReadWholeFile(Target("hello.txt")), "hello\n");
  // A user login, files named under its directory.
  loc.LoginInformation()->SetUsername(Env("QNT_FTP_USER"));
  loc.LoginInformation()->SetPassword(Env("QNT_FTP_PASSWORD"));
  loc.LoginInformation()->SetDirectory("");
  loc.DownloadFile("private.bin", Target("p.bin"));
  EXPECT_TRUE(ReadWholeFile(Target("p.bin")) == ReadUnixFile(Env("QNT_FTP_USER_DIR") + "/private.bin"));

  std::string msg = ExpectInstallError([&] { loc.DownloadFile("none.bin", Target("none.bin")); });
  EXPECT_EQ(msg, Format(SFTPFileProcessError, {"Archives", "/none.bin", 550, "Failed to open file."}));
  EXPECT_FALSE(FileExists(Target("none.bin")));

  // A new password alone keeps the login it has; a new location logs in.
  TNetInstallLocation other(nullptr);
  other.SetLoginInformation(loc.LoginInformation());
  other.LoginInformation()->SetPassword("not it");
  msg = ExpectInstallError([&] { other.DownloadFile("private.bin", Target("q.bin")); });
  EXPECT_EQ(msg, Format(SFTPCouldNotLoginPassword, {"127.0.0.1", Env("QNT_FTP_USER")}));
  EXPECT_EQ(msg.find("not it"), std::string::npos);

  other.LoginInformation()->SetUsername(Env("QNT_FTP_DENIED_USER"));
  msg = ExpectInstallError([&] { other.DownloadFile("private.bin", Target("q.bin")); });
  EXPECT_EQ(msg, Format(SFTPCouldNotLoginUserName, {"127.0.0.1", Env("QNT_FTP_DENIED_USER")}));
  EXPECT_FALSE(FileExists(Target("q.bin")));
}

TEST_F(NetLocation, LoginFailuresOfTheConnection) {
  TNetInstallLocation loc(nullptr);
  Point(loc, ClosedPort());
  std::string msg = ExpectInstallError([&] { loc.DownloadFile("a.bin", Target("a.bin")); });
  EXPECT_EQ(msg, Format(SFTPCouldNotLogin, {"127.0.0.1", "ftp"}));
  // An unknown host keeps its own English message.
  loc.LoginInformation()->SetHostname(" ");
  try {
    loc.DownloadFile("a.bin", Target("a.bin"));
    FAIL();
  } catch (const EQlntFTPLogin_HostName& e) {
    EXPECT_EQ(e.Message, Format(SCannotFindHost, {" "}));
  }
}

TEST_F(NetLocation, ReusesItsLoginAndReportsProgress) {
  QNT_NEED_RESPONDER();
  Responder r(R"({"files": {"a.bin": 70000, "b.bin": 10}})");
  TNetInstallLocation loc(nullptr);
  loc.LoginInformation()->SetHostname("localhost");
  loc.LoginInformation()->SetPort(r.Port());
  loc.LoginInformation()->SetDirectory("/dist");
  int before = 0, after = 0;
  loc.SetOnBeforeLogin([&](TObject* s) {
    EXPECT_EQ(s, &loc);
    ++before;
  });
  loc.SetOnAfterLogin([&](TObject*) {
    ++after;
    EXPECT_EQ(before, after);
  });
  struct Call {
    std::string File;
    int32_t Bytes, Total, Size;
    bool operator==(const Call&) const = default;
  };
  std::vector<Call> first, second;
  loc.SetOnDataReceived([&](TObject* s, const std::string& f, int32_t b, int32_t t, int32_t z) {
    EXPECT_EQ(s, &loc);
    EXPECT_EQ(first.size(), second.size()) << "OnDataReceived comes first";
    first.push_back({f, b, t, z});
  });
  loc.SetOnDataReceivedNP([&](TObject*, const std::string& f, int32_t b, int32_t t, int32_t z) {
    second.push_back({f, b, t, z});
  });
  loc.DownloadFile("a.bin", Target("a.bin"));
  EXPECT_TRUE(ReadWholeFile(Target("a.bin")) == ResponderContent(70000));
  EXPECT_EQ(first, second);
  ASSERT_GE(first.size(), 3u);
  int32_t total = 0;
  for (const Call& c : first) {
    total += c.Bytes;
    EXPECT_EQ(c.Total, total);
    EXPECT_EQ(c.File, "/dist/a.bin");
    EXPECT_EQ(c.Size, 70000);
  }
  EXPECT_EQ(total, 70000);
  EXPECT_EQ(first.back().Bytes, 0);
  EXPECT_EQ(loc.TotalBytes(), 0);

  // The same host in other letters and the same user: the login stays.
  loc.LoginInformation()->SetHostname("LOCALHOST");
  loc.DownloadFile("b.bin", Target("b.bin"));
  EXPECT_EQ(ReadWholeFile(Target("b.bin")), ResponderContent(10));
  EXPECT_EQ(before, 1);
  // Another user: QUIT on the old session, then a new login.
  loc.LoginInformation()->SetUsername("other");
  loc.DownloadFile("b.bin", Target("c.bin"));
  EXPECT_EQ(before, 2);
  auto log = r.Log();
  EXPECT_EQ(Count(log, "CONNECT"), 2);
  ASSERT_EQ(Count(log, "USER"), 2);
  std::vector<std::string> seq;
  for (const auto& l : log)
    if (l.rfind("USER", 0) == 0 || l == "QUIT" || l == "CLOSED" || l.rfind("PASS", 0) == 0) seq.push_back(l);
  // A blank user name logs in anonymously.
  EXPECT_EQ(seq, (std::vector<std::string>{"USER ftp", std::string("PASS ") + DefaultFTPPassword, "QUIT", "CLOSED",
                                           "USER other", std::string("PASS ") + DefaultFTPPassword}));
  EXPECT_EQ(Count(log, "RETR /dist/b.bin"), 2);
}

TEST_F(NetLocation, AbortStoresNothing) {
  QNT_NEED_RESPONDER();
  Responder r(R"({"files": {"a.bin": 500000}, "chunk": 4096})");
  TNetInstallLocation loc(nullptr);
  Point(loc, r.Port());
  loc.SetOnDataReceived([](TObject*, const std::string&, int32_t b, int32_t, int32_t) {
    if (b > 0) AbortDownload = true;
  });
  loc.DownloadFile("a.bin", Target("a.bin"));
  EXPECT_TRUE(AbortDownload);
  EXPECT_FALSE(FileExists(Target("a.bin")));
  // The location is ready for the next download.
  AbortDownload = false;
  loc.SetOnDataReceived(nullptr);
  EXPECT_FALSE(loc.MyFTP()->Busy());
  loc.DownloadFile("a.bin", Target("a.bin"));
  EXPECT_TRUE(ReadWholeFile(Target("a.bin")) == ResponderContent(500000));
}

// What the setup's downloads take from a server that lies: the data
// connection goes to the server itself whatever its passive reply names; a
// file goes to its target as it arrives and stops past the size announced
// or the caller's bound, with a message that names the file (and, for a
// location without a name, the server) and no file left behind.
TEST_F(NetLocation, AServerIsHeldToItsWord) {
  QNT_NEED_RESPONDER();
  const int32_t big = 5000000;  // more than a download may hold in memory
  struct Row {
    const char* what;
    std::string scenario;
    int64_t maxBytes;
    int code;
    std::string error;  // "" when the file arrives whole
  } rows[] = {
      {"another address", R"({"files": {"a.bin": 5000000}, "pasv_host": "127.0.0.3"})", 0, 0, ""},
      {"no size", R"({"files": {"a.bin": 5000000}, "replies": {"SIZE": "550 No."}})", 0, 0, ""},
      {"longer than its size", R"({"files": {"a.bin": 100000}, "chunk": 4096, "replies": {"SIZE": "213 148"}})", 0,
       999, "The server sent more than the 148 bytes it announced for /d/a.bin"},
      {"past the caller's bound", R"({"files": {"a.bin": 100000}, "replies": {"SIZE": "550 No."}})", 1000, 999,
       "/d/a.bin is longer than 1000 bytes, the most this download may bring"},
      {"a refused file", R"({"replies": {"RETR": "550 Failed to open file."}})", 0, 550, "Failed to open file."},
  };
  for (const Row& row : rows) {
    Responder r(row.scenario);
    TNetInstallLocation loc(nullptr);
    Point(loc, r.Port(), "/d");
    const std::string file = Target("a.bin");
    int64_t onDisk = 0, total = 0;
    loc.SetOnDataReceived([&](TObject*, const std::string&, int32_t, int32_t Total, int32_t) {
      WIN32_FILE_ATTRIBUTE_DATA a{};
      if (GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &a)) onDisk = a.nFileSizeLow;
      total = Total;
    });
    if (row.error.empty()) {
      loc.DownloadFile("a.bin", file, row.maxBytes);
      EXPECT_TRUE(ReadWholeFile(file) == ResponderContent(big)) << row.what;
      // Written block by block: on disk at every report, never held whole.
      EXPECT_EQ(onDisk, total) << row.what;
      EXPECT_EQ(loc.MyFTP()->Stream()->Size(), 0) << row.what;
    } else {
      std::string msg = ExpectInstallError([&] { loc.DownloadFile("a.bin", file, row.maxBytes); });
      EXPECT_EQ(msg, Format(SFTPFileProcessError, {"127.0.0.1", "/d/a.bin", row.code, row.error})) << row.what;
      EXPECT_FALSE(FileExists(file)) << row.what;
    }
    RemoveFile(file);
    loc.MyFTP()->Logout();
    auto log = r.LogWhenClosed();
    const bool elsewhere = row.scenario.find("pasv_host") != std::string::npos;
    EXPECT_EQ(Count(log, "DATA 127.0.0.1"), elsewhere ? 1 : 0) << row.what;
    EXPECT_EQ(Count(log, "DATA 127.0.0.3"), 0) << row.what;
  }
}

TEST_F(NetLocation, FailuresLeaveNoFileBehind) {
  QNT_NEED_RESPONDER();
  {
    Responder r(R"({"files": {"a.bin": 100000}, "drop_after": 32512})");
    TNetInstallLocation loc(nullptr);
    loc.SetName("Net");
    Point(loc, r.Port(), "/d");
    std::string msg = ExpectInstallError([&] { loc.DownloadFile("a.bin", Target("a.bin")); });
    EXPECT_NE(msg.find("Net could not perform the operation on the file /d/a.bin. The server reported the error 999-"),
              std::string::npos)
        << msg;
    EXPECT_FALSE(FileExists(Target("a.bin")));
  }
  {
    // The target cannot be written: the class library's error passes on.
    Responder r(R"({"files": {"a.bin": 100}})");
    TNetInstallLocation loc(nullptr);
    Point(loc, r.Port());
    EXPECT_THROW(loc.DownloadFile("a.bin", Target("no such dir\\a.bin")), EStreamError);
    // ... and the client is not left busy by it.
    EXPECT_FALSE(loc.MyFTP()->Busy());
    loc.DownloadFile("a.bin", Target("a.bin"));
    EXPECT_TRUE(FileExists(Target("a.bin")));
  }
}

TEST_F(NetLocation, ALoginEndedByTheServerIsRenewedOnce) {
  QNT_NEED_RESPONDER();
  Responder r(R"({"files": {"a.bin": 1000}, "idle_timeout": 2})");
  TNetInstallLocation loc(nullptr);
  Point(loc, r.Port());
  int logins = 0;
  loc.SetOnBeforeLogin([&](TObject*) { ++logins; });
  loc.DownloadFile("a.bin", Target("a.bin"));
  Sleep(3500);  // the server says "421 Timeout." and closes
  loc.DownloadFile("a.bin", Target("b.bin"));
  EXPECT_EQ(ReadWholeFile(Target("b.bin")), ResponderContent(1000));
  EXPECT_EQ(logins, 2);
  EXPECT_EQ(Count(r.Log(), "USER"), 2);
}
