#include <gtest/gtest.h>

#include <winsock.h>
#include <windows.h>

#include <functional>
#include <thread>

#include "FtpTestSupport.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/ftp/cmp_TQlntFTP.h"
#include "foundation/ftp/cmp_TQlntTCPIP.h"

namespace {

// The socket component with its host and port reachable.
class TestSocket : public TQlntSocket {
public:
  using TQlntSocket::TQlntSocket;
  void Target(const std::string& Host, uint16_t Port) {
    FHostName = Host;
    FSocketNumber = Port;
  }
  bool NewData() const { return FNewData; }
  TMemoryStream* Stream() const { return FStream; }
  using TQlntSocket::ProcessMessages;
};

// A loopback peer: accepts one connection and runs Script on it in a thread.
class Peer {
public:
  explicit Peer(std::function<void(SOCKET)> Script) {
    StartTCPIP();
    FListen = socket(PF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(FListen, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int len = sizeof a;
    getsockname(FListen, reinterpret_cast<sockaddr*>(&a), &len);
    FPort = ntohs(a.sin_port);
    listen(FListen, 1);
    FThread = std::thread([this, Script] {
      SOCKET s = accept(FListen, nullptr, nullptr);
      if (s == INVALID_SOCKET) return;
      Script(s);
      closesocket(s);
    });
  }
  ~Peer() {
    // A connection still waiting in the backlog is the script's: closing the
    // listener now would drop it before the thread (late on a loaded machine)
    // took it. Without one, closing is what ends a thread blocked in accept.
    fd_set r;
    FD_ZERO(&r);
    FD_SET(FListen, &r);
    timeval none = {0, 0};
    const bool waiting = select(0, &r, nullptr, nullptr, &none) == 1;
    if (!waiting) closesocket(FListen);
    if (FThread.joinable()) FThread.join();
    if (waiting) closesocket(FListen);
  }
  uint16_t Port() const { return FPort; }

private:
  SOCKET FListen;
  uint16_t FPort = 0;
  std::thread FThread;
};

void SendText(SOCKET s, const std::string& t) { send(s, t.data(), static_cast<int>(t.size()), 0); }
// Waits until the other side closes.
void WaitClose(SOCKET s) {
  char c;
  while (recv(s, &c, 1, 0) > 0) {
  }
}

}  // namespace

TEST(LookupHostname, AddressesAndNames) {
  const uint32_t loop = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(LookupHostname(""), INVALID_IPAddress);
  EXPECT_EQ(LookupHostname("   "), INVALID_IPAddress);
  EXPECT_EQ(LookupHostname("127.0.0.1"), loop);
  // Blanks around a dotted address do not turn it into a host name.
  EXPECT_EQ(LookupHostname("  127.0.0.1 "), loop);
  // A dotted address is taken as it is, without a lookup.
  EXPECT_EQ(LookupHostname("10.0.0.1"), htonl(0x0A000001));
  EXPECT_EQ(LookupHostname("localhost"), loop);
  EXPECT_TRUE(tcpip_ready);
}

TEST(SocketLogin, HostAndConnectionFailures) {
  TestSocket s(nullptr);
  s.Target("  ", 21);
  try {
    s.Login();
    FAIL() << "a blank host logged in";
  } catch (const EQlntFTPLogin_HostName& e) {
    EXPECT_EQ(e.Message, Format(SCannotFindHost, {"  "}));
  }
  EXPECT_FALSE(s.LoggedIn());

  s.Target("127.0.0.1", ftptest::ClosedPort());
  try {
    s.Login();
    FAIL() << "a closed port accepted";
  } catch (const EQlntSocketLogin& e) {
    EXPECT_EQ(e.ErrorNumber, 10061);
    EXPECT_EQ(e.Message, "Error creating socket");
  }
  EXPECT_FALSE(s.LoggedIn());
  EXPECT_EQ(s.Socket(), NoSocket);
}

TEST(SocketRead, LinesAndTheirEnd) {
  Peer peer([](SOCKET c) {
    SendText(c, "hello\r\nwor\rld\n\r\nhalf a li");
    Sleep(200);
  });
  TestSocket s(nullptr);
  s.Target("127.0.0.1", peer.Port());
  s.Login();
  EXPECT_TRUE(s.LoggedIn());
  EXPECT_EQ(s.SocketState(s.Socket()), ssConnected);
  EXPECT_EQ(s.ReadLine(s.Socket()), "hello");
  EXPECT_EQ(s.ReadLine(s.Socket()), "world");  // CR is dropped anywhere
  EXPECT_EQ(s.ReadLine(s.Socket()), "");
  EXPECT_FALSE(s.Eof(s.Socket()));
  // The peer closes in the middle of a line: the piece is dropped.
  EXPECT_EQ(s.ReadLine(s.Socket()), "");
  EXPECT_TRUE(s.Eof(s.Socket()));
  int count = -1;
  s.ReadVar(s.Socket(), nullptr, 100, count);
  EXPECT_EQ(count, 0);
  s.Logout();
  EXPECT_FALSE(s.LoggedIn());
  EXPECT_EQ(s.SocketState(s.Socket()), ssInvalid);
}

TEST(SocketRead, OverlongLinesAndSilentPeersAreBounded) {
  Peer peer([](SOCKET c) {
    SendText(c, std::string(20000, 'x'));
    WaitClose(c);
  });
  TestSocket s(nullptr);
  s.SetTimeout(1500);
  s.Target("127.0.0.1", peer.Port());
  s.Login();
  DWORD t0 = GetTickCount();
  EXPECT_EQ(s.ReadLine(s.Socket()), "");
  EXPECT_LT(GetTickCount() - t0, 1000u) << "an over-long line is refused without waiting";
  // The rest of the line, then silence: the wait ends with the time-out.
  t0 = GetTickCount();
  int count = 0;
  char buf[64];
  do s.ReadVar(s.Socket(), buf, sizeof buf, count);
  while (count > 0);
  DWORD took = GetTickCount() - t0;
  EXPECT_GE(took, 1400u);
  EXPECT_LT(took, 5000u);
  EXPECT_TRUE(s.Eof(s.Socket()));
  s.Logout();
}

TEST(SocketRead, ALineThatStopsHalfWayIsBounded) {
  Peer peer([](SOCKET c) {
    SendText(c, "220 first\r\n220 par");
    WaitClose(c);
  });
  TestSocket s(nullptr);
  s.SetTimeout(1500);
  s.Target("127.0.0.1", peer.Port());
  s.Login();
  Sleep(300);  // both pieces have arrived
  EXPECT_EQ(s.ReadLine(s.Socket()), "220 first");
  DWORD t0 = GetTickCount();
  EXPECT_EQ(s.ReadLine(s.Socket()), "");
  DWORD took = GetTickCount() - t0;
  EXPECT_GE(took, 1400u);
  EXPECT_LT(took, 5000u);
  s.Logout();
}

TEST(SocketAction, ReadsUntilThePeerCloses) {
  std::string data = ftptest::ResponderContent(100000);
  Peer peer([&data](SOCKET c) { SendText(c, data); });
  TestSocket s(nullptr);
  s.Target("127.0.0.1", peer.Port());
  s.Action();
  EXPECT_EQ(s.Stream()->Position(), 0);
  EXPECT_EQ(ftptest::StreamText(s.Stream()), data);
}

TEST(SocketComponent, SocketsStatesAndTheHiddenWindow) {
  TestSocket s(nullptr);
  EXPECT_EQ(s.IPAddress(), INVALID_IPAddress);
  EXPECT_EQ(s.Timeout(), DefaultSocketTimeout);
  ASSERT_NE(s.Handle(), nullptr);
  EXPECT_FALSE(IsWindowVisible(static_cast<HWND>(s.Handle())));
  // A read event of the control connection reaches the component.
  EXPECT_FALSE(s.NewData());
  PostMessageW(static_cast<HWND>(s.Handle()), uwm_socketevent, 0, MAKELONG(FD_READ, 0));
  TestSocket::ProcessMessages();
  EXPECT_TRUE(s.NewData());

  TSocket raw = s.CreateSocket();
  EXPECT_EQ(s.SocketState(raw), ssValid);
  s.CloseSocket(raw);
  EXPECT_EQ(raw, NoSocket);
  EXPECT_EQ(s.SocketState(raw), ssInvalid);

  // A listener on a port the system picks, and a connection to it.
  TSocket in = NoSocket;
  s.OpenSocketIn(in, 0, htonl(INADDR_LOOPBACK));
  ASSERT_NE(in, NoSocket);
  sockaddr_in a = {};
  int len = sizeof a;
  getsockname(static_cast<SOCKET>(in), reinterpret_cast<sockaddr*>(&a), &len);
  TSocket out = NoSocket;
  s.OpenSocketOut(out, ntohs(a.sin_port), htonl(INADDR_LOOPBACK));
  ASSERT_NE(out, NoSocket);
  uint32_t peer = 0;
  TSocket acc = s.AcceptSocketIn(in, peer);
  ASSERT_NE(acc, NoSocket);
  EXPECT_EQ(peer, htonl(INADDR_LOOPBACK));
  EXPECT_EQ(s.SocketState(out), ssConnected);
  s.WriteString(out, "ping\n");
  EXPECT_EQ(s.ReadLine(acc), "ping");
  for (TSocket* p : {&in, &out, &acc}) s.CloseSocket(*p);
}

TEST(SocketComponent, DestroyingALoggedInComponentClosesTheConnection) {
  bool closed = false;
  {
    Peer peer([&closed](SOCKET c) {
      WaitClose(c);
      closed = true;
    });
    auto* s = new TestSocket(nullptr);
    s->Target("127.0.0.1", peer.Port());
    s->Login();
    delete s;
  }
  EXPECT_TRUE(closed);
}
