#include "foundation/ftp/cmp_TQlntFTP.h"

#include <winsock.h>
#include <windows.h>

#include <algorithm>
#include <exception>
#include <limits>
#include <mutex>

#include "classlib/Handles.h"
#include "classlib/SysUtils.h"
#include "classlib/Threads.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/ftp/ftpReply.h"

std::atomic<bool> AbortDownload{false};

const char* const SFTPBusy = "Could not perform operation %s because the remote site was busy";
const char* const SCannotFindHost =
    "Cannot retrieve the IP Address for the host %s. Make sure you are connected to the net";
const char* const SFTPFileProcessError =
    "%s could not perform the operation on the file %s. The server reported the error %d-%s";

namespace {
SOCKET S(TSocket s) { return static_cast<SOCKET>(s); }
const wchar_t kWindowClass[] = L"QlntSocketWindow";
// Logging out does not wait longer than this for the server's goodbye.
const int kQuitWaitMs = 10000;
}  // namespace

// The hidden window's procedure hands messages to the component's WndProc.
// No exception may cross DispatchMessage: one raised by a handler is kept and
// raised again once the pump has returned.
struct TSocketWindow {
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    auto* s = reinterpret_cast<TQlntSocket*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (!s) return DefWindowProcW(h, m, w, l);
    TMessage msg{m, static_cast<uintptr_t>(w), static_cast<intptr_t>(l), 0};
    try {
      s->WndProc(msg);
    } catch (...) {
      if (!s->FWndProcError) s->FWndProcError = std::current_exception();
    }
    return static_cast<LRESULT>(msg.Result);
  }
  static HINSTANCE Module() {
    HMODULE m = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&Proc), &m);
    return m;
  }
  static void Register() {
    static std::once_flag once;
    std::call_once(once, [] {
      WNDCLASSW wc = {};
      wc.lpfnWndProc = &Proc;
      wc.hInstance = Module();
      wc.lpszClassName = kWindowClass;
      RegisterClassW(&wc);
    });
  }
  static void* Create(TQlntSocket* Owner) {
    Register();
    // A hidden top-level window: message-only windows do not exist on the
    // oldest systems we serve.
    HWND h = CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, Module(), nullptr);
    if (h) SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Owner));
    return h;
  }
};

// ---------------------------------------------------------------- TQlntSocket

TQlntSocket::TQlntSocket(TComponent* AOwner) : TComponent(AOwner) {
  StartTCPIP();
  FBuffer = new char[BufferSize];
  FStream = new TMemoryStream();
  FHandle = TSocketWindow::Create(this);
}

TQlntSocket::~TQlntSocket() {
  if (FSocket != NoSocket) {
    try {
      TQlntSocket::Logout();
    } catch (...) {
    }
  }
  if (FHandle) {
    SetWindowLongPtrW(static_cast<HWND>(FHandle), GWLP_USERDATA, 0);
    DestroyWindow(static_cast<HWND>(FHandle));
  }
  delete FStream;
  delete[] FBuffer;
}

void TQlntSocket::ProcessMessages() { ProcessPendingMessages(); }

void TQlntSocket::RaisePendingWndProcError() {
  if (FWndProcError) {
    std::exception_ptr e = FWndProcError;
    FWndProcError = nullptr;
    std::rethrow_exception(e);
  }
}

void TQlntSocket::WndProc(TMessage& Message) {
  if (Message.Msg == uwm_socketevent) {
    if (WSAGETSELECTEVENT(Message.LParam) == FD_READ) FNewData = true;
    return;
  }
  Message.Result = DefWindowProcW(static_cast<HWND>(FHandle), Message.Msg, Message.WParam, Message.LParam);
}

TSocket TQlntSocket::CreateSocket() {
  StartTCPIP();
  SOCKET s = socket(PF_INET, SOCK_STREAM, 0);
  // Every wait on a socket is a select bounded by Timeout; the calls
  // themselves never block.
  if (s != INVALID_SOCKET) {
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
  }
  return static_cast<TSocket>(s);
}

void TQlntSocket::CloseSocket(TSocket& Socket) {
  if (Socket != NoSocket) {
    closesocket(S(Socket));
    ResetEof(Socket);
    Socket = NoSocket;
  }
}

