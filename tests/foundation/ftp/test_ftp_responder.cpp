// The client against the scripted responder: what a real server does only
// when something goes wrong.
#include <gtest/gtest.h>

#include <winsock.h>
#include <windows.h>

#include <thread>

#include "FtpTestSupport.h"
#include "classlib/SysUtils.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/ftp/cmp_TQlntFTP.h"

using namespace ftptest;

namespace {

class Scripted : public testing::Test {
protected:
  void SetUp() override {
    AbortDownload = false;
    QNT_NEED_RESPONDER();
  }
  void TearDown() override { AbortDownload = false; }
  static void Point(TQlntFTP& f, const Responder& r) {
    f.SetHostname("127.0.0.1");
    f.SetPort(r.Port());
  }
  // Runs Body expecting EQlntFTPCode with that code; returns its message.
  template <class F>
  static std::string ExpectCode(int Code, F Body) {
    try {
      Body();
    } catch (const EQlntFTPCode& e) {
      EXPECT_EQ(e.ErrorNumber, Code) << e.Message;
      return e.Message;
    }
    ADD_FAILURE() << "no EQlntFTPCode " << Code;
    return "";
  }
};

}  // namespace

TEST_F(Scripted, RefusedSizeCountsAsZero) {
  Responder r(R"({"files": {"a.bin": 70000}, "replies": {"SIZE": "500 SIZE not understood."}})");
  TQlntFTP f(nullptr);
  Point(f, r);
  TEventLog ev;
  ev.Attach(f);
  f.SetURI("a.bin");
  f.Download();
  EXPECT_EQ(f.Size(), 0);
  EXPECT_TRUE(StreamText(f.Stream()) == ResponderContent(70000));
  EXPECT_EQ(ev.Completions(), 1);
  // A SIZE answer that is no number counts as unknown too.
  Responder r2(R"({"files": {"a.bin": 10}, "replies": {"SIZE": "213 ten bytes"}})");
  TQlntFTP g(nullptr);
  Point(g, r2);
  g.SetURI("a.bin");
  g.Download();
  EXPECT_EQ(g.Size(), 0);
  EXPECT_EQ(g.Stream()->Size(), 10);
}

TEST_F(Scripted, LoginRefusalsAndTheirCommands) {
  {
    Responder r(R"({"replies": {"USER": "530 Permission denied."}})");
    TQlntFTP f(nullptr);
    Point(f, r);
    f.SetUsername("someone");
    try {
      f.Login();
      FAIL();
    } catch (const EQlntFTPLogin_UserName& e) {
      EXPECT_EQ(e.Message, "someone");
    }
    EXPECT_FALSE(f.LoggedIn());
    auto log = r.LogWhenClosed();
    EXPECT_EQ(Count(log, "USER someone"), 1);
    EXPECT_EQ(Count(log, "PASS"), 0);
  }
  {
    Responder r(R"({"replies": {"PASS": "530 Login incorrect."}})");
    TQlntFTP f(nullptr);
    Point(f, r);
    f.SetPassword("s3cret");
    try {
      f.Login();
      FAIL();
    } catch (const EQlntFTPLogin_Password& e) {
      EXPECT_EQ(e.Message.find("s3cret"), std::string::npos);
    }
    EXPECT_FALSE(f.LoggedIn());
    EXPECT_EQ(Count(r.LogWhenClosed(), "PASS s3cret"), 1);
  }
  {
    // A server that logs the user in at USER gets no password.
    Responder r(R"({"replies": {"USER": "230 Logged in, no password needed."}})");
    TQlntFTP f(nullptr);
    Point(f, r);
    f.Login();
    f.Logout();
    auto log = r.LogWhenClosed();
    EXPECT_EQ(Count(log, "PASS"), 0);
    EXPECT_EQ(Count(log, "TYPE I"), 1);
    EXPECT_EQ(Count(log, "QUIT"), 1);
  }
  {
    Responder r(R"({"greeting": ["421 Too many users."]})");
    TQlntFTP f(nullptr);
    Point(f, r);
    EXPECT_EQ(ExpectCode(421, [&] { f.Login(); }), "Too many users.");
    EXPECT_FALSE(f.LoggedIn());
  }
}

