#include "uninstaller/UninstallForm.h"

#include <windows.h>

#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/StdCtrls.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"

QNT_PUBLISH(TForm1);

namespace {
const char* const StepBoxes[] = {"AliasesCB", "ActiveXCB", "FilesCB", "INIFilesCB", "BDECB", "RegistryCB"};
}

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
  // A blank name would make the record key the list of every product.
  if (Trim(product).empty()) {
    Control<TButton>("StartBtn")->SetEnabled(false);
    throw Exception("Please remove this software from the Add/Remove Programs from the Control Panel");
  }
  FUninstaller = std::make_unique<TUninstaller>(product);
  SetCaptionOfAll("Remove " + product);
  TUninstaller& u = *FUninstaller;
  u.OnConfirm = OkToRemove;
  u.OnShowProgress = [this](bool Visible) {
    Control<TProgressBar>("ProgressBar1")->SetVisible(Visible);
    Repainted();
  };
  u.OnProgress = [this](int Percent) {
    Control<TProgressBar>("ProgressBar1")->SetPosition(Percent);
    Repainted();
  };
  u.OnStepDone = [this](TUninstallStep Step) {
    Control<TCheckBox>(StepBoxes[Step])->SetChecked(true);
    Repainted();
  };
  u.OnMessage = [](const std::string& Text) { Application->MessageBox(Text, Application->Title(), MB_OK); };
  u.OnBusy = [](const std::string& Text) {
    return Application->MessageBox(Text, Application->Title(), MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY;
  };
  // Said at once rather than after Start: there is nothing to remove, and
  // the uninstaller's own file stays.
  if (!u.Installed()) {
    Control<TButton>("StartBtn")->SetEnabled(false);
    throw Exception(NotInstalledMessage(product));
  }
}

void TForm1::FormDestroy(TObject*) { FUninstaller->DirList().Clear(); }

void TForm1::Repainted() { Repaint(); }

void TForm1::StartBtnClick(TObject*) {
  Control<TButton>("StartBtn")->SetEnabled(false);
  Repainted();
  // Until the run says otherwise (an error ends it halfway), something the
  // record names stays.
  FExitCode = 1;
  if (FUninstaller->Run(ParamStr(0))) FExitCode = 0;
  Application->Terminate();
}

void TForm1::CloseBtnClick(TObject*) { Close(); }

bool OkToRemove(const std::string& FilePath) {
  return Application->MessageBox(Format("Uninstall has determined that the file %s is no longer used by an "
                                        "application. Is it o.k. to delete it?",
                                        {FilePath}),
                                 "Confirm", MB_YESNO | MB_ICONQUESTION) == IDYES;
}
