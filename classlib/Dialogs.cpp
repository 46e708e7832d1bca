#include "classlib/Dialogs.h"

#include <windows.h>
#include <commdlg.h>

#include <vector>

#include "classlib/WinText.h"

const TEnumInfo OpenOptionInfo{
  "TOpenOption",
  {"ofReadOnly", "ofOverwritePrompt", "ofHideReadOnly", "ofNoChangeDir", "ofShowHelp", "ofNoValidate",
   "ofAllowMultiSelect", "ofExtensionDifferent", "ofPathMustExist", "ofFileMustExist", "ofCreatePrompt",
   "ofShareAware", "ofNoReadOnlyReturn", "ofNoTestFileCreate", "ofNoNetworkButton", "ofNoLongNames",
   "ofOldStyleDialog", "ofNoDereferenceLinks", "ofEnableIncludeNotify", "ofEnableSizing"}};

QNT_PUBLISH(TOpenDialog,
  Prop::String("FileName", &TOpenDialog::FileName, &TOpenDialog::SetFileName, ""),
  Prop::String("Filter", &TOpenDialog::Filter, &TOpenDialog::SetFilter, ""),
  Prop::String("InitialDir", &TOpenDialog::InitialDir, &TOpenDialog::SetInitialDir, ""),
  Prop::String("Title", &TOpenDialog::Title, &TOpenDialog::SetTitle, ""),
  Prop::Set("Options", &TOpenDialog::Options, &TOpenDialog::SetOptions, OpenOptionInfo,
            (1u << ofHideReadOnly) | (1u << ofEnableSizing)));

TOpenDialog::TOpenDialog(TComponent* AOwner) : TComponent(AOwner) {}

bool TOpenDialog::Execute() {
  // The system's filter: NUL between the parts, two at the end.
  std::wstring filter = Widen(FFilter);
  for (wchar_t& c : filter)
    if (c == L'|') c = L'\0';
  if (!filter.empty()) filter.append(2, L'\0');
  std::vector<wchar_t> file(MAX_PATH * 4, L'\0');
  const std::wstring initial = Widen(FFileName);
  if (initial.size() < file.size()) std::copy(initial.begin(), initial.end(), file.begin());
  const std::wstring dir = Widen(FInitialDir), title = Widen(FTitle);

  static const struct {
    TOpenOption Option;
    DWORD Flag;
  } flags[] = {
    {ofReadOnly, OFN_READONLY}, {ofOverwritePrompt, OFN_OVERWRITEPROMPT}, {ofHideReadOnly, OFN_HIDEREADONLY},
    {ofNoChangeDir, OFN_NOCHANGEDIR}, {ofShowHelp, OFN_SHOWHELP}, {ofNoValidate, OFN_NOVALIDATE},
    {ofAllowMultiSelect, OFN_ALLOWMULTISELECT}, {ofExtensionDifferent, OFN_EXTENSIONDIFFERENT},
    {ofPathMustExist, OFN_PATHMUSTEXIST}, {ofFileMustExist, OFN_FILEMUSTEXIST}, {ofCreatePrompt, OFN_CREATEPROMPT},
    {ofShareAware, OFN_SHAREAWARE}, {ofNoReadOnlyReturn, OFN_NOREADONLYRETURN},
    {ofNoTestFileCreate, OFN_NOTESTFILECREATE}, {ofNoNetworkButton, OFN_NONETWORKBUTTON},
    {ofNoLongNames, OFN_NOLONGNAMES}, {ofNoDereferenceLinks, OFN_NODEREFERENCELINKS},
    {ofEnableIncludeNotify, OFN_ENABLEINCLUDENOTIFY}, {ofEnableSizing, OFN_ENABLESIZING},
  };
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = GetActiveWindow();
  ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  for (const auto& f : flags)
    if (FOptions & (1u << f.Option)) ofn.Flags |= f.Flag;
  if (!(FOptions & (1u << ofOldStyleDialog))) ofn.Flags |= OFN_EXPLORER;
  if (!GetOpenFileNameW(&ofn)) return false;
  FFileName = Narrow(file.data());
  return true;
}