void TQlntSocket::ConnectToSocket(TSocket& Socket, uint16_t Port, uint32_t Address) {
  if (Socket == NoSocket) return;
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons(Port);
  a.sin_addr.s_addr = Address;
  if (connect(S(Socket), reinterpret_cast<sockaddr*>(&a), sizeof a) != SOCKET_ERROR) return;
  FLastError = WSAGetLastError();
  if (FLastError != WSAEWOULDBLOCK) {
    CloseSocket(Socket);
    return;
  }
  // The connection is under way: wait for it at most Timeout.
  fd_set wr, ex;
  FD_ZERO(&wr);
  FD_ZERO(&ex);
  FD_SET(S(Socket), &wr);
  FD_SET(S(Socket), &ex);
  timeval tv = {FTimeout / 1000, (FTimeout % 1000) * 1000};
  int r = select(0, nullptr, &wr, &ex, &tv);
  if (r > 0 && FD_ISSET(S(Socket), &wr)) {
    FLastError = 0;
    return;
  }
  if (r == 0) {
    FLastError = WSAETIMEDOUT;
  } else {
    int err = 0, len = sizeof err;
    getsockopt(S(Socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len);
    FLastError = err ? err : WSAECONNREFUSED;
  }
  CloseSocket(Socket);
}

void TQlntSocket::OpenSocketOut(TSocket& Socket, uint16_t Port, uint32_t Address) {
  CloseSocket(Socket);
  Socket = CreateSocket();
  if (Socket == NoSocket) {
    FLastError = WSAGetLastError();
    return;
  }
  ConnectToSocket(Socket, Port, Address);
}

void TQlntSocket::OpenSocketIn(TSocket& Socket, uint16_t Port, uint32_t Address) {
  CloseSocket(Socket);
  Socket = CreateSocket();
  if (Socket == NoSocket) return;
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons(Port);
  a.sin_addr.s_addr = Address;
  if (bind(S(Socket), reinterpret_cast<sockaddr*>(&a), sizeof a) == SOCKET_ERROR ||
      listen(S(Socket), back_log) == SOCKET_ERROR) {
    FLastError = WSAGetLastError();
    CloseSocket(Socket);
  }
}

TSocket TQlntSocket::AcceptSocketIn(TSocket Socket, uint32_t& PeerAddress) {
  sockaddr_in a = {};
  int len = sizeof a;
  SOCKET r = accept(S(Socket), reinterpret_cast<sockaddr*>(&a), &len);
  if (r == INVALID_SOCKET) return NoSocket;
  PeerAddress = a.sin_addr.s_addr;
  return static_cast<TSocket>(r);
}

TSocketState TQlntSocket::SocketState(TSocket Socket) {
  if (Socket == NoSocket) return ssInvalid;
  sockaddr_in a = {};
  int len = sizeof a;
  if (getpeername(S(Socket), reinterpret_cast<sockaddr*>(&a), &len) == 0) return ssConnected;
  return WSAGetLastError() == WSAENOTCONN ? ssValid : ssStateUnknown;
}

void TQlntSocket::SetEof(TSocket Socket) {
  if (!EofSeen(Socket)) FEofSockets.push_back(Socket);
}
void TQlntSocket::ResetEof(TSocket Socket) {
  FEofSockets.erase(std::remove(FEofSockets.begin(), FEofSockets.end(), Socket), FEofSockets.end());
}
bool TQlntSocket::EofSeen(TSocket Socket) const {
  return std::find(FEofSockets.begin(), FEofSockets.end(), Socket) != FEofSockets.end();
}

bool TQlntSocket::Eof(TSocket Socket) { return EofSeen(Socket) || SocketState(Socket) != ssConnected; }

TQlntSocket::TReadResult TQlntSocket::ReadSome(TSocket Socket, void* Buffer, int Size, int& Count,
                                               const std::atomic<bool>* Cancel) {
  Count = 0;
  if (Size <= 0) return rrData;
  if (Socket == NoSocket) return rrEnd;
  DWORD start = GetTickCount();
  for (;;) {
    if (Cancel && Cancel->load()) return rrCancelled;
    fd_set rd;
    FD_ZERO(&rd);
    FD_SET(S(Socket), &rd);
    // Short slices keep the wait bounded and, while Async is set, let the
    // thread's messages through.
    timeval tv = {0, FAsync ? 20000 : 200000};
    int r = select(0, &rd, nullptr, nullptr, &tv);
    if (r == SOCKET_ERROR) {
      SetEof(Socket);
      return rrEnd;
    }
    if (r > 0) {
      int n = recv(S(Socket), static_cast<char*>(Buffer), Size, 0);
      if (n > 0) {
        Count = n;
        return rrData;
      }
      // 0 is the peer's orderly close; only a real failure has an error code
      // worth reading.
      if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK) {
        SetEof(Socket);
        return rrEnd;
      }
    }
    if (FAsync) {
      ProcessMessages();
      RaisePendingWndProcError();
    }
    if (GetTickCount() - start >= static_cast<DWORD>(FTimeout)) {
      SetEof(Socket);
      return rrTimeout;
    }
  }
}