TEST_F(Scripted, MultiLineRepliesStayInStep) {
  Responder r(R"({"files": {"a.bin": 5},
    "greeting": ["220-Welcome", "this line has no code", " nor this", "220-", "220 Ready."],
    "replies": {"TYPE": "200-Switching\r\nno code here\r\n200 Done."}})");
  TQlntFTP f(nullptr);
  Point(f, r);
  f.Login();
  EXPECT_EQ(f.Status_number(), 200);
  EXPECT_EQ(f.Status_text(), "Switching");
  f.SetURI("a.bin");
  f.Download();
  EXPECT_EQ(f.Size(), 5);
  EXPECT_EQ(StreamText(f.Stream()), ResponderContent(5));

  // The whole of an error reply is read, so the next command's reply is its own.
  Responder e(R"({"files": {"a.bin": 5},
    "replies": {"RETR": "550-No such file\r\nreally not\r\n550 End."}})");
  TQlntFTP g(nullptr);
  Point(g, e);
  g.SetURI("a.bin");
  EXPECT_EQ(ExpectCode(550, [&] { g.Download(); }), "No such file");
  EXPECT_TRUE(g.LoggedIn());
  g.GetDir(".");
  EXPECT_EQ(g.Status_number(), 200);  // the TYPE I after the listing
  ASSERT_EQ(g.CurrentDirList().Count(), 1);
  EXPECT_NE(g.CurrentDirList()[0].find("a.bin"), std::string::npos);
}

TEST_F(Scripted, UnreadableAndHostileReplies) {
  {
    Responder r(R"({"greeting": ["abc"]})");
    TQlntFTP f(nullptr);
    Point(f, r);
    EXPECT_EQ(ExpectCode(999, [&] { f.Login(); }), "");
    EXPECT_FALSE(f.LoggedIn());
  }
  {
    // A reply line without end.
    Responder r(R"({"replies": {"USER": "331 )" + std::string(10000, 'x') + R"("}})");
    TQlntFTP f(nullptr);
    Point(f, r);
    DWORD t0 = GetTickCount();
    EXPECT_THROW(f.Login(), EQlntFTPLogin_UserName);
    EXPECT_LT(GetTickCount() - t0, 5000u);
    EXPECT_FALSE(f.LoggedIn());
  }
  {
    // Passive-mode numbers out of range: refused at once, no connection tried.
    Responder r(R"({"files": {"a.bin": 5}, "replies": {"PASV": "227 Entering Passive Mode (127,0,0,1,300,1)."}})");
    TQlntFTP f(nullptr);
    Point(f, r);
    f.SetURI("a.bin");
    std::string msg = ExpectCode(999, [&] { f.Download(); });
    EXPECT_NE(msg.find("(127,0,0,1,300,1)"), std::string::npos) << msg;
    EXPECT_FALSE(f.Busy());
    auto log = r.Log();
    EXPECT_EQ(Count(log, "RETR"), 0);
  }
  {
    Responder r(R"({"files": {"a.bin": 5}, "replies": {"PASV": "200 Not quite."}})");
    TQlntFTP f(nullptr);
    Point(f, r);
    f.SetURI("a.bin");
    EXPECT_EQ(ExpectCode(200, [&] { f.Download(); }), "Not quite.");
  }
  {
    // A command never carries a second line into the server.
    Responder r(R"({"files": {"a.bin": 5}})");
    TQlntFTP f(nullptr);
    Point(f, r);
    f.SetURI("a.bin\r\nDELE a.bin");
    EXPECT_THROW(f.Download(), EQlntFTP);
    f.Logout();
    EXPECT_EQ(Count(r.LogWhenClosed(), "DELE"), 0);
  }
}

TEST_F(Scripted, ConnectionDroppedAfterTheFirstBlock) {
  Responder r(R"({"files": {"a.bin": 200000}, "drop_after": 32512})");
  TQlntFTP f(nullptr);
  Point(f, r);
  TEventLog ev;
  ev.Attach(f);
  f.SetURI("a.bin");
  ExpectCode(999, [&] { f.Download(); });
  EXPECT_EQ(ev.Completions(), 0);
  EXPECT_FALSE(f.Busy());
  EXPECT_FALSE(f.LoggedIn()) << "a lost control connection is no login";
  EXPECT_TRUE(f.ConnectionLost());
}

