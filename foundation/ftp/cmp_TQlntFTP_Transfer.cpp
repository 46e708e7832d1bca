// The FTP client's transfers: download, upload and listing, from the
// command that starts one to the step that finishes it.
#include <algorithm>
#include <limits>

#include "classlib/Handles.h"
#include "classlib/SysUtils.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/ftp/cmp_TQlntFTP.h"
#include "foundation/ftp/ftpReply.h"
#include "foundation/ftp/ftpWinsock.h"

// A refused transfer leaves no data connection behind, and a lost control
// connection ends the login.
void TQlntFTP::AbandonTransferStart() {
  CloseDataSocket();
  if (FConnectionLost) DropConnection();
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

void TQlntFTP::QuerySize() {
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
}

// Opens the data connection and sends the transfer command, reading its
// preliminary reply; a type command, when given, goes before the data
// connection is opened or after it.
void TQlntFTP::StartTransfer(const std::string& TypeBefore, const std::string& TypeAfter,
                             const std::string& Command) {
  TScopeGuard abandon([this] { AbandonTransferStart(); });
  if (!TypeBefore.empty()) {
    SendCommand(TypeBefore);
    Response();
  }
  GetDataSocket();
  if (!TypeAfter.empty()) {
    SendCommand(TypeAfter);
    Response();
  }
  SendCommand(Command);
  Response();
  AcceptDataConnection();
  abandon.Dismiss();
}

void TQlntFTP::Download() {
  if (FBusy) throw EQlntFTPBusy(Format(SFTPBusy, {"Download"}));
  if (!LoggedIn()) Login();
  if (FUrl.empty()) return;
  QuerySize();
  StartTransfer("TYPE I", "", "RETR " + FUrl);
  FModeInternal = fmDownload;
  FBusy = true;
  FStream->Clear();
  FTransferName = FUrl;
  // A file of unknown size may go to a file of the caller's as it arrives;
  // held in memory it stays within a bound that no real one reaches.
  BeginBound(FSize, FDownloadTarget ? 0 : ftpreply::MaxUnsizedInMemory);
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
  if (FSize > 0 && FBound.Received < FSize)
    throw EQlntFTPCode(Format("Only %d of %d bytes of %s arrived", {FBound.Received, FSize, FUrl}),
                       ftpreply::UnreadableCode);
  FStream->SetPosition(0);
  if (FActionEvent) FActionEvent(this, fmDownload);
  FBusy = false;
}

void TQlntFTP::Upload() {
  if (FBusy) throw EQlntFTPBusy(Format(SFTPBusy, {"Upload"}));
  if (!LoggedIn()) Login();
  if (FUrl.empty()) return;
  StartTransfer("", "", "STOR " + FUrl);
  FModeInternal = fmUpload;
  FBusy = true;
  FSize = static_cast<int32_t>(std::min<int64_t>(FStream->Size(), std::numeric_limits<int32_t>::max()));
  FStream->SetPosition(0);
  TScopeGuard failed([this] { TransferFailed(); });
  FinishUpload();
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
  StartTransfer("", "TYPE A", "LIST " + DirName);
  FModeInternal = fmGetDir;
  FBusy = true;
  FDirectoryStream.Clear();
  FTransferName = DirName;
  // A listing has no announced size: it is held in memory within the bound.
  BeginBound(0, ftpreply::MaxUnsizedInMemory);
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
