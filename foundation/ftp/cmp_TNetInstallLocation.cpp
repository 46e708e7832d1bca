#include "foundation/ftp/cmp_TNetInstallLocation.h"

#include "classlib/Handles.h"
#include "classlib/SysUtils.h"
#include "classlib/Units.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/translator/cmp_TTranslator.h"

const char* const SFTPCouldNotLogin =
    "Could not logon onto the following FTP site: HostName - %s, UserName - %s. Please re-check your internet "
    "connection";
const char* const SFTPCouldNotLoginUserName = "Could not logon onto %s. The username -%s- is incorrect";
const char* const SFTPCouldNotLoginPassword = "Could not logon onto %s. The password for username -%s- is incorrect";

TNetInstallLocation* DefaultNetLocation = nullptr;

void StartDefaultNetLocation() {
  if (!DefaultNetLocation) DefaultNetLocation = new TNetInstallLocation(nullptr);
}
void EndDefaultNetLocation() {
  delete DefaultNetLocation;
  DefaultNetLocation = nullptr;
}

namespace {
// With the engine's units, so it is freed (and logs out) before WinSock ends.
// The install container unit makes and frees it among its own globals when
// it is linked; both calls do their work once.
TUnitRegistration reg(ulEngine, "DefaultNetLocation", StartDefaultNetLocation, EndDefaultNetLocation);
}  // namespace

// ------------------------------------------------------ TCustomLoginInformation

void TCustomLoginInformation::Assign(const TPersistent* Source) {
  if (auto src = dynamic_cast<const TCustomLoginInformation*>(Source)) {
    FAsynchronous = src->FAsynchronous;
    FDirectory = src->FDirectory;
    FHostname = src->FHostname;
    FPassive = src->FPassive;
    FPassword = src->FPassword;
    FPort = src->FPort;
    FUserName = src->FUserName;
    return;
  }
  TPersistent::Assign(Source);
}

bool TCustomLoginInformation::FilledIn() const {
  return !Trim(FHostname).empty() || !Trim(FPassword).empty() || !Trim(FUserName).empty();
}

// ---------------------------------------------------- TCustomNetInstallLocation

// Port, Passive and Asynchronous stay public: forms give the server, the
// account and the directory only.
QNT_PUBLISH(TCustomLoginInformation,
  Prop::String("Directory", &TCustomLoginInformation::Directory, &TCustomLoginInformation::SetDirectory, ""),
  Prop::String("Hostname", &TCustomLoginInformation::Hostname, &TCustomLoginInformation::SetHostname, ""),
  Prop::String("Password", &TCustomLoginInformation::Password, &TCustomLoginInformation::SetPassword, ""),
  Prop::String("Username", &TCustomLoginInformation::Username, &TCustomLoginInformation::SetUsername, ""));
QNT_PUBLISH(TLoginInformation);

// The base publishes nothing (its descendant decides what forms give).
QNT_PUBLISH(TCustomNetInstallLocation);
// The location's login information is filled in place; OnDataReceivedNP is
// attached at run time only.
QNT_PUBLISH(TNetInstallLocation,
  Prop::Object("LoginInformation", &TNetInstallLocation::LoginInformation),
  Prop::Event("OnAfterLogin", &TNetInstallLocation::OnAfterLogin, &TNetInstallLocation::SetOnAfterLogin),
  Prop::Event("OnBeforeLogin", &TNetInstallLocation::OnBeforeLogin, &TNetInstallLocation::SetOnBeforeLogin),
  Prop::Event("OnDataReceived", &TNetInstallLocation::OnDataReceived, &TNetInstallLocation::SetOnDataReceived));

TCustomNetInstallLocation::TCustomNetInstallLocation(TComponent* AOwner)
    : TComponent(AOwner), FLoginInformation(new TLoginInformation()) {
  FMyFTP = new TQlntFTP(this);
}

TCustomNetInstallLocation::~TCustomNetInstallLocation() {
  delete FLoginInformation;
  FLoginInformation = nullptr;
  delete FMyFTP;  // logs out
  FMyFTP = nullptr;
}

void TCustomNetInstallLocation::SetLoginInformation(const TLoginInformation* New) { FLoginInformation->Assign(New); }

void TCustomNetInstallLocation::DoDataReceived(TObject*, TFTPMode, int32_t Bytes) {
  FTotalBytes += Bytes;
  if (FDataReceivedEvent) FDataReceivedEvent(this, FMyFTP->URI(), Bytes, FTotalBytes, FMyFTP->Size());
  if (FDataReceivedNPEvent) FDataReceivedNPEvent(this, FMyFTP->URI(), Bytes, FTotalBytes, FMyFTP->Size());
}