TEST_F(Scripted, TruncatedTransferIsNoFile) {
  Responder r(R"({"files": {"a.bin": 100000}, "short_by": 1000})");
  TQlntFTP f(nullptr);
  Point(f, r);
  TEventLog ev;
  ev.Attach(f);
  f.SetURI("a.bin");
  std::string msg = ExpectCode(999, [&] { f.Download(); });
  EXPECT_NE(msg.find("99000 of 100000"), std::string::npos) << msg;
  EXPECT_EQ(ev.Completions(), 0);
  EXPECT_FALSE(f.Busy());
  // The session itself is still in step.
  EXPECT_TRUE(f.LoggedIn());
  f.GetDir(".");
  EXPECT_EQ(f.CurrentDirList().Count(), 1);
}

TEST_F(Scripted, StalledServersAreBounded) {
  {
    Responder r(R"({"files": {"a.bin": 100000}, "stall_data": true})");
    TQlntFTP f(nullptr);
    Point(f, r);
    f.SetTimeout(1500);
    f.SetURI("a.bin");
    DWORD t0 = GetTickCount();
    ExpectCode(999, [&] { f.Download(); });
    EXPECT_LT(GetTickCount() - t0, 6000u);
    EXPECT_FALSE(f.Busy());
    EXPECT_FALSE(f.LoggedIn());
  }
  {
    Responder r(R"({"replies": {"TYPE": ""}})");
    TQlntFTP f(nullptr);
    Point(f, r);
    f.SetTimeout(1500);
    DWORD t0 = GetTickCount();
    std::string msg = ExpectCode(999, [&] { f.Login(); });
    EXPECT_NE(msg.find("did not answer"), std::string::npos) << msg;
    EXPECT_LT(GetTickCount() - t0, 6000u);
    EXPECT_FALSE(f.LoggedIn());
  }
  {
    // A cancel reaches a download whose server went silent.
    Responder r(R"({"files": {"a.bin": 100000}, "stall_data": true})");
    TQlntFTP f(nullptr);
    Point(f, r);
    f.SetURI("a.bin");
    std::thread t([] {
      Sleep(700);
      AbortDownload = true;
    });
    DWORD t0 = GetTickCount();
    f.Download();
    t.join();
    EXPECT_LT(GetTickCount() - t0, 5000u);
    EXPECT_TRUE(f.Busy());
    f.Logout();
    EXPECT_FALSE(f.Busy());
  }
}

TEST_F(Scripted, AbortCommand) {
  auto busyClient = [](TQlntFTP& f) {
    int blocks = 0;
    f.SetOnDataReceived([&blocks](TObject*, TFTPMode, int32_t n) {
      if (n > 0 && ++blocks == 1) AbortDownload = true;
    });
    f.SetURI("a.bin");
    f.Download();
    AbortDownload = false;
    f.SetOnDataReceived(nullptr);
    ASSERT_TRUE(f.Busy());
  };
  {
    Responder r(R"({"files": {"a.bin": 400000}, "chunk": 4096, "hold_after": 65536})");
    TQlntFTP f(nullptr);
    Point(f, r);
    f.Abort();  // not busy: nothing happens
    busyClient(f);
    f.Abort();  // 426, then 226
    EXPECT_FALSE(f.Busy());
    EXPECT_EQ(f.Status_number(), 226);
    f.Logout();
    auto log = r.LogWhenClosed();
    EXPECT_EQ(Count(log, "ABOR"), 1);
    EXPECT_EQ(Count(log, "QUIT"), 1);
  }
  {
    Responder r(R"({"files": {"a.bin": 400000}, "chunk": 4096, "hold_after": 65536, "abor": "500 No."})");
    TQlntFTP f(nullptr);
    Point(f, r);
    busyClient(f);
    EXPECT_EQ(ExpectCode(500, [&] { f.Abort(); }), "No.");
    EXPECT_TRUE(f.Busy());
    // Logging out tries the abort again, and ends the session whatever it says.
    f.Logout();
    EXPECT_FALSE(f.LoggedIn());
    EXPECT_FALSE(f.Busy());
  }
}

