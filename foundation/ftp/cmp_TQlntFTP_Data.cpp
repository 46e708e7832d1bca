// The FTP client's data connections: opening them (passive or active), the
// blocks they carry and the bounds on them, and the hidden window's data
// events.
#include <cstring>
#include <limits>

#include "classlib/SysUtils.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/ftp/cmp_TQlntFTP.h"
#include "foundation/ftp/ftpReply.h"
#include "foundation/ftp/ftpWinsock.h"

using ftpwinsock::S;

namespace {
std::string DottedAddress(uint32_t Address) {
  in_addr a;
  a.s_addr = Address;
  return inet_ntoa(a);
}
}  // namespace

void TQlntFTP::SetAsyncSelect(TSocket Socket, unsigned Message, long Events) {
  if (Socket == NoSocket || !Handle()) return;
  WSAAsyncSelect(S(Socket), static_cast<HWND>(Handle()), Message, Events);
  // Without events the socket stays non-blocking, as every socket here is.
  if (Events == 0) {
    u_long nonBlocking = 1;
    ioctlsocket(S(Socket), FIONBIO, &nonBlocking);
  }
}

void TQlntFTP::CloseDataSocket() {
  if (FSocket != NoSocket) {
    shutdown(S(FSocket), 1 /* SD_SEND */);
    CloseSocket(FSocket);
  }
  CloseSocket(FListenSocket);
}

uint32_t TQlntFTP::ControlPeer() {
  sockaddr_in a = {};
  int len = sizeof a;
  if (FCommSocket != NoSocket && getpeername(S(FCommSocket), reinterpret_cast<sockaddr*>(&a), &len) == 0)
    return a.sin_addr.s_addr;
  // The address the login connected to is the same peer.
  return IPAddress();
}

void TQlntFTP::GetDataSocket() {
  CloseDataSocket();
  if (FPassive)
    OpenPassiveData();
  else
    ListenForActiveData();
}

// The reply's port on the control connection's own peer: whatever address a
// server names, the data connection goes nowhere else.
void TQlntFTP::OpenPassiveData() {
  SendCommand("PASV");
  Response();
  if (FStatusNr != 227) throw EQlntFTPCode(FStatusText, static_cast<uint16_t>(FStatusNr));
  ftpreply::TPasvAddress pasv;
  if (!ftpreply::ParsePasvReply(FStatusText, pasv))
    throw EQlntFTPCode("The server's passive mode reply is not valid: " + FStatusText, ftpreply::UnreadableCode);
  const ftpreply::TDataTarget to = ftpreply::PasvDataTarget(pasv, ControlPeer());
  FSocket = CreateSocket();
  if (FAsynchronous && Handle())
    SetAsyncSelect(FSocket, uwm_socketevent + 1, FD_CONNECT | FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE);
  ConnectToSocket(FSocket, to.Port, to.Address);
  if (FSocket == NoSocket)
    throw EQlntFTPCode(Format("Could not open the data connection to %s:%d (error %d)",
                              {DottedAddress(to.Address), static_cast<int>(to.Port), FLastError}),
                       ftpreply::UnreadableCode);
}

// Listen where the server reaches us: the local end of the control
// connection, on a port the system picks.
void TQlntFTP::ListenForActiveData() {
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

void TQlntFTP::BeginBound(int64_t Announced, int64_t UnsizedLimit) {
  FBound = ftpreply::TTransferBound(Announced, FMaxTransferSize, UnsizedLimit);
}

std::string TQlntFTP::PastBoundMessage() const {
  const int64_t most = FBound.Most;
  if (FModeInternal == fmGetDir) return Format("The listing of %s is longer than %d bytes", {FTransferName, most});
  if (FBound.ByAnnounced)
    return Format("The server sent more than the %d bytes it announced for %s", {most, FTransferName});
  return Format("%s is longer than %d bytes, the most this download may bring", {FTransferName, most});
}

void TQlntFTP::StoreBlock(int Count) {
  // The server is still sending what we refuse: the session is out of step
  // (its closing reply unread) and ends with the transfer.
  if (!FBound.Take(Count)) {
    FConnectionLost = true;
    throw EQlntFTPCode(PastBoundMessage(), ftpreply::UnreadableCode);
  }
  TStream* target = FModeInternal == fmGetDir ? &FDirectoryStream : FDownloadTarget ? FDownloadTarget : FStream;
  try {
    target->WriteBuffer(FBuffer, Count);
  } catch (...) {
    FConnectionLost = true;
    throw;
  }
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

// Takes what the server still sends, then closes the data connection.
void TQlntFTP::DrainDataSocket() {
  while (ReadBlock() == drData) {
  }
  CloseDataSocket();
}