void TQlntSocket::ReadVar(TSocket Socket, void* Buffer, int Size, int& Count) {
  std::vector<char> scratch;
  if (!Buffer) {
    scratch.resize(static_cast<size_t>(std::max(Size, 1)));
    Buffer = scratch.data();
  }
  ReadSome(Socket, Buffer, Size, Count);
}

TQlntSocket::TLineResult TQlntSocket::ReadLineEx(TSocket Socket, std::string& Line) {
  Line.clear();
  char chunk[512];
  for (;;) {
    if (Line.size() > ftpreply::MaxLineLength) return lrTooLong;
    // Wait (bounded) for one byte, then take what else has arrived up to the
    // line end: the rest stays for the next reader.
    int n = 0;
    TReadResult r = ReadSome(Socket, chunk, 1, n);
    if (r == rrTimeout) return lrTimeout;
    if (r != rrData || n <= 0) return lrEnd;
    if (chunk[0] == '\n') return lrLine;
    if (chunk[0] != '\r') Line += chunk[0];
    // Only what is there: a peek at an empty socket would wait unbounded.
    u_long avail = 0;
    if (ioctlsocket(S(Socket), FIONREAD, &avail) != 0 || avail == 0) continue;
    int peeked = recv(S(Socket), chunk, static_cast<int>(std::min<u_long>(avail, sizeof chunk)), MSG_PEEK);
    int take = peeked;
    for (int i = 0; i < peeked; ++i)
      if (chunk[i] == '\n') {
        take = i;  // the LF itself ends the line in the next round
        break;
      }
    if (take > 0) {
      take = recv(S(Socket), chunk, take, 0);
      for (int i = 0; i < take; ++i)
        if (chunk[i] != '\r') Line += chunk[i];
    }
  }
}

std::string TQlntSocket::ReadLine(TSocket Socket) {
  std::string line;
  return ReadLineEx(Socket, line) == lrLine ? line : std::string();
}

TQlntSocket::TWriteResult TQlntSocket::WriteBufferEx(TSocket Socket, const void* Buffer, int Size) {
  if (Socket == NoSocket) return wrFailed;
  const char* p = static_cast<const char*>(Buffer);
  // A peer that takes nothing for Timeout ends the sending.
  DWORD since = GetTickCount();
  while (Size > 0) {
    int n = send(S(Socket), p, Size, 0);
    if (n == SOCKET_ERROR) {
      if (WSAGetLastError() != WSAEWOULDBLOCK) return wrFailed;
      if (GetTickCount() - since >= static_cast<DWORD>(FTimeout)) return wrTimeout;
      fd_set wr;
      FD_ZERO(&wr);
      FD_SET(S(Socket), &wr);
      timeval tv = {0, FAsync ? 20000 : 200000};
      select(0, nullptr, &wr, nullptr, &tv);
      if (FAsync) {
        ProcessMessages();
        RaisePendingWndProcError();
      }
      continue;
    }
    p += n;
    Size -= n;
    since = GetTickCount();
  }
  return wrDone;
}

void TQlntSocket::WriteBuffer(TSocket Socket, const void* Buffer, int Size) { WriteBufferEx(Socket, Buffer, Size); }

void TQlntSocket::WriteString(TSocket Socket, const std::string& Str) {
  WriteBuffer(Socket, Str.data(), static_cast<int>(Str.size()));
}

void TQlntSocket::SendCommand(const std::string& Str) { WriteString(FSocket, Str + "\r\n"); }

