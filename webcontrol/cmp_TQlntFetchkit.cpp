#include "webcontrol/cmp_TQlntFetchkit.h"

#include <windows.h>

#include <exception>

#include "classlib/Registry.h"
#include "classlib/Streams.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "webcontrol/FetchkitForm.h"
#include "webcontrol/fetchkit_Values.h"

bool AlreadyClicked = false;

namespace {

const char* const SNoTempDir = "LOADER: Could not find the temporary directory on this computer";
const char* const SCannotRun = "LOADER: Could not run the installation executable file. The WinExec return was ";
const char* const SNoPlainFileName =
    "The name of the setup file to download (LoadingEXE) must be a plain file name, without a drive or folder: \"";
const char* const InstallListKey = "\\SOFTWARE\\Quillant\\Install";

void ShowMessageBox(const std::string& Text, UINT Icon) {
  MessageBoxW(nullptr, Widen(Text).c_str(), L"Install", MB_OK | MB_TASKMODAL | Icon);
}

std::string MessageOf(std::exception_ptr E) {
  try {
    std::rethrow_exception(E);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown exception";
  }
}

}  // namespace

QNT_PUBLISH(TQlntFetchkit,
  Prop::String("Directory", &TQlntFetchkit::FDirectory, &TQlntFetchkit::FDirectory),
  Prop::String("DownloadingMsg_ChSim", &TQlntFetchkit::FDownloadingMsg_ChSim, &TQlntFetchkit::FDownloadingMsg_ChSim),
  Prop::String("DownloadingMsg_Czech", &TQlntFetchkit::FDownloadingMsg_Czech, &TQlntFetchkit::FDownloadingMsg_Czech),
  Prop::String("DownloadingMsg_Danis", &TQlntFetchkit::FDownloadingMsg_Danis, &TQlntFetchkit::FDownloadingMsg_Danis),
  Prop::String("DownloadingMsg_Engli", &TQlntFetchkit::FDownloadingMsg_Engli, &TQlntFetchkit::FDownloadingMsg_Engli),
  Prop::String("DownloadingMsg_Frenc", &TQlntFetchkit::FDownloadingMsg_Frenc, &TQlntFetchkit::FDownloadingMsg_Frenc),
  Prop::String("DownloadingMsg_Germa", &TQlntFetchkit::FDownloadingMsg_Germa, &TQlntFetchkit::FDownloadingMsg_Germa),
  Prop::String("DownloadingMsg_Greek", &TQlntFetchkit::FDownloadingMsg_Greek, &TQlntFetchkit::FDownloadingMsg_Greek),
  Prop::String("DownloadingMsg_Hebre", &TQlntFetchkit::FDownloadingMsg_Hebre, &TQlntFetchkit::FDownloadingMsg_Hebre),
  Prop::String("DownloadingMsg_Itali", &TQlntFetchkit::FDownloadingMsg_Itali, &TQlntFetchkit::FDownloadingMsg_Itali),
  Prop::String("DownloadingMsg_Japan", &TQlntFetchkit::FDownloadingMsg_Japan, &TQlntFetchkit::FDownloadingMsg_Japan),
  Prop::String("DownloadingMsg_Korea", &TQlntFetchkit::FDownloadingMsg_Korea, &TQlntFetchkit::FDownloadingMsg_Korea),
  Prop::String("DownloadingMsg_Portu", &TQlntFetchkit::FDownloadingMsg_Portu, &TQlntFetchkit::FDownloadingMsg_Portu),
  Prop::String("DownloadingMsg_Russi", &TQlntFetchkit::FDownloadingMsg_Russi, &TQlntFetchkit::FDownloadingMsg_Russi),
  Prop::String("DownloadingMsg_Spani", &TQlntFetchkit::FDownloadingMsg_Spani, &TQlntFetchkit::FDownloadingMsg_Spani),
  Prop::String("DownloadingMsg_Vietn", &TQlntFetchkit::FDownloadingMsg_Vietn, &TQlntFetchkit::FDownloadingMsg_Vietn),
  Prop::String("DownloadingMsgLang", &TQlntFetchkit::FDownloadingMsgLang, &TQlntFetchkit::FDownloadingMsgLang),
  Prop::String("Hint", &TQlntFetchkit::FHint, &TQlntFetchkit::FHint),
  Prop::String("HostName", &TQlntFetchkit::FHostName, &TQlntFetchkit::FHostName),
  Prop::String("LoadingEXE", &TQlntFetchkit::FLoadingEXE, &TQlntFetchkit::FLoadingEXE),
  Prop::String("LogonMsg_ChSim", &TQlntFetchkit::FLogonMsg_ChSim, &TQlntFetchkit::FLogonMsg_ChSim),
  Prop::String("LogonMsg_Czech", &TQlntFetchkit::FLogonMsg_Czech, &TQlntFetchkit::FLogonMsg_Czech),
  Prop::String("LogonMsg_Danis", &TQlntFetchkit::FLogonMsg_Danis, &TQlntFetchkit::FLogonMsg_Danis),
  Prop::String("LogonMsg_Engli", &TQlntFetchkit::FLogonMsg_Engli, &TQlntFetchkit::FLogonMsg_Engli),
  Prop::String("LogonMsg_Frenc", &TQlntFetchkit::FLogonMsg_Frenc, &TQlntFetchkit::FLogonMsg_Frenc),
  Prop::String("LogonMsg_Germa", &TQlntFetchkit::FLogonMsg_Germa, &TQlntFetchkit::FLogonMsg_Germa),
  Prop::String("LogonMsg_Greek", &TQlntFetchkit::FLogonMsg_Greek, &TQlntFetchkit::FLogonMsg_Greek),
  Prop::String("LogonMsg_Hebre", &TQlntFetchkit::FLogonMsg_Hebre, &TQlntFetchkit::FLogonMsg_Hebre),
  Prop::String("LogonMsg_Itali", &TQlntFetchkit::FLogonMsg_Itali, &TQlntFetchkit::FLogonMsg_Itali),
  Prop::String("LogonMsg_Japan", &TQlntFetchkit::FLogonMsg_Japan, &TQlntFetchkit::FLogonMsg_Japan),
  Prop::String("LogonMsg_Korea", &TQlntFetchkit::FLogonMsg_Korea, &TQlntFetchkit::FLogonMsg_Korea),
  Prop::String("LogonMsg_Portu", &TQlntFetchkit::FLogonMsg_Portu, &TQlntFetchkit::FLogonMsg_Portu),
  Prop::String("LogonMsg_Russi", &TQlntFetchkit::FLogonMsg_Russi, &TQlntFetchkit::FLogonMsg_Russi),
  Prop::String("LogonMsg_Spani", &TQlntFetchkit::FLogonMsg_Spani, &TQlntFetchkit::FLogonMsg_Spani),
  Prop::String("LogonMsg_Vietn", &TQlntFetchkit::FLogonMsg_Vietn, &TQlntFetchkit::FLogonMsg_Vietn),
  Prop::String("LogonMsgLang", &TQlntFetchkit::FLogonMsgLang, &TQlntFetchkit::FLogonMsgLang),
  Prop::String("Password", &TQlntFetchkit::FPassword, &TQlntFetchkit::FPassword),
  Prop::Float("SetupCreationDate", &TQlntFetchkit::FSetupCreationDate, &TQlntFetchkit::FSetupCreationDate, 0.0),
  Prop::Integer("SetupSize", &TQlntFetchkit::FSetupSize, &TQlntFetchkit::FSetupSize, 0),
  Prop::String("UserName", &TQlntFetchkit::FUserName, &TQlntFetchkit::FUserName));

