// The network install location: login information for an FTP server and the
// download of one file of its directory to a local file, with translated
// errors.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "classlib/Classes.h"
#include "classlib/TypInfo.h"
#include "foundation/ftp/cmp_TQlntFTP.h"

class TCustomLoginInformation : public TPersistent {
  QNT_PUBLISHED(TCustomLoginInformation, TPersistent)
public:
  TCustomLoginInformation() = default;
  // Copies all seven values from another login information; anything else is
  // refused with the class library's assignment error.
  void Assign(const TPersistent* Source) override;
  // True when the host, the user or the password is not blank.
  bool FilledIn() const;

  bool Asynchronous() const { return FAsynchronous; }
  void SetAsynchronous(bool Value) { FAsynchronous = Value; }
  bool Passive() const { return FPassive; }
  void SetPassive(bool Value) { FPassive = Value; }
  uint16_t Port() const { return FPort; }
  void SetPort(uint16_t Value) { FPort = Value; }
  // The remote directory of the archives, absolute, without a trailing "/".
  const std::string& Directory() const { return FDirectory; }
  void SetDirectory(const std::string& Value) { FDirectory = Value; }
  const std::string& Hostname() const { return FHostname; }
  void SetHostname(const std::string& Value) { FHostname = Value; }
  const std::string& Password() const { return FPassword; }
  void SetPassword(const std::string& Value) { FPassword = Value; }
  const std::string& Username() const { return FUserName; }
  void SetUsername(const std::string& Value) { FUserName = Value; }

protected:
  bool FAsynchronous = false;
  std::string FDirectory;
  std::string FHostname;
  bool FPassive = true;
  std::string FPassword;
  uint16_t FPort = 21;
  std::string FUserName;
};

class TLoginInformation : public TCustomLoginInformation {
  QNT_PUBLISHED(TLoginInformation, TCustomLoginInformation)
};

using TLoginEvent = std::function<void(TObject* Sender)>;
using TDataReceivedEvent = std::function<void(TObject* Sender, const std::string& FileName, int32_t Bytes,
                                              int32_t TotalBytes, int32_t FileSize)>;

extern const char* const SFTPCouldNotLogin;
extern const char* const SFTPCouldNotLoginUserName;
extern const char* const SFTPCouldNotLoginPassword;

// The most a file list of the server's may have: real ones hold a few
// hundred bytes for each file of a distribution.
constexpr int64_t MaxFileListSize = ftpreply::MaxUnsizedInMemory;

class TCustomNetInstallLocation : public TComponent {
  QNT_PUBLISHED(TCustomNetInstallLocation, TComponent)
public:
  explicit TCustomNetInstallLocation(TComponent* AOwner);
  ~TCustomNetInstallLocation() override;

  TLoginInformation* LoginInformation() const { return FLoginInformation; }
  // Copies New into the location's own login information.
  virtual void SetLoginInformation(const TLoginInformation* New);
  // Brings Directory + "/" + SourceFile to DestFile, written as it arrives.
  // Returns normally after a download and after one ended by AbortDownload
  // (which stores nothing); raises IENetInstallLocation for the server's
  // and the login's refusals, and for a file longer than the size the
  // server announced or than MaxBytes (when above 0).
  virtual void DownloadFile(const std::string& SourceFile, const std::string& DestFile, int64_t MaxBytes = 0);

  int32_t TotalBytes() const { return FTotalBytes; }
  void SetTotalBytes(int32_t Value) { FTotalBytes = Value; }
  // The location's own FTP client.
  TQlntFTP* MyFTP() const { return FMyFTP; }

  const TLoginEvent& OnAfterLogin() const { return FAfterLoginEvent; }
  void SetOnAfterLogin(TLoginEvent Value) { FAfterLoginEvent = std::move(Value); }
  const TLoginEvent& OnBeforeLogin() const { return FBeforeLoginEvent; }
  void SetOnBeforeLogin(TLoginEvent Value) { FBeforeLoginEvent = std::move(Value); }
  const TDataReceivedEvent& OnDataReceived() const { return FDataReceivedEvent; }
  void SetOnDataReceived(TDataReceivedEvent Value) { FDataReceivedEvent = std::move(Value); }
  // A second progress event for whoever downloads through the location.
  const TDataReceivedEvent& OnDataReceivedNP() const { return FDataReceivedNPEvent; }
  void SetOnDataReceivedNP(TDataReceivedEvent Value) { FDataReceivedNPEvent = std::move(Value); }

protected:
  void DoDataReceived(TObject* Sender, TFTPMode Mode, int32_t Bytes);
  void FTPComplete(TObject* Sender, TFTPMode Mode);

private:
  void PrepareClient();
  void DownloadOnce(const std::string& Remote, int64_t MaxBytes);
  void TryDownload(const std::string& Remote, int64_t MaxBytes);

  TQlntFTP* FMyFTP = nullptr;
  std::string FDestFile;
  // The target was made (so is ours to remove) and the download ended whole.
  bool FTargetMade = false;
  bool FStored = false;
  TLoginInformation* FLoginInformation = nullptr;
  int32_t FTotalBytes = 0;
  TLoginEvent FAfterLoginEvent;
  TLoginEvent FBeforeLoginEvent;
  TDataReceivedEvent FDataReceivedEvent;
  TDataReceivedEvent FDataReceivedNPEvent;
};

class TNetInstallLocation : public TCustomNetInstallLocation {
  QNT_PUBLISHED(TNetInstallLocation, TCustomNetInstallLocation)
public:
  using TCustomNetInstallLocation::TCustomNetInstallLocation;
};

// The location of every file or group without one of its own; ownerless,
// made when the engine's units start and freed when they finish.
extern TNetInstallLocation* DefaultNetLocation;
// Make it when it is missing; free it when it is there.
void StartDefaultNetLocation();
void EndDefaultNetLocation();