void TQlntSocket::Login() {
  if (FLoggedIn) Logout();
  FIPAddress = LookupHostname(FHostName);
  if (FIPAddress == INVALID_IPAddress) throw EQlntFTPLogin_HostName(Format(SCannotFindHost, {FHostName}));
  FLastError = 0;
  OpenSocketOut(FSocket, FSocketNumber, FIPAddress);
  if (FSocket == NoSocket) throw EQlntSocketLogin(static_cast<uint16_t>(FLastError));
  ResetEof(FSocket);
  FLoggedIn = true;
}

void TQlntSocket::Logout() {
  CloseSocket(FSocket);
  FLoggedIn = false;
}

void TQlntSocket::Action() {
  Login();
  FStream->Clear();
  while (!Eof(FSocket)) {
    int n = 0;
    ReadVar(FSocket, FBuffer, BufferSize, n);
    if (n > 0) FStream->WriteBuffer(FBuffer, n);
  }
  FStream->SetPosition(0);
}

// ------------------------------------------------------------------- TQlntFTP

const TEnumInfo FTPModeInfo{"TFTPMode", {"fmDownload", "fmUpload", "fmGetDir"}};

// The socket layer publishes nothing of its own (its table gives it its class
// name); the client is what forms configure.
QNT_PUBLISH(TQlntSocket);
QNT_PUBLISH(TQlntFTP,
  Prop::Boolean("Asynchronous", &TQlntFTP::Asynchronous, &TQlntFTP::SetAsynchronous, false),
  Prop::String("Hostname", &TQlntFTP::Hostname, &TQlntFTP::SetHostname, ""),
  Prop::Enum("Mode", &TQlntFTP::Mode, &TQlntFTP::SetMode, FTPModeInfo, fmDownload),
  Prop::Boolean("Passive", &TQlntFTP::Passive, &TQlntFTP::SetPassive, true),
  Prop::String("Password", &TQlntFTP::Password, &TQlntFTP::SetPassword, DefaultFTPPassword),
  Prop::Integer("Port", &TQlntFTP::Port, &TQlntFTP::SetPort, 21),
  Prop::String("URI", &TQlntFTP::URI, &TQlntFTP::SetURI, ""),
  Prop::String("Username", &TQlntFTP::Username, &TQlntFTP::SetUsername, "ftp"),
  Prop::Event("OnActionComplete", &TQlntFTP::OnActionComplete, &TQlntFTP::SetOnActionComplete),
  Prop::Event("OnCancel", &TQlntFTP::OnCancel, &TQlntFTP::SetOnCancel),
  Prop::Event("OnDataReceived", &TQlntFTP::OnDataReceived, &TQlntFTP::SetOnDataReceived));

TQlntFTP::TQlntFTP(TComponent* AOwner) : TQlntSocket(AOwner), FPassword(DefaultFTPPassword) {}

TQlntFTP::~TQlntFTP() {
  // The goodbye is sent here, while the whole client still exists: the
  // socket layer's destructor would only close the connection.
  if (LoggedIn() || FCommSocket != NoSocket) {
    try {
      Logout();
    } catch (...) {
    }
  }
  CloseSocket(FListenSocket);
}

void TQlntFTP::SendCommand(const std::string& Str) {
  // A line break inside an argument would smuggle in a command of its own.
  if (Str.find_first_of("\r\n") != std::string::npos)
    throw EQlntFTP("The FTP command contains a line break: " + Str.substr(0, Str.find_first_of("\r\n")));
  const std::string line = Str + "\r\n";
  if (WriteBufferEx(FCommSocket, line.data(), static_cast<int>(line.size())) == wrTimeout) {
    FConnectionLost = true;
    FStatusNr = ftpreply::UnreadableCode;
    FStatusText = Format("The server took no command within %d seconds", {Timeout() / 1000});
    throw EQlntFTPCode(FStatusText, static_cast<uint16_t>(FStatusNr));
  }
}

std::string TQlntFTP::ReadLineComm() { return ReadLine(FCommSocket); }

