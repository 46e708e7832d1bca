// What the install-file tests share: a controller that records its jobs, a
// page that records broadcasts, archives made from files, and file times.
#pragma once
#include <string>
#include <vector>

#include "engine/cmp_TInstallContainer.h"

// The install controller: a file container without a container that names
// the product, answers the distribution type and keeps the jobs for the run
// after a restart.
class TTestController : public TFileContainer {
  QNT_PUBLISHED(TTestController, TFileContainer)
public:
  explicit TTestController(TComponent* AOwner);
  ~TTestController() override;
  TDistributeType DistributeType() const override { return FDistributeType; }
  void WriteUnfinished(const std::string& Value, TUnfinishedCommand Command) override {
    Unfinished.push_back((Command == ufcReinstall ? "reinstall:" : "delete:") + Value);
  }
  std::string GetSourceDir() override { return SourceDir; }
  // Logs "Sender:code" before the container's own handling.
  void DoInformationEventControl(TInstallContainer* Container, int ComponentCall, TObject* PO) override {
    Events.push_back(Container->Name() + ":" + ComponentCallName(ComponentCall));
    TFileContainer::DoInformationEventControl(Container, ComponentCall, PO);
  }
  std::vector<std::string> Events;

  TDistributeType FDistributeType = dtTraditional;
  std::string SourceDir;
  std::vector<std::string> Unfinished;
};

// A page in a container: records the broadcasts it receives ("code" or
// "code:percent" for progress).
class TRecordingPage : public TInstallObject {
  QNT_PUBLISHED(TRecordingPage, TInstallObject)
public:
  explicit TRecordingPage(TComponent* AOwner) : TInstallObject(AOwner) {}
  int RegisteredType() override { return cDialog; }
  void HandleExternalComponentCall(TInstallContainer* Container, int ComponentCall, TObject* PO) override;
  std::vector<std::string> Calls;
  std::vector<int> TotalPercents;  // of eccCopyingFile and eccDownloadingNetFile
};

namespace fixtures {
std::string Product();  // the product name of the test controller: one per test
std::string RecordKey();           // its uninstall key
// Packs each file of Dir named in Names into Archive (a new one), entry
// names Dir\Name.
void Pack(const std::string& Archive, const std::string& Dir, const std::vector<std::string>& Names);
std::string ReadBytes(const std::string& Path);
void WriteBytes(const std::string& Path, const std::string& Bytes);
// Sets a file's last write to the archive date D plus Days.
void SetFileDate(const std::string& Path, TDateTime D, double Days);
}  // namespace fixtures
