// The web-install panel: clicked on a page (or called by a script), it starts
// the setup that an earlier, unfinished run left on this computer, or else
// downloads the setup by FTP on a worker thread, with a progress window, and
// starts it. The whole start is carried by an ownerless copy of the panel,
// made inside the library through its export RunInstall, so that it goes on
// after the page and its control are gone.
#pragma once
#include <cstdint>
#include <string>

#include "classlib/Classes.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Threads.h"
#include "classlib/TypInfo.h"
#include "foundation/ftp/cmp_TQlntFTP.h"

class TfmFetchkit;
class TQlntFetchkit;

// The download of one start: logs on, downloads, stores the file as the
// panel's RunEXE and hands each progress step to the user-interface thread.
class TFTPThread : public TThread {
public:
  // Made suspended: the caller attaches its termination handler, then
  // starts it.
  explicit TFTPThread(TQlntFetchkit* AKit);
  // Sets the process-wide cancel flag of downloads.
  static void Abort();

  bool Successful = false;
  // What went wrong (empty after success or an abort).
  const std::string& ErrorMessage() const { return FError; }

protected:
  void Execute() override;

private:
  void Run();
  void DoDataReceived(TObject* Sender, TFTPMode Mode, int32_t Bytes);
  void SetFormProperties();

  TQlntFTP* FTP = nullptr;
  std::string FMessage;
  int32_t FProgress = 0;
  int64_t FTransferred = 0;
  TQlntFetchkit* Kit;
  std::string FError;
};

// A start is in progress (from a click until the run ends).
extern bool AlreadyClicked;

class TQlntFetchkit : public TPanel {
  QNT_PUBLISHED(TQlntFetchkit, TPanel)
public:
  explicit TQlntFetchkit(TComponent* AOwner);
  ~TQlntFetchkit() override;

  // From another panel: every published string property by name, then
  // SetupCreationDate and SetupSize.
  void Assign(const TPersistent* Source) override;
  // The click: the OnClick handler with the outer bevel flat, then
  // StartInstall.
  void Click() override;
  // A press and release of the left button inside the panel clicks it.
  LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;

  void StartInstall();
  void StartInstall2();
  void LaunchEXE();
  std::string GetLogonMsg() const;
  std::string GetDownloadingMsg() const;
  // The setup that an earlier run of the same setup left ("" when none).
  std::string GetPreviouslyDownloadedExecutable() const;

  std::string RunEXE;
  const std::string& TempDir() const { return FTempDir; }
  TfmFetchkit* ProgressForm() const { return fmFetchkit; }
  TFTPThread* Thread() const { return FTPThread; }

  double SetupCreationDate() const { return FSetupCreationDate; }
  void SetSetupCreationDate(double Value) { FSetupCreationDate = Value; }
  int32_t SetupSize() const { return FSetupSize; }
  void SetSetupSize(int32_t Value) { FSetupSize = Value; }

#define QNT_FETCHKIT_STRING(N) \
  const std::string& N() const { return F##N; } \
  void Set##N(const std::string& Value) { F##N = Value; }
  QNT_FETCHKIT_STRING(Directory)
  QNT_FETCHKIT_STRING(LoadingEXE)
  QNT_FETCHKIT_STRING(HostName)
  QNT_FETCHKIT_STRING(UserName)
  QNT_FETCHKIT_STRING(Password)
  QNT_FETCHKIT_STRING(DownloadingMsgLang)
  QNT_FETCHKIT_STRING(LogonMsgLang)
  QNT_FETCHKIT_STRING(DownloadingMsg_Engli)
  QNT_FETCHKIT_STRING(LogonMsg_Engli)
  QNT_FETCHKIT_STRING(Hint)
#undef QNT_FETCHKIT_STRING

  // The mouse pointer over the panel.
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Value);

  // Settings a page or script may give the panel that change nothing this
  // panel draws or does (nothing is dragged between a page and the panel,
  // the panel has no parent control of ours to take a colour or look from,
  // it holds no in-place objects, and it always repaints whole); kept so
  // that each reads back what was written.
  struct TKeptSettings {
    int DragCursor = -12;  // crDrag
    int DragMode = 0;      // dmManual
    bool FullRepaint = true;
    bool Locked = false;
    bool ParentColor = false;
    bool ParentCtl3D = true;
  };
  TKeptSettings Kept;

private:
  friend class TFTPThread;
  void ThreadDone(TObject* Sender);
  void DoAbortClick(TObject* Sender);
  void ReportError(const std::string& Message);
  // Raises an error unless LoadingEXE is a plain file name: joined to the
  // work folder, a path would store the server's file anywhere.
  void CheckLoadingEXE() const;

  TFTPThread* FTPThread = nullptr;
  TfmFetchkit* fmFetchkit = nullptr;
  std::string FTempDir;
  bool FPressed = false;
  TCursor FCursor = crDefault;

  std::string FDirectory, FLoadingEXE, FHostName, FUserName, FPassword, FHint;
  double FSetupCreationDate = 0.0;
  int32_t FSetupSize = 0;
  std::string FDownloadingMsg_ChSim, FDownloadingMsg_Czech, FDownloadingMsg_Danis, FDownloadingMsg_Engli,
      FDownloadingMsg_Frenc, FDownloadingMsg_Germa, FDownloadingMsg_Greek, FDownloadingMsg_Hebre,
      FDownloadingMsg_Itali, FDownloadingMsg_Japan, FDownloadingMsg_Korea, FDownloadingMsg_Portu,
      FDownloadingMsg_Russi, FDownloadingMsg_Spani, FDownloadingMsg_Vietn;
  std::string FDownloadingMsgLang;
  std::string FLogonMsg_ChSim, FLogonMsg_Czech, FLogonMsg_Danis, FLogonMsg_Engli, FLogonMsg_Frenc,
      FLogonMsg_Germa, FLogonMsg_Greek, FLogonMsg_Hebre, FLogonMsg_Itali, FLogonMsg_Japan, FLogonMsg_Korea,
      FLogonMsg_Portu, FLogonMsg_Russi, FLogonMsg_Spani, FLogonMsg_Vietn;
  std::string FLogonMsgLang;
};

// Looks among the published string properties of Comp's class (own and
// inherited) for PropName, ignoring case: true with its value, else false
// with ResultString empty.
bool GetPropertyValueAsString(const TPersistent* Comp, const std::string& PropName, std::string& ResultString);
// Sets the published string property of that name (ignoring case); false
// when there is none.
bool SetPropertyValueAsString(TPersistent* Comp, const std::string& PropName, const std::string& Value);
// The full path of the control library's own file.
std::string GetLibraryName();

// The library's export: makes the ownerless copy of QKit that carries the
// start. Exported undecorated by name.
extern "C" void RunInstall(TQlntFetchkit* QKit);
using TRunInstall = void (*)(TQlntFetchkit* QKit);