// ---------------------------------------------------------------- helpers

bool GetPropertyValueAsString(const TPersistent* Comp, const std::string& PropName, std::string& ResultString) {
  ResultString.clear();
  if (!Comp) return false;
  for (const TPropInfo* p : Comp->ClassInfo().AllProps()) {
    if (p->Kind == pkString && p->GetString && SameText(p->Name, PropName)) {
      ResultString = p->GetString(Comp);
      return true;
    }
  }
  return false;
}

bool SetPropertyValueAsString(TPersistent* Comp, const std::string& PropName, const std::string& Value) {
  if (!Comp) return false;
  for (const TPropInfo* p : Comp->ClassInfo().AllProps()) {
    if (p->Kind == pkString && p->SetString && SameText(p->Name, PropName)) {
      p->SetString(Comp, Value);
      return true;
    }
  }
  return false;
}

std::string GetLibraryName() {
  HMODULE m = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&GetLibraryName), &m);
  wchar_t buf[262] = {};
  DWORD n = GetModuleFileNameW(m, buf, 262);
  return Narrow(std::wstring(buf, n));
}

// ---------------------------------------------------------------- TQlntFetchkit

TQlntFetchkit::TQlntFetchkit(TComponent* AOwner) : TPanel(AOwner) {
  SetBorderWidth(5);
  SetCaption("Install");
  AlreadyClicked = false;
  fmFetchkit = new TfmFetchkit(Application);
  fmFetchkit->btnAbort->Hide();
  fmFetchkit->btnAbort->OnClick = [this](TObject* Sender) { DoAbortClick(Sender); };
  fmFetchkit->MessageLbl->SetCaption("");
}