TEST_F(Scripted, LogoutNeverRaises) {
  Responder r(R"({"replies": {"QUIT": "500 What?"}})");
  TQlntFTP f(nullptr);
  Point(f, r);
  f.Login();
  EXPECT_NO_THROW(f.Logout());
  EXPECT_FALSE(f.LoggedIn());
  f.Login();
  EXPECT_TRUE(f.LoggedIn());
}

// A server blocked on sending reads no ABOR: the client breaks the data
// connection off first, reads 426 and ABOR's own reply, and stays in step.
TEST_F(Scripted, AbortBehindAServerBlockedOnSending) {
  Responder r(R"({"files": {"big.bin": 25000000, "small.bin": 1000}, "block_send": true})");
  TQlntFTP f(nullptr);
  Point(f, r);
  // Generous for a loaded machine: the fixed client never waits it out.
  f.SetTimeout(15000);
  int blocks = 0;
  f.SetOnDataReceived([&blocks](TObject*, TFTPMode, int32_t n) {
    if (n > 0 && ++blocks == 1) AbortDownload = true;
  });
  f.SetURI("big.bin");
  f.Download();
  AbortDownload = false;
  f.SetOnDataReceived(nullptr);
  ASSERT_TRUE(f.Busy());
  EXPECT_NO_THROW(f.Abort());
  EXPECT_FALSE(f.Busy());
  EXPECT_EQ(f.Status_number(), 225);
  f.SetURI("small.bin");
  f.Download();
  EXPECT_TRUE(StreamText(f.Stream()) == ResponderContent(1000));
  f.Logout();
  EXPECT_EQ(Count(r.LogWhenClosed(), "ABOR"), 1);
}

// 421 is the server ending the session: at any step the login ends and the
// server's words reach the error.
TEST_F(Scripted, ServiceClosingEndsTheLoginAtAnyStep) {
  for (const char* verb : {"USER", "PASS", "TYPE", "SIZE", "PASV", "RETR"}) {
    Responder r(std::string(R"({"files": {"a.bin": 100}, "replies": {")") + verb +
                R"(": "421 Too many users, closing."}})");
    TQlntFTP f(nullptr);
    Point(f, r);
    f.SetURI("a.bin");
    EXPECT_EQ(ExpectCode(421, [&] { f.Download(); }), "Too many users, closing.") << verb;
    EXPECT_FALSE(f.LoggedIn()) << verb;
    EXPECT_FALSE(f.Busy()) << verb;
  }
}

// Connecting and sending wait no longer than Timeout: a listener whose queue
// is full never completes a connection, and a server that takes no upload
// data never frees the send buffers.
TEST_F(Scripted, ConnectingAndSendingAreBounded) {
  ASSERT_TRUE(StartTCPIP());
  SOCKET l = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(l, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(l, 1), 0);
  int len = sizeof a;
  getsockname(l, reinterpret_cast<sockaddr*>(&a), &len);
  std::vector<SOCKET> fillers;
  for (int i = 0; i < 4; ++i) {
    SOCKET c = socket(AF_INET, SOCK_STREAM, 0);
    u_long nb = 1;
    ioctlsocket(c, FIONBIO, &nb);
    connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
    fillers.push_back(c);
  }
  Sleep(300);
  {
    TQlntFTP f(nullptr);
    f.SetHostname("127.0.0.1");
    f.SetPort(ntohs(a.sin_port));
    f.SetTimeout(1500);
    DWORD t0 = GetTickCount();
    EXPECT_THROW(f.Login(), EQlntSocketLogin);
    EXPECT_LT(GetTickCount() - t0, 10000u);
    EXPECT_FALSE(f.LoggedIn());
  }
  for (SOCKET c : fillers) closesocket(c);
  closesocket(l);

  Responder r(R"({"replies": {"STOR": "150 Ok to send data."}})");
  TQlntFTP f(nullptr);
  Point(f, r);
  f.SetTimeout(1500);
  std::string data(32 * 1024 * 1024, 'u');
  f.Stream()->WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  f.SetURI("up.bin");
  std::string msg = ExpectCode(999, [&] { f.Upload(); });
  EXPECT_NE(msg.find("took no data"), std::string::npos) << msg;
  EXPECT_FALSE(f.Busy());
  EXPECT_FALSE(f.LoggedIn());
}

