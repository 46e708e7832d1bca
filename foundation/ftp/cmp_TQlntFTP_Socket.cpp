// The socket component: one TCP connection whose every wait is bounded, a
// receive buffer, a memory stream and a hidden message window.
#include <algorithm>
#include <exception>
#include <mutex>

#include "classlib/SysUtils.h"
#include "classlib/Threads.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/ftp/cmp_TQlntFTP.h"
#include "foundation/ftp/ftpReply.h"
#include "foundation/ftp/ftpWinsock.h"

using ftpwinsock::S;

namespace {
const wchar_t kWindowClass[] = L"QlntSocketWindow";
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
