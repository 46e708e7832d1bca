// Install components for the tree tests: one small class per registered type
// that records what happens to it.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "engine/cmp_TInstallContainer.h"

// What the fixtures saw, in order ("Name:event").
extern std::vector<std::string> TreeLog;

class TTestObject : public TInstallObject {
  QNT_PUBLISHED(TTestObject, TInstallObject)
public:
  TTestObject(TComponent* AOwner, int AType, bool AAutomatic);
  int RegisteredType() override { return FType; }
  void InstallUnique() override;
  void WriteInstallInfo(const std::string& RegKey) override;
  void HandleExternalComponentCall(TInstallContainer* Container, int ComponentCall, TObject* PO) override;
  void DoInformationEventControl(TInstallContainer* Container, int ComponentCall, TObject* PO) override;
  // Logs "Name:loaded" with the children then in its list.
  void Loaded() override;
  // Reports an information event to the container.
  void Report(int ComponentCall, TObject* PO) { ReportInformationEvent(ComponentCall, PO); }

  // Optional behaviour of a test.
  std::function<void(int ComponentCall, TObject* PO)> OnCall;
  bool PassEventsOn = false;  // behaves as a busy file container
  std::vector<int> Calls;      // broadcast codes received
  std::vector<std::string> Events;  // "code<-Sender" information events received

private:
  int FType;
};

// Registered types of the fixtures, as the real components report them.
class TTestGroup : public TTestObject {
  QNT_PUBLISHED(TTestGroup, TTestObject)
public:
  explicit TTestGroup(TComponent* AOwner) : TTestObject(AOwner, cFileGroup, true) {}
};
class TTestFile : public TTestObject {
  QNT_PUBLISHED(TTestFile, TTestObject)
public:
  explicit TTestFile(TComponent* AOwner) : TTestObject(AOwner, cInstallFile, true) {}
};
class TTestLinkFolder : public TTestObject {
  QNT_PUBLISHED(TTestLinkFolder, TTestObject)
public:
  explicit TTestLinkFolder(TComponent* AOwner) : TTestObject(AOwner, cShellLinkGroup, true) {}
};
class TTestLink : public TTestObject {
  QNT_PUBLISHED(TTestLink, TTestObject)
public:
  explicit TTestLink(TComponent* AOwner) : TTestObject(AOwner, cInstallShellLink, true) {}
};
class TTestPage : public TTestObject {
  QNT_PUBLISHED(TTestPage, TTestObject)
public:
  explicit TTestPage(TComponent* AOwner) : TTestObject(AOwner, cDialog, false) {}
};
// The install controller: a file container without a container.
class TTestController : public TTestObject {
  QNT_PUBLISHED(TTestController, TTestObject)
public:
  explicit TTestController(TComponent* AOwner);
  ~TTestController() override;
};

// The install module of the text form tests: its handlers, then its resource.
class TTreeModule : public TDataModule {
  QNT_PUBLISHED(TTreeModule, TDataModule)
public:
  explicit TTreeModule(TComponent* AOwner);
  void GroupBBeforeProcess(TInstallContainer* Container);
  void Install1AfterProcess(TInstallContainer* Container);
};

// Names of the children of C in list order, with their Order: "A0 B1 L0".
std::string ChildList(TInstallContainer* C);
