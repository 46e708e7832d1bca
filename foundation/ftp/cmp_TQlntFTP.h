// The socket component and the FTP client built on it.
#pragma once
#include <atomic>
#include <exception>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/Streams.h"
#include "classlib/TypInfo.h"
#include "foundation/ftp/cmp_TQlntTCPIP.h"
#include "foundation/ftp/ftpReply.h"

// A WinSock socket handle; NoSocket is WinSock's INVALID_SOCKET.
using TSocket = uintptr_t;
constexpr TSocket NoSocket = ~static_cast<TSocket>(0);

// Window message of control-connection events; the next one carries
// data-connection events.
constexpr unsigned uwm_socketevent = 0x0400 + 0x100;
// Size of the receive buffer and of one transfer block.
constexpr int BufferSize = 0x7F00;
// Listen backlog of a listening socket.
constexpr int back_log = 2;

enum TSocketState { ssInvalid, ssValid, ssConnected, ssStateUnknown };

// A window message as the hidden window hands it to WndProc.
struct TMessage {
  unsigned Msg;
  uintptr_t WParam;
  intptr_t LParam;
  intptr_t Result;
};

// How long a blocking read waits for data by default before it gives up.
constexpr int DefaultSocketTimeout = 60000;

// One TCP connection with a receive buffer, a memory stream and a hidden
// message window. Sockets never block: connecting, every read and every send
// wait at most Timeout milliseconds, in short slices (pumping the thread's
// messages between them while Async is set).
class TQlntSocket : public TComponent {
  QNT_PUBLISHED(TQlntSocket, TComponent)
public:
  explicit TQlntSocket(TComponent* AOwner);
  ~TQlntSocket() override;

  bool Async() const { return FAsync; }
  void SetAsync(bool Value) { FAsync = Value; }
  bool LoggedIn() const { return FLoggedIn; }
  // The peer's address (network order); INVALID_IPAddress until resolved.
  uint32_t IPAddress() const { return FIPAddress; }
  int Timeout() const { return FTimeout; }
  void SetTimeout(int Milliseconds) { FTimeout = Milliseconds > 0 ? Milliseconds : DefaultSocketTimeout; }
  // The hidden window (an HWND), null when none could be made.
  void* Handle() const { return FHandle; }
  // The socket of the connection (the data connection of the FTP client).
  TSocket Socket() const { return FSocket; }

  virtual void Action();
  virtual void OpenSocketOut(TSocket& Socket, uint16_t Port, uint32_t Address);
  virtual void WndProc(TMessage& Message);
  virtual void SendCommand(const std::string& S);
  virtual bool Eof(TSocket Socket);
  virtual void Login();
  virtual void Logout();

  void OpenSocketIn(TSocket& Socket, uint16_t Port, uint32_t Address);
  TSocket AcceptSocketIn(TSocket Socket, uint32_t& PeerAddress);
  void ConnectToSocket(TSocket& Socket, uint16_t Port, uint32_t Address);
  TSocket CreateSocket();
  void CloseSocket(TSocket& Socket);
  TSocketState SocketState(TSocket Socket);

  // Receives up to Size bytes (into a scratch buffer when Buffer is null);
  // Count 0 with Eof(Socket) when the data ended, the peer closed or the
  // wait timed out.
  void ReadVar(TSocket Socket, void* Buffer, int Size, int& Count);
  // One line without its CR LF; "" when the data ends before the line does
  // or the line is longer than the control-line limit.
  std::string ReadLine(TSocket Socket);
  // Sends all of Buffer; failures are not reported (the replies tell). A
  // peer that takes nothing for Timeout ends the sending.
  void WriteBuffer(TSocket Socket, const void* Buffer, int Size);
  void WriteString(TSocket Socket, const std::string& S);

protected:
  enum TReadResult { rrData, rrEnd, rrTimeout, rrCancelled };
  // One receive: waits (bounded) for data; Cancel, when given, is polled
  // while waiting.
  TReadResult ReadSome(TSocket Socket, void* Buffer, int Size, int& Count,
                       const std::atomic<bool>* Cancel = nullptr);
  enum TLineResult { lrLine, lrEnd, lrTimeout, lrTooLong };
  enum TWriteResult { wrDone, wrFailed, wrTimeout };
  TWriteResult WriteBufferEx(TSocket Socket, const void* Buffer, int Size);
  TLineResult ReadLineEx(TSocket Socket, std::string& Line);
  // End of data is kept per socket, so the end of a data connection never
  // reads as the end of the control connection.
  void SetEof(TSocket Socket);
  void ResetEof(TSocket Socket);
  bool EofSeen(TSocket Socket) const;
  // Lets the calling thread's pending window messages be handled.
  static void ProcessMessages();
  // Raises again what a window message handler raised during the pump.
  void RaisePendingWndProcError();