TQlntFetchkit::~TQlntFetchkit() {
  TfmFetchkit* form = fmFetchkit;
  fmFetchkit = nullptr;
  if (form) form->Free();
  if (FTPThread) {
    // The window it would report to is gone.
    FTPThread->OnTerminate = nullptr;
    delete FTPThread;  // waits for a running download
    FTPThread = nullptr;
  }
}

void TQlntFetchkit::Assign(const TPersistent* Source) {
  auto* src = dynamic_cast<const TQlntFetchkit*>(Source);
  if (!src) {
    TComponent::Assign(Source);
    return;
  }
  for (const TPropInfo* p : src->ClassInfo().AllProps()) {
    if (p->Kind != pkString || !p->GetString) continue;
    // The component's name stays its own: two components of one owner
    // cannot share it, and the copy has no owner to ask.
    if (SameText(p->Name, "Name")) continue;
    SetPropertyValueAsString(this, p->Name, p->GetString(src));
  }
  FSetupCreationDate = src->FSetupCreationDate;
  FSetupSize = src->FSetupSize;
}

void TQlntFetchkit::Click() {
  // The panel looks pressed while its handler runs.
  TPanelBevel outer = BevelOuter();
  SetBevelOuter(bvNone);
  try {
    TPanel::Click();
  } catch (...) {
    SetBevelOuter(outer);
    throw;
  }
  SetBevelOuter(outer);
  StartInstall();
}

LRESULT TQlntFetchkit::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
    case WM_LBUTTONDOWN:
      FPressed = true;
      SetCapture(Handle());
      break;
    case WM_CAPTURECHANGED:
      FPressed = false;
      break;
    case WM_LBUTTONUP:
      if (FPressed) {
        FPressed = false;
        ReleaseCapture();
        POINT pt{static_cast<short>(LOWORD(LParam)), static_cast<short>(HIWORD(LParam))};
        RECT client;
        GetClientRect(Handle(), &client);
        if (PtInRect(&client, pt)) Click();
        return 0;
      }
      break;
    case WM_SETCURSOR:
      // The page's pointer over the panel; the class's arrow otherwise.
      if (FCursor != crDefault && LOWORD(LParam) == HTCLIENT) {
        ::SetCursor(CursorHandle(FCursor));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return TPanel::WndProc(Msg, WParam, LParam);
}