void TQlntFTP::Response() {
  ftpreply::TReplyAssembler reply;
  for (;;) {
    std::string line;
    TLineResult r = ReadLineEx(FCommSocket, line);
    if (r != lrLine) {
      FConnectionLost = true;
      FStatusNr = ftpreply::UnreadableCode;
      if (r == lrTimeout)
        FStatusText = Format("The server did not answer within %d seconds", {Timeout() / 1000});
      else if (r == lrTooLong)
        FStatusText = "The server sent a reply line that is too long";
      else
        FStatusText = "The server closed the connection";
      throw EQlntFTPCode(FStatusText, static_cast<uint16_t>(FStatusNr));
    }
    if (reply.Add(line)) break;
    if (reply.Overflow()) {
      FConnectionLost = true;
      FStatusNr = ftpreply::UnreadableCode;
      FStatusText = "The server sent a reply of too many lines";
      throw EQlntFTPCode(FStatusText, static_cast<uint16_t>(FStatusNr));
    }
  }
  FStatusNr = reply.Code();
  FStatusText = reply.Text();
  // A line that is no reply leaves us unsure where the next reply starts;
  // 421 is the server closing the session, whatever step it answers.
  if (FStatusNr == ftpreply::UnreadableCode || FStatusNr == 421) FConnectionLost = true;
  if (FStatusNr >= 400) throw EQlntFTPCode(FStatusText, static_cast<uint16_t>(FStatusNr));
}

void TQlntFTP::CloseDataSocket() {
  if (FSocket != NoSocket) {
    shutdown(S(FSocket), 1 /* SD_SEND */);
    CloseSocket(FSocket);
  }
  CloseSocket(FListenSocket);
}

void TQlntFTP::DropConnection() {
  CloseDataSocket();
  CloseSocket(FCommSocket);
  TQlntSocket::Logout();
  FBusy = false;
}

void TQlntFTP::TransferFailed() {
  CloseDataSocket();
  FBusy = false;
  if (FConnectionLost) DropConnection();
}

void TQlntFTP::Login() {
  FSocketNumber = FPort;
  CloseDataSocket();
  TQlntSocket::Login();
  FCommSocket = FSocket;
  FSocket = NoSocket;
  FConnectionLost = false;
  FBusy = false;
  // A half-made login is no login: the next attempt starts afresh.
  TScopeGuard dropHalfLogin([this] { DropConnection(); });
  {
    Response();
    SendCommand("USER " + FUserName);
    try {
      Response();
    } catch (const EQlntFTPCode&) {
      // The server ending the session says why in its own words.
      if (FStatusNr == 421) throw;
      throw EQlntFTPLogin_UserName(FUserName);
    }
    // A server that logged the user in at once (230) answers a password
    // with an error; send it only when asked for one.
    if (FStatusNr >= 300) {
      SendCommand("PASS " + FPassword);
      try {
        Response();
      } catch (const EQlntFTPCode&) {
        if (FStatusNr == 421) throw;
        // Never the password itself: the message may be shown to anyone.
        throw EQlntFTPLogin_Password("The password was refused: " + FStatusText);
      }
    }
    SendCommand("TYPE I");
    Response();
  }
  dropHalfLogin.Dismiss();
}

void TQlntFTP::Logout() {
  // Best effort: whatever the server does, both connections end and the
  // client is free for the next login.
  try {
    if (FBusy && !AbortDownload) Abort();
  } catch (...) {
  }
  if (LoggedIn() && FCommSocket != NoSocket && !FConnectionLost) {
    try {
      SendCommand("QUIT");
      if (!AbortDownload) {
        int keep = Timeout();
        SetTimeout(std::min(keep, kQuitWaitMs));
        try {
          Response();
        } catch (...) {
        }
        SetTimeout(keep);
      }
    } catch (...) {
    }
  }
  CloseDataSocket();
  FSocket = FCommSocket;
  FCommSocket = NoSocket;
  TQlntSocket::Logout();
  FBusy = false;
}

void TQlntFTP::Action() {
  Login();
  // An upload sends the stream as it was filled.
  if (FMode != fmUpload) FStream->Clear();
  switch (FMode) {
    case fmDownload: Download(); break;
    case fmUpload: Upload(); break;
    case fmGetDir: GetDir("."); break;
  }
  Logout();
}

void TQlntFTP::SetAsyncSelect(TSocket Socket, unsigned Message, long Events) {
  if (Socket == NoSocket || !Handle()) return;
  WSAAsyncSelect(S(Socket), static_cast<HWND>(Handle()), Message, Events);
  // Without events the socket stays non-blocking, as every socket here is.
  if (Events == 0) {
    u_long nonBlocking = 1;
    ioctlsocket(S(Socket), FIONBIO, &nonBlocking);
  }
}