  char* FBuffer = nullptr;
  std::string FHostName;
  uint16_t FSocketNumber = 0;
  TSocket FSocket = NoSocket;
  TMemoryStream* FStream = nullptr;
  bool FNewData = false;
  bool FLoggedIn = false;
  uint32_t FIPAddress = INVALID_IPAddress;
  // The WinSock error of the last failed connect, bind or listen.
  int FLastError = 0;

private:
  friend struct TSocketWindow;
  std::exception_ptr FWndProcError;
  bool FAsync = false;
  int FTimeout = DefaultSocketTimeout;
  void* FHandle = nullptr;
  std::vector<TSocket> FEofSockets;
};

// The process-wide cancel flag of downloads: set by a user's Cancel on any
// thread, polled by the download loop and read by Logout.
extern std::atomic<bool> AbortDownload;

enum TFTPMode { fmDownload, fmUpload, fmGetDir };
extern const TEnumInfo FTPModeInfo;
using TDataTransferProc = std::function<void(TObject* Sender, TFTPMode Mode, int32_t Bytes)>;
using TFTPActionCompleteProc = std::function<void(TObject* Sender, TFTPMode Mode)>;
using TNotifyEvent = std::function<void(TObject* Sender)>;

// The password of anonymous logins: an address, as is customary.
constexpr const char* DefaultFTPPassword = "guest@anon.com";

extern const char* const SFTPBusy;
extern const char* const SCannotFindHost;
extern const char* const SFTPFileProcessError;

// The FTP client: a control connection with the command and reply cycle, and
// passive (or active) data connections for download, upload and listing.
class TQlntFTP : public TQlntSocket {
  QNT_PUBLISHED(TQlntFTP, TQlntSocket)
public:
  explicit TQlntFTP(TComponent* AOwner);
  ~TQlntFTP() override;

  bool Asynchronous() const { return FAsynchronous; }
  void SetAsynchronous(bool Value) { FAsynchronous = Value; }
  const std::string& Hostname() const { return FHostName; }
  void SetHostname(const std::string& Value) { FHostName = Value; }
  TFTPMode Mode() const { return FMode; }
  void SetMode(TFTPMode Value) { FMode = Value; }
  bool Passive() const { return FPassive; }
  void SetPassive(bool Value) { FPassive = Value; }
  const std::string& Password() const { return FPassword; }
  void SetPassword(const std::string& Value) { FPassword = Value; }
  uint16_t Port() const { return FPort; }
  void SetPort(uint16_t Value) { FPort = Value; }
  const std::string& URI() const { return FUrl; }
  void SetURI(const std::string& Value) { FUrl = Value; }
  const std::string& Username() const { return FUserName; }
  void SetUsername(const std::string& Value) { FUserName = Value; }

  const TFTPActionCompleteProc& OnActionComplete() const { return FActionEvent; }
  void SetOnActionComplete(TFTPActionCompleteProc Value) { FActionEvent = std::move(Value); }
  const TNotifyEvent& OnCancel() const { return FCancelEvent; }
  void SetOnCancel(TNotifyEvent Value) { FCancelEvent = std::move(Value); }
  const TDataTransferProc& OnDataReceived() const { return FDataReceivedEvent; }
  void SetOnDataReceived(TDataTransferProc Value) { FDataReceivedEvent = std::move(Value); }

