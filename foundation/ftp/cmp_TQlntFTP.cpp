// The FTP client's command and reply cycle: the unit's globals, login and
// logout, the replies, and the abort of a transfer. Its data connections and
// transfers have files of their own (cmp_TQlntFTP_Data.cpp,
// cmp_TQlntFTP_Transfer.cpp); the socket layer is cmp_TQlntFTP_Socket.cpp.
#include "foundation/ftp/cmp_TQlntFTP.h"

#include <algorithm>

#include "classlib/Handles.h"
#include "classlib/SysUtils.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/ftp/ftpReply.h"

std::atomic<bool> AbortDownload{false};

const char* const SFTPBusy = "Could not perform operation %s because the remote site was busy";
const char* const SCannotFindHost =
    "Cannot retrieve the IP Address for the host %s. Make sure you are connected to the net";
const char* const SFTPFileProcessError =
    "%s could not perform the operation on the file %s. The server reported the error %d-%s";

namespace {
// Logging out does not wait longer than this for the server's goodbye.
const int kQuitWaitMs = 10000;
}  // namespace

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