void TQlntFTP::GetDataSocket() {
  CloseDataSocket();
  bool async = FAsynchronous && Handle();
  if (FPassive) {
    SendCommand("PASV");
    Response();
    if (FStatusNr != 227) throw EQlntFTPCode(FStatusText, static_cast<uint16_t>(FStatusNr));
    ftpreply::TPasvAddress pasv;
    if (!ftpreply::ParsePasvReply(FStatusText, pasv))
      throw EQlntFTPCode("The server's passive mode reply is not valid: " + FStatusText, ftpreply::UnreadableCode);
    uint32_t addr;
    memcpy(&addr, pasv.Address, 4);
    FSocket = CreateSocket();
    if (async) SetAsyncSelect(FSocket, uwm_socketevent + 1, FD_CONNECT | FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE);
    ConnectToSocket(FSocket, pasv.Port, addr);
    if (FSocket == NoSocket)
      throw EQlntFTPCode(Format("Could not open the data connection to %s:%d (error %d)",
                                {pasv.Dotted(), static_cast<int>(pasv.Port), FLastError}),
                         ftpreply::UnreadableCode);
  } else {
    // Listen where the server reaches us: the local end of the control
    // connection, on a port the system picks.
    sockaddr_in local = {};
    int len = sizeof local;
    getsockname(S(FCommSocket), reinterpret_cast<sockaddr*>(&local), &len);
    OpenSocketIn(FListenSocket, 0, local.sin_addr.s_addr);
    if (FListenSocket == NoSocket)
      throw EQlntFTPCode(Format("Could not listen for the data connection (error %d)", {FLastError}),
                         ftpreply::UnreadableCode);
    len = sizeof local;
    getsockname(S(FListenSocket), reinterpret_cast<sockaddr*>(&local), &len);
    const auto* a = reinterpret_cast<const uint8_t*>(&local.sin_addr.s_addr);
    uint16_t port = ntohs(local.sin_port);
    SendCommand(Format("PORT %d,%d,%d,%d,%d,%d", {a[0], a[1], a[2], a[3], port >> 8, port & 0xFF}));
    Response();
  }
}

// After the transfer command's preliminary reply the server connects to an
// active-mode listener; take that connection (bounded by the time-out).
void TQlntFTP::AcceptDataConnection() {
  if (FListenSocket == NoSocket) return;
  fd_set rd;
  FD_ZERO(&rd);
  FD_SET(S(FListenSocket), &rd);
  timeval tv = {Timeout() / 1000, (Timeout() % 1000) * 1000};
  uint32_t peer = 0;
  if (select(0, &rd, nullptr, nullptr, &tv) > 0) FSocket = AcceptSocketIn(FListenSocket, peer);
  CloseSocket(FListenSocket);
  if (FSocket == NoSocket)
    throw EQlntFTPCode("The server did not open the data connection", ftpreply::UnreadableCode);
  if (FAsynchronous && Handle()) SetAsyncSelect(FSocket, uwm_socketevent + 1, FD_READ | FD_WRITE | FD_CLOSE);
}

void TQlntFTP::StoreBlock(int Count) {
  TMemoryStream* target = FModeInternal == fmGetDir ? &FDirectoryStream : FStream;
  if (target->Size() + Count > std::numeric_limits<int32_t>::max()) {
    FConnectionLost = true;
    throw EQlntFTPCode("The transfer is larger than 2 GB", ftpreply::UnreadableCode);
  }
  target->WriteBuffer(FBuffer, Count);
  FReceived += Count;
  // More than the server announced: its size was wrong, and from here on the
  // size is unknown, as when it announced none.
  if (FModeInternal == fmDownload && FSize > 0 && FReceived > FSize) FSize = 0;
}

TQlntFTP::TDataResult TQlntFTP::ReadBlock() {
  if (FSocket == NoSocket) return drEnd;
  int n = 0;
  TReadResult r = ReadSome(FSocket, FBuffer, BufferSize, n, FModeInternal == fmDownload ? &AbortDownload : nullptr);
  if (r == rrCancelled) return drCancelled;
  if (r == rrTimeout) {
    // The server may still send: the session is out of step.
    FConnectionLost = true;
    throw EQlntFTPCode(Format("No data arrived from the server within %d seconds", {Timeout() / 1000}),
                       ftpreply::UnreadableCode);
  }
  if (n > 0) StoreBlock(n);
  if (FDataReceivedEvent) FDataReceivedEvent(this, FModeInternal, n);
  return n > 0 ? drData : drEnd;
}

