#include "TreeFixtures.h"

std::vector<std::string> TreeLog;

QNT_PUBLISH(TTestObject);
QNT_PUBLISH(TTestGroup);
QNT_PUBLISH(TTestFile);
QNT_PUBLISH(TTestLinkFolder);
QNT_PUBLISH(TTestLink);
QNT_PUBLISH(TTestPage);
QNT_PUBLISH(TTestController);
QNT_PUBLISH(TTreeModule);

TTreeModule::TTreeModule(TComponent* AOwner) : TDataModule(AOwner) {
  RegisterHandler("GroupBBeforeProcess", this, &TTreeModule::GroupBBeforeProcess);
  RegisterHandler("Install1AfterProcess", this, &TTreeModule::Install1AfterProcess);
  ReadResource("TTREEMODULE");
}

// Silently skips the group it is attached to.
void TTreeModule::GroupBBeforeProcess(TInstallContainer* Container) {
  TreeLog.push_back(Container->Name() + ":OnBeforeProcess");
  Abort();
}

void TTreeModule::Install1AfterProcess(TInstallContainer* Container) {
  TreeLog.push_back(Container->Name() + ":OnAfterProcess");
}

void TTestObject::Loaded() {
  TInstallObject::Loaded();
  TreeLog.push_back(Name() + ":loaded [" + ChildList(this) + "]");
}

TTestObject::TTestObject(TComponent* AOwner, int AType, bool AAutomatic) : TInstallObject(AOwner), FType(AType) {
  SetAutomaticInstallation(AAutomatic);
}

void TTestObject::InstallUnique() {
  TreeLog.push_back(Name() + ":install");
  TInstallObject::InstallUnique();
}

void TTestObject::WriteInstallInfo(const std::string& RegKey) { TreeLog.push_back(Name() + ":info " + RegKey); }

void TTestObject::HandleExternalComponentCall(TInstallContainer* Container, int ComponentCall, TObject* PO) {
  Calls.push_back(ComponentCall);
  TreeLog.push_back(Name() + ":" + ComponentCallName(ComponentCall) + " from " + Container->Name());
  if (OnCall) OnCall(ComponentCall, PO);
}

void TTestObject::DoInformationEventControl(TInstallContainer* Container, int ComponentCall, TObject* PO) {
  Events.push_back(ComponentCallName(ComponentCall) + "<-" + Container->Name());
  if (!PassEventsOn) return;
  if (OnCall) OnCall(ComponentCall, PO);
  ReportInformationEvent(ComponentCall, PO);
}

TTestController::TTestController(TComponent* AOwner) : TTestObject(AOwner, cFileGroup, true) {
  MainInstall = this;
}

TTestController::~TTestController() {
  if (MainInstall == this) MainInstall = nullptr;
}

std::string ChildList(TInstallContainer* C) {
  std::string s;
  for (int i = 0; i < C->HCCount(); ++i) {
    if (!s.empty()) s += ' ';
    s += C->HC(i)->Name() + std::to_string(C->HC(i)->Order());
  }
  return s;
}