  bool Busy() const { return FBusy; }
  int32_t Status_number() const { return FStatusNr; }
  const std::string& Status_text() const { return FStatusText; }
  TMemoryStream* Stream() const { return FStream; }
  int32_t Size() const { return FSize; }
  // The lines of the last listing.
  const TStringList& CurrentDirList() const { return FCurrentDirList; }
  // True when the control connection ended, timed out or went out of step:
  // the login is no longer usable.
  bool ConnectionLost() const { return FConnectionLost; }
  // Where a download goes: Stream when none is set, else this stream of the
  // caller's, written block by block as the data arrives (Stream stays
  // empty).
  TStream* DownloadTarget() const { return FDownloadTarget; }
  void SetDownloadTarget(TStream* Target) { FDownloadTarget = Target; }
  // The most bytes one download or listing may bring, whatever the server
  // announced; 0: no bound of the caller's. Besides it a download stops past
  // the size the server announced, and a listing, or a download of unknown
  // size held in Stream, past ftpreply::MaxUnsizedInMemory.
  int64_t MaxTransferSize() const { return FMaxTransferSize; }
  void SetMaxTransferSize(int64_t Bytes) { FMaxTransferSize = Bytes > 0 ? Bytes : 0; }

  void Login() override;
  void Logout() override;
  void Action() override;
  void SendCommand(const std::string& S) override;
  void WndProc(TMessage& Message) override;

  void Download();
  void Upload();
  void GetDir(const std::string& DirName);
  void Abort();
  std::string ReadLineComm();

protected:
  // Reads one whole reply into Status_number/Status_text; a code of 400 or
  // more raises EQlntFTPCode.
  void Response();
  void GetDataSocket();
  bool DoRead();
  bool DoWrite();
  void FinishDownload();
  void FinishUpload();
  void FinishGetDir();

private:
  enum TDataResult { drData, drEnd, drCancelled };
  TDataResult ReadBlock();
  void CloseDataSocket();
  // The address of the control connection's peer (network order).
  uint32_t ControlPeer();
  void OpenPassiveData();
  void ListenForActiveData();
  void AcceptDataConnection();
  void QuerySize();
  void StartTransfer(const std::string& TypeBefore, const std::string& TypeAfter, const std::string& Command);
  void BeginBound(int64_t Announced, int64_t UnsizedLimit);
  std::string PastBoundMessage() const;
  void StoreBlock(int Count);
  // Closes everything and forgets the login; never raises.
  void DropConnection();
  // After a failed transfer: not busy, no data socket, and a control
  // connection that went out of step is dropped.
  void TransferFailed();
  void AbandonTransferStart();
  void DrainDataSocket();
  void SetAsyncSelect(TSocket Socket, unsigned Message, long Events);
  void WaitFinalReplyAsync();
  void DoReadNow();

  TNotifyEvent FCancelEvent;
  std::string FUrl;
  int32_t FStatusNr = 0;
  std::string FStatusText;
  std::string FUserName = "ftp";
  std::string FPassword;
  TSocket FCommSocket = NoSocket;
  TSocket FListenSocket = NoSocket;
  bool FPassive = true;
  uint16_t FPort = 21;
  TFTPMode FMode = fmDownload;
  TFTPMode FModeInternal = fmDownload;
  TStringList FCurrentDirList;
  int32_t FCurrentDirList_index = 0;
  int32_t FSize = 0;
  // The bound of the transfer in progress and what it brought so far.
  ftpreply::TTransferBound FBound;
  std::string FTransferName;
  TStream* FDownloadTarget = nullptr;
  int64_t FMaxTransferSize = 0;
  bool FBusy = false;
  bool FConnectionLost = false;
  TFTPActionCompleteProc FActionEvent;
  TDataTransferProc FDataReceivedEvent;
  TMemoryStream FDirectoryStream;
  bool FAsynchronous = false;
};