bool TQlntFTP::DoRead() { return ReadBlock() == drData; }

void TQlntFTP::DoReadNow() {
  if (FSocket == NoSocket || EofSeen(FSocket)) return;
  fd_set rd;
  FD_ZERO(&rd);
  FD_SET(S(FSocket), &rd);
  timeval tv = {0, 0};
  if (select(0, &rd, nullptr, nullptr, &tv) <= 0) return;
  int n = recv(S(FSocket), FBuffer, BufferSize, 0);
  if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) return;
  if (n <= 0) {
    n = 0;
    SetEof(FSocket);
  } else {
    StoreBlock(n);
  }
  if (FDataReceivedEvent) FDataReceivedEvent(this, FModeInternal, n);
}

bool TQlntFTP::DoWrite() {
  if (FSocket == NoSocket) return false;
  int64_t n = FStream->Read(FBuffer, BufferSize);
  if (n <= 0) return false;
  if (WriteBufferEx(FSocket, FBuffer, static_cast<int>(n)) == wrTimeout) {
    FConnectionLost = true;
    throw EQlntFTPCode(Format("The server took no data within %d seconds", {Timeout() / 1000}),
                       ftpreply::UnreadableCode);
  }
  return true;
}

void TQlntFTP::WaitFinalReplyAsync() {
  SetAsyncSelect(FCommSocket, uwm_socketevent, FD_READ);
  bool was = Async();
  SetAsync(true);
  TScopeGuard restore([this, was] {
    SetAsync(was);
    SetAsyncSelect(FCommSocket, 0, 0);
  });
  Response();
}

void TQlntFTP::WndProc(TMessage& Message) {
  if (Message.Msg == uwm_socketevent + 1) {
    switch (WSAGETSELECTEVENT(Message.LParam)) {
      case FD_ACCEPT:
        if (FListenSocket != NoSocket) {
          uint32_t peer = 0;
          TSocket s = AcceptSocketIn(FListenSocket, peer);
          if (s != NoSocket) {
            CloseSocket(FListenSocket);
            FSocket = s;
          }
        }
        break;
      case FD_WRITE:
        if (FBusy && FModeInternal == fmUpload) DoWrite();
        break;
      case FD_READ:
        if (FBusy && FModeInternal != fmUpload) DoReadNow();
        break;
      default: break;
    }
    return;
  }
  TQlntSocket::WndProc(Message);
}

// A refused transfer leaves no data connection behind, and a lost control
// connection ends the login.
void TQlntFTP::AbandonTransferStart() {
  CloseDataSocket();
  if (FConnectionLost) DropConnection();
}

// Takes what the server still sends, then closes the data connection.
void TQlntFTP::DrainDataSocket() {
  while (ReadBlock() == drData) {
  }
  CloseDataSocket();
}

void TQlntFTP::Download() {
  if (FBusy) throw EQlntFTPBusy(Format(SFTPBusy, {"Download"}));
  if (!LoggedIn()) Login();
  if (FUrl.empty()) return;
  SendCommand("SIZE " + FUrl);
  try {
    Response();
    FSize = ftpreply::ParseSizeReply(FStatusText);
  } catch (const EQlntFTPCode&) {
    // A refused size is an unknown size; a session the server ended is not.
    if (FConnectionLost) {
      DropConnection();
      throw;
    }
    FSize = 0;
  }
  {
    TScopeGuard abandon([this] { AbandonTransferStart(); });
    SendCommand("TYPE I");
    Response();
    GetDataSocket();
    SendCommand("RETR " + FUrl);
    Response();
    AcceptDataConnection();
    abandon.Dismiss();
  }
  FModeInternal = fmDownload;
  FBusy = true;
  FStream->Clear();
  FReceived = 0;
  TScopeGuard failed([this] { TransferFailed(); });
  {
    if (FAsynchronous && Handle()) {
      WaitFinalReplyAsync();
    } else {
      for (;;) {
        TDataResult r = ReadBlock();
        // A cancel returns quietly and leaves the client busy: the caller
        // looks at the flag, and Logout knows not to wait.
        if (r == drCancelled) return failed.Dismiss();
        if (r == drEnd) break;
        ProcessMessages();
        if (AbortDownload) return failed.Dismiss();
      }
      Response();
    }
    FinishDownload();
  }
  failed.Dismiss();
}