// A passive reply that names another address than the server's own is
// followed to its port only: every data connection goes to the control
// connection's peer.
TEST_F(Scripted, ThePassiveReplysAddressIsNeverFollowed) {
  Responder r(R"({"files": {"a.bin": 70000}, "pasv_host": "127.0.0.2"})");
  TQlntFTP f(nullptr);
  Point(f, r);
  f.SetURI("a.bin");
  f.Download();
  EXPECT_TRUE(StreamText(f.Stream()) == ResponderContent(70000));
  f.GetDir(".");
  EXPECT_EQ(f.CurrentDirList().Count(), 1);
  f.Stream()->Clear();
  f.Stream()->WriteBuffer("up", 2);
  f.SetURI("up.bin");
  f.Upload();
  f.Logout();
  auto log = r.LogWhenClosed();
  EXPECT_EQ(Count(log, "DATA 127.0.0.1"), 3);
  EXPECT_EQ(Count(log, "DATA 127.0.0.2"), 0);
}

// What a transfer may bring: no more than the size the server announced, nor
// than the caller's bound; without a size, a download held in memory and a
// listing stop at a few MB, and a download into the caller's stream goes on.
TEST_F(Scripted, TransfersStayWithinTheirBounds) {
  const int64_t unsized = ftpreply::MaxUnsizedInMemory;
  struct Row {
    const char* what;
    std::string scenario;
    bool toTarget, listing;
    int64_t maxBytes;
    std::string error;  // "" when the transfer completes
  } rows[] = {
      {"longer than SIZE", R"({"files": {"a.bin": 1000000}, "replies": {"SIZE": "213 148"}})", false, false, 0,
       "The server sent more than the 148 bytes it announced for a.bin"},
      {"longer than SIZE, to a stream", R"({"files": {"a.bin": 1000000}, "replies": {"SIZE": "213 40000"}})", true,
       false, 0, "The server sent more than the 40000 bytes it announced for a.bin"},
      {"no SIZE, in memory", R"({"files": {"a.bin": 5000000}, "replies": {"SIZE": "550 No."}})", false, false, 0,
       Format("a.bin is longer than %d bytes, the most this download may bring", {unsized})},
      {"no SIZE, to a stream", R"({"files": {"a.bin": 5000000}, "replies": {"SIZE": "550 No."}})", true, false, 0, ""},
      {"the caller's bound", R"({"files": {"a.bin": 5000}})", true, false, 1000,
       "a.bin is longer than 1000 bytes, the most this download may bring"},
      {"a listing of one long line", R"({"list_bytes": 5000000})", false, true, 0,
       Format("The listing of . is longer than %d bytes", {unsized})},
  };
  for (const Row& row : rows) {
    Responder r(row.scenario);
    TQlntFTP f(nullptr);
    Point(f, r);
    TMemoryStream target;
    if (row.toTarget) f.SetDownloadTarget(&target);
    f.SetMaxTransferSize(row.maxBytes);
    TEventLog ev;
    ev.Attach(f);
    f.SetURI("a.bin");
    auto run = [&] { row.listing ? f.GetDir(".") : f.Download(); };
    if (row.error.empty()) {
      run();
      EXPECT_TRUE(StreamText(&target) == ResponderContent(5000000)) << row.what;
      EXPECT_EQ(f.Stream()->Size(), 0) << row.what << ": held in memory besides";
      continue;
    }
    EXPECT_EQ(ExpectCode(999, run), row.error) << row.what;
    EXPECT_EQ(ev.Completions(), 0) << row.what;
    EXPECT_LE(ev.DataSum(), row.maxBytes ? row.maxBytes : unsized) << row.what;
    EXPECT_FALSE(f.Busy()) << row.what;
    // The server's closing reply is unread: the session ends with it.
    EXPECT_FALSE(f.LoggedIn()) << row.what;
  }
}