void TQlntFetchkit::SetCursor(TCursor Value) {
  FCursor = Value;
  // Shown at once when the mouse is over the panel.
  POINT pt;
  if (HandleAllocated() && GetCursorPos(&pt) && WindowFromPoint(pt) == Handle())
    SendMessageW(Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Handle()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

void TQlntFetchkit::CheckLoadingEXE() const {
  if (!IsPlainFileName(FLoadingEXE)) throw Exception(SNoPlainFileName + FLoadingEXE + "\"");
}

void TQlntFetchkit::StartInstall() {
  // Refused before anything is loaded, made or started.
  CheckLoadingEXE();
  if (AlreadyClicked) return;
  AlreadyClicked = true;
  // Cleared only for a run that really starts: a click while an aborted
  // download is still ending must not take the abort back.
  AbortDownload = false;
  // Until the copy carries the start, any way out of here ends the run.
  try {
    std::string lib = GetLibraryName();
    // Loaded once more and never freed: the copy, its thread and its window
    // must outlive the page that holds this control.
    HMODULE h = LoadLibraryW(Widen(lib).c_str());
    if (!h) {
      AlreadyClicked = false;
      ShowMessageBox("Could not load " + lib, MB_ICONERROR);
      return;
    }
    auto run = reinterpret_cast<TRunInstall>(reinterpret_cast<void*>(GetProcAddress(h, "RunInstall")));
    if (!run) {
      AlreadyClicked = false;
      ShowMessageBox("Could not load RunInstall from " + lib, MB_ICONERROR);
      return;
    }
    run(this);
  } catch (...) {
    AlreadyClicked = false;
    throw;
  }
}

extern "C" void RunInstall(TQlntFetchkit* QKit) {
  auto* copy = new TQlntFetchkit(nullptr);  // lives until the process ends
  // Making a panel clears the guard; this start is still running.
  AlreadyClicked = true;
  copy->Assign(QKit);
  copy->StartInstall2();
}

void TQlntFetchkit::StartInstall2() {
  CheckLoadingEXE();
  fmFetchkit->Show();
  fmFetchkit->Repaint();
  try {
    wchar_t tmp[262] = {};
    DWORD n = GetTempPathW(262, tmp);
    if (n == 0 || n >= 262) throw Exception(SNoTempDir);
    std::string tempPath = Narrow(std::wstring(tmp, n));
    wchar_t name[MAX_PATH + 2] = {};
    if (GetTempFileNameW(tmp, L"qnt", 0, name) == 0) throw Exception(SNoTempDir);
    DeleteFileW(name);
    FTempDir = ChangeFileExt(Narrow(std::wstring(name)), "");
    if (Trim(FTempDir).empty()) throw Exception(SNoTempDir);
    if (!CreateDirectoryW(Widen(FTempDir).c_str(), nullptr)) FTempDir = ExcludeTrailingBackslash(tempPath);

    RunEXE = GetPreviouslyDownloadedExecutable();
    if (Trim(RunEXE).empty()) {
      RunEXE = IncludeTrailingBackslash(FTempDir) + FLoadingEXE;
      // Attached before the thread can end, so its end is never missed.
      FTPThread = new TFTPThread(this);
      FTPThread->OnTerminate = [this](TObject* Sender) { ThreadDone(Sender); };
      FTPThread->Start();
      return;
    }
    // The setup an earlier run left: started at once, and this run is over.
    LaunchEXE();
  } catch (...) {
    fmFetchkit->Hide();
    AlreadyClicked = false;
    throw;
  }
  fmFetchkit->Hide();
  AlreadyClicked = false;
}

std::string TQlntFetchkit::GetPreviouslyDownloadedExecutable() const {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  if (!reg.OpenKeyReadOnly(InstallListKey)) return "";
  TStringList names;
  reg.GetKeyNames(&names);
  reg.CloseKey();
  for (int i = 0; i < names.Count(); ++i) {
    try {
      TRegistry sub(KEY_READ);
      sub.SetRootKey(HKEY_LOCAL_MACHINE);
      if (!sub.OpenKeyReadOnly(std::string(InstallListKey) + "\\" + names[i])) continue;
      if (!sub.ValueExists("Path") || !sub.ValueExists("CreationDate") || !sub.ValueExists("Size")) continue;
      std::string path = sub.ReadString("Path");
      if (sub.GetDataSize("CreationDate") != 8) continue;
      double created = sub.ReadDateTime("CreationDate");
      int32_t size = sub.ReadInteger("Size");
      if (SameSetupDate(created, FSetupCreationDate) && size == FSetupSize && !Trim(path).empty() &&
          FileExists(path))
        return path;
    } catch (const std::exception&) {
      // An unreadable subkey or value: passed over.
    }
  }
  return "";
}

void TQlntFetchkit::LaunchEXE() {
  // Quoted, so that a path with blanks names the file and nothing else.
  std::wstring cmd = L"\"" + Widen(RunEXE) + L"\"";
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION pi = {};
  std::wstring dir = Widen(ExcludeTrailingBackslash(ExtractFilePath(RunEXE)));
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.empty() ? nullptr : dir.c_str(),
                      &si, &pi)) {
    DWORD e = GetLastError();
    // The numbers WinExec gives for the same failures.
    long code = e == ERROR_BAD_EXE_FORMAT ? 11 : e == ERROR_NOT_ENOUGH_MEMORY ? 0 : static_cast<long>(e);
    if (code >= 32) code = 31;
    throw Exception(SCannotRun + IntToStr(code));
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

std::string TQlntFetchkit::GetLogonMsg() const {
  std::string r;
  if (GetPropertyValueAsString(this, FLogonMsgLang, r)) return r;
  GetPropertyValueAsString(this, "LogonMsg_Engli", r);
  return r;
}

std::string TQlntFetchkit::GetDownloadingMsg() const {
  std::string r;
  if (GetPropertyValueAsString(this, FDownloadingMsgLang, r)) return r;
  GetPropertyValueAsString(this, "DownloadingMsg_Engli", r);
  return r;
}

void TQlntFetchkit::ThreadDone(TObject* Sender) {
  auto* t = dynamic_cast<TFTPThread*>(Sender);
  if (fmFetchkit) fmFetchkit->Hide();
  try {
    if (t && t->Successful)
      LaunchEXE();
    else if (t && !t->ErrorMessage().empty())
      ReportError(t->ErrorMessage());
    else if (t && t->FatalException())
      ReportError(t->FatalMessage());
  } catch (...) {
    // Runs inside the host's message handling: shown, never raised there.
    ReportError(MessageOf(std::current_exception()));
  }
  AlreadyClicked = false;
}

void TQlntFetchkit::DoAbortClick(TObject*) {
  // The guard stays set until the thread has ended (ThreadDone): a click
  // in between would clear the cancel flag of the download still ending.
  TFTPThread::Abort();
}

void TQlntFetchkit::ReportError(const std::string& Message) { ShowMessageBox(Message, MB_ICONERROR); }

// ---------------------------------------------------------------- TFTPThread

TFTPThread::TFTPThread(TQlntFetchkit* AKit) : TThread(true), Kit(AKit) {}

void TFTPThread::Abort() { AbortDownload = true; }

void TFTPThread::Execute() {
  // Everything is caught here: the end of the thread is reported to the
  // user-interface thread by ThreadDone, never by an exception.
  try {
    Run();
  } catch (const std::exception& e) {
    FError = e.what();
    if (FError.empty()) FError = "The download failed";
  } catch (...) {
    FError = "The download failed";
  }
  if (!Successful && !Kit->RunEXE.empty()) DeleteFileW(Widen(Kit->RunEXE).c_str());
}

void TFTPThread::Run() {
  Successful = false;
  TQlntFTP ftp(nullptr);
  FTP = &ftp;
  struct TClear {
    TQlntFTP*& P;
    ~TClear() { P = nullptr; }
  } clear{FTP};
  ftp.SetAsynchronous(false);
  ftp.SetHostname(Kit->HostName());
  ftp.SetUsername(Kit->UserName());
  ftp.SetURI(Kit->Directory() + "/" + Kit->LoadingEXE());
  ftp.SetPassword(Kit->Password());
  ftp.SetOnDataReceived([this](TObject* S, TFTPMode M, int32_t B) { DoDataReceived(S, M, B); });

  FMessage = Kit->GetLogonMsg();
  Synchronize([this] { SetFormProperties(); });
  ftp.Login();
  FMessage = Kit->GetDownloadingMsg();
  Synchronize([this] { SetFormProperties(); });
  // The setup goes to its file as it arrives, never held whole in memory;
  // Execute removes what a failed or cancelled download left.
  TFileStream out(Kit->RunEXE, fmCreate);
  ftp.SetDownloadTarget(&out);
  ftp.Download();
  if (AbortDownload) return;
  Successful = true;
  FProgress = 100;
  Synchronize([this] { SetFormProperties(); });
}

void TFTPThread::DoDataReceived(TObject*, TFTPMode, int32_t Bytes) {
  FTransferred += Bytes;
  FProgress = FTP ? ProgressPercent(FTransferred, FTP->Size()) : 0;
  Synchronize([this] { SetFormProperties(); });
}

void TFTPThread::SetFormProperties() {
  TfmFetchkit* f = Kit->ProgressForm();
  if (!f) return;
  f->lblBytesTransferred->SetCaption(FormatBytesTransferred(FTransferred));
  f->MessageLbl->SetCaption(FMessage);
  f->Progress->SetPosition(FProgress);
  f->btnAbort->Show();
}