void TQlntFTP::FinishDownload() {
  DrainDataSocket();
  // A transfer that ends early is no file, whatever the closing reply says.
  if (FSize > 0 && FReceived < FSize)
    throw EQlntFTPCode(Format("Only %d of %d bytes of %s arrived", {FReceived, FSize, FUrl}),
                       ftpreply::UnreadableCode);
  FStream->SetPosition(0);
  if (FActionEvent) FActionEvent(this, fmDownload);
  FBusy = false;
}

void TQlntFTP::Upload() {
  if (FBusy) throw EQlntFTPBusy(Format(SFTPBusy, {"Upload"}));
  if (!LoggedIn()) Login();
  if (FUrl.empty()) return;
  {
    TScopeGuard abandon([this] { AbandonTransferStart(); });
    GetDataSocket();
    SendCommand("STOR " + FUrl);
    Response();
    AcceptDataConnection();
    abandon.Dismiss();
  }
  FModeInternal = fmUpload;
  FBusy = true;
  FSize = static_cast<int32_t>(std::min<int64_t>(FStream->Size(), std::numeric_limits<int32_t>::max()));
  FStream->SetPosition(0);
  TScopeGuard failed([this] { TransferFailed(); });
  {
    while (DoWrite()) {
    }
    FinishUpload();
  }
  failed.Dismiss();
}

void TQlntFTP::FinishUpload() {
  while (DoWrite()) {
  }
  CloseDataSocket();
  bool was = Async();
  {
    SetAsync(true);
    TScopeGuard restore([this, was] { SetAsync(was); });
    Response();
  }
  if (FActionEvent) FActionEvent(this, fmUpload);
  FBusy = false;
}

void TQlntFTP::GetDir(const std::string& DirName) {
  if (FBusy) throw EQlntFTPBusy(Format(SFTPBusy, {"GetDir"}));
  if (!LoggedIn()) Login();
  if (DirName.empty()) return;
  {
    TScopeGuard abandon([this] { AbandonTransferStart(); });
    GetDataSocket();
    SendCommand("TYPE A");
    Response();
    SendCommand("LIST " + DirName);
    Response();
    AcceptDataConnection();
    abandon.Dismiss();
  }
  FModeInternal = fmGetDir;
  FBusy = true;
  FDirectoryStream.Clear();
  FReceived = 0;
  TScopeGuard failed([this] { TransferFailed(); });
  {
    if (FAsynchronous && Handle()) {
      WaitFinalReplyAsync();
    } else {
      while (ReadBlock() == drData) {
      }
      Response();
    }
    FinishGetDir();
  }
  failed.Dismiss();
}

void TQlntFTP::FinishGetDir() {
  DrainDataSocket();
  // The client always returns to binary transfers.
  SendCommand("TYPE I");
  Response();
  std::string data(static_cast<const char*>(FDirectoryStream.Memory()), static_cast<size_t>(FDirectoryStream.Size()));
  FCurrentDirList.Clear();
  for (const std::string& line : ftpreply::SplitListing(data)) FCurrentDirList.Add(line);
  FDirectoryStream.Clear();
  FCurrentDirList_index = 0;
  if (FActionEvent) FActionEvent(this, fmGetDir);
  FBusy = false;
}

// The data connection goes first: a server blocked on sending reads no
// command until its sending fails. Then the replies ABOR causes are read,
// each bounded by Timeout: 426 for the broken transfer and ABOR's own 226,
// the transfer's final reply and 225 or 226 when it had ended already, or
// 225 alone.
void TQlntFTP::Abort() {
  if (!FBusy) return;
  CloseDataSocket();
  SendCommand("ABOR");
  try {
    Response();
  } catch (const EQlntFTPCode& e) {
    if (e.ErrorNumber != 426) {
      if (FConnectionLost) DropConnection();
      throw;
    }
    FBusy = false;
    // ABOR's own reply, after the aborted transfer's.
    try {
      Response();
    } catch (const EQlntFTPCode&) {
      if (FConnectionLost) DropConnection();
      throw;
    }
    return;
  }
  FBusy = false;
  // 225: nothing was running any more. Any other positive reply was the
  // transfer's own final one; ABOR's answer follows.
  if (FStatusNr == 225) return;
  try {
    Response();
  } catch (const EQlntFTPCode&) {
    if (FConnectionLost) DropConnection();
    throw;
  }
}