void TCustomNetInstallLocation::FTPComplete(TObject*, TFTPMode Mode) {
  // The file was written as the data arrived; only now is it whole.
  if (Mode == fmDownload) FStored = true;
}

void TCustomNetInstallLocation::TryDownload(const std::string& Remote, int64_t MaxBytes) {
  if (!FMyFTP->LoggedIn()) {
    if (FBeforeLoginEvent) FBeforeLoginEvent(this);
    FMyFTP->Login();
    if (FAfterLoginEvent) FAfterLoginEvent(this);
  }
  FMyFTP->SetURI(Remote);
  FMyFTP->SetOnDataReceived([this](TObject* s, TFTPMode m, int32_t b) { DoDataReceived(s, m, b); });
  FTotalBytes = 0;
  // An archive may be larger than memory can hold: it goes to its file
  // block by block, never held whole.
  TFileStream target(FDestFile, fmCreate);
  FTargetMade = true;
  FMyFTP->SetDownloadTarget(&target);
  FMyFTP->SetMaxTransferSize(MaxBytes);
  TScopeGuard detach([this] {
    FMyFTP->SetDownloadTarget(nullptr);
    FMyFTP->SetMaxTransferSize(0);
  });
  FMyFTP->Download();
  FTotalBytes = 0;
  FMyFTP->SetOnDataReceived(nullptr);
}

void TCustomNetInstallLocation::DownloadFile(const std::string& SourceFile, const std::string& DestFile,
                                             int64_t MaxBytes) {
  FDestFile = DestFile;
  FStored = false;
  FTargetMade = false;
  // Only a whole download stays: a cancelled, failed or refused one leaves
  // no file of its own behind.
  TScopeGuard removePartial([this] {
    if (FTargetMade && !FStored) RemoveFile(FDestFile);
  });
  PrepareClient();
  const std::string remote = FLoginInformation->Directory() + "/" + SourceFile;
  try {
    DownloadOnce(remote, MaxBytes);
  } catch (const EQlntFTPCode& e) {
    // A location without a name (the default one) is named by its
    // server, so that the message does not begin with a blank.
    const std::string who = Trim(Name()).empty() ? FMyFTP->Hostname() : Name();
    throw IENetInstallLocation(SFTPFileProcessError, {who, remote, static_cast<int>(e.ErrorNumber), e.Message});
  } catch (const EQlntSocketLogin&) {
    throw IENetInstallLocation(SFTPCouldNotLogin, {FMyFTP->Hostname(), FMyFTP->Username()});
  } catch (const EQlntFTPLogin_UserName&) {
    throw IENetInstallLocation(SFTPCouldNotLoginUserName, {FMyFTP->Hostname(), FMyFTP->Username()});
  } catch (const EQlntFTPLogin_Password&) {
    throw IENetInstallLocation(SFTPCouldNotLoginPassword, {FMyFTP->Hostname(), FMyFTP->Username()});
  }
}

void TCustomNetInstallLocation::PrepareClient() {
  const TLoginInformation& li = *FLoginInformation;
  // A blank user name is an anonymous login, not "USER " with nothing.
  std::string user = Trim(li.Username()).empty() ? std::string("ftp") : li.Username();
  // Host names are compared without case; user names are not (servers tell
  // "Tester" from "tester"), and a new port is a new server.
  if (CompareText(FMyFTP->Hostname(), li.Hostname()) != 0 || FMyFTP->Username() != user ||
      FMyFTP->Port() != li.Port())
    FMyFTP->Logout();
  FMyFTP->SetHostname(li.Hostname());
  // A blank password is the customary anonymous one.
  FMyFTP->SetPassword(li.Password().empty() ? std::string(DefaultFTPPassword) : li.Password());
  FMyFTP->SetPort(li.Port());
  FMyFTP->SetUsername(user);
  FMyFTP->SetOnActionComplete([this](TObject* s, TFTPMode m) { FTPComplete(s, m); });
}

void TCustomNetInstallLocation::DownloadOnce(const std::string& Remote, int64_t MaxBytes) {
  bool reused = FMyFTP->LoggedIn();
  try {
    TryDownload(Remote, MaxBytes);
    // A cancelled transfer leaves the client busy and the server's replies
    // to it unread: the session ends here (without waiting for the server),
    // so the next download logs in afresh instead of finding it busy.
    if (AbortDownload && FMyFTP->Busy()) FMyFTP->Logout();
  } catch (const EQlntFTPCode& e) {
    // A login kept from an earlier download may have been ended by the
    // server's idle time-out; that shows before any data arrives. One
    // fresh login then.
    if (!reused || FTotalBytes != 0 || !(e.ErrorNumber == 421 || FMyFTP->ConnectionLost())) throw;
    FMyFTP->Logout();
    TryDownload(Remote, MaxBytes);
  }
}
