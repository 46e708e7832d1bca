#include "uninstaller/UninstallForm.h"

#include <windows.h>

#include <vector>

#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/StdCtrls.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"

QNT_PUBLISH(TForm1);

namespace {
const char* const StepBoxes[] = {"AliasesCB", "ActiveXCB", "FilesCB", "INIFilesCB", "BDECB", "RegistryCB"};
// The steps as the window lists them, from the top.
const TUninstallStep ListedSteps[] = {usAliases, usActiveX, usFiles, usINIFiles, usRegistry, usBDE};
}  // namespace

TForm1::TForm1(TComponent* AOwner) : TForm(AOwner), FUninstaller(std::make_unique<TUninstaller>("")) {
  RegisterHandler("FormCreate", this, &TForm1::FormCreate);
  RegisterHandler("FormDestroy", this, &TForm1::FormDestroy);
  RegisterHandler("StartBtnClick", this, &TForm1::StartBtnClick);
  RegisterHandler("CloseBtnClick", this, &TForm1::CloseBtnClick);
  ReadForm("TFORM1");
  // The theme picture is kept as a bitmap resource beside the form's text.
  Control<TImage>("ThemeBitmap")->Picture()->LoadFromResourceName("THEMEBITMAP");
}

TForm1::~TForm1() = default;

template <class T>
T* TForm1::Control(const char* Name) const {
  auto* c = dynamic_cast<T*>(FindComponent(Name));
  if (!c) throw Exception(std::string("The uninstall window has no ") + Name);
  return c;
}

void TForm1::DoCreate() {
  try {
    TForm::DoCreate();
  } catch (...) {
    Application->HandleException(this);
  }
}

void TForm1::SetCaptionOfAll(const std::string& Text) {
  SetCaption(Text);
  // Its boxes and error messages are captioned as the window.
  Application->SetTitle(Text);
}

void TForm1::FormCreate(TObject*) {
  SetCaptionOfAll(Caption());
  std::string product = ProductNameFromCommandLine(Narrow(std::wstring(GetCommandLineW())), ParamStr(0));
  // Closed without Start, the window was a question the user declined.
  FExitCode = uoCancelled;
  // A blank name would make the record key the list of every product.
  if (Trim(product).empty())
    Refuse(uoNotInstalled, "Please remove this software from the Add/Remove Programs from the Control Panel");
  FUninstaller = std::make_unique<TUninstaller>(product);
  SetCaptionOfAll("Remove " + product);
  Hook(*FUninstaller);
  // Said at once rather than after Start: there is nothing to remove, and
  // the uninstaller's own file stays.
  if (!FUninstaller->Installed()) Refuse(uoNotInstalled, NotInstalledMessage(product));
  if (FUninstaller->SetupWaits()) Refuse(uoSetupWaits, SetupWaitsMessage(product));
  ListRecordedSteps();
}

void TForm1::Refuse(int ExitCode, const std::string& Text) {
  FExitCode = ExitCode;
  Control<TButton>("StartBtn")->SetEnabled(false);
  throw Exception(Text);
}

void TForm1::Hook(TUninstaller& U) {
  U.OnConfirm = OkToRemove;
  U.OnShowProgress = [this](bool Visible) {
    Control<TProgressBar>("ProgressBar1")->SetVisible(Visible);
    Repainted();
  };
  U.OnProgress = [this](int Percent) {
    Control<TProgressBar>("ProgressBar1")->SetPosition(Percent);
    Repainted();
  };
  U.OnStepDone = [this](TUninstallStep Step) {
    Control<TCheckBox>(StepBoxes[Step])->SetChecked(true);
    Repainted();
  };
  U.OnMessage = [](const std::string& Text) { Application->MessageBox(Text, Application->Title(), MB_OK); };
  U.OnBusy = [](const std::string& Text) {
    return Application->MessageBox(Text, Application->Title(), MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY;
  };
}

void TForm1::ListRecordedSteps() {
  // The steps this product's record has, one under the other in the places
  // of the first boxes.
  std::vector<int> places;
  for (TUninstallStep step : ListedSteps) places.push_back(Control<TCheckBox>(StepBoxes[step])->Top());
  size_t next = 0;
  for (TUninstallStep step : ListedSteps) {
    TCheckBox* box = Control<TCheckBox>(StepBoxes[step]);
    if (!FUninstaller->HasStep(step)) {
      box->SetVisible(false);
      continue;
    }
    box->SetTop(places[next++]);
  }
}

void TForm1::FormDestroy(TObject*) { FUninstaller->DirList().Clear(); }

void TForm1::Repainted() { Repaint(); }

void TForm1::StartBtnClick(TObject*) {
  Control<TButton>("StartBtn")->SetEnabled(false);
  Repainted();
  // Until the run says otherwise (an error ends it halfway), something the
  // record names stays.
  FExitCode = uoFilesLeft;
  FUninstaller->Run(ParamStr(0));
  FExitCode = FUninstaller->Outcome();
  Application->Terminate();
}

void TForm1::CloseBtnClick(TObject*) { Close(); }

bool OkToRemove(const std::string& FilePath) {
  return Application->MessageBox(Format("Uninstall has determined that the file %s is no longer used by an "
                                        "application. Is it o.k. to delete it?",
                                        {FilePath}),
                                 Application->Title(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}
