#include "foundation/routines/routines_ProductLock.h"

#include <windows.h>

#include "classlib/WinText.h"

namespace {

// The system allows names of up to MAX_PATH characters, a backslash only
// after a namespace.
constexpr size_t NameAtMost = 200;

std::wstring LockName(const std::string& ProductName) {
  std::wstring name = Widen(ProductName);
  if (!name.empty()) CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
  for (auto& c : name)
    if (c == L'\\') c = L'/';
  if (name.size() > NameAtMost) name.resize(NameAtMost);
  return L"Quillant product " + name;
}

// Every session of the machine shares the product's files and entry; a
// system without session namespaces takes the name as it stands.
template <class Make>
HANDLE MachineWide(const std::wstring& Name, Make MakeIt) {
  HANDLE h = MakeIt((L"Global\\" + Name).c_str());
  return h ? h : MakeIt(Name.c_str());
}

const wchar_t* const UninstallingMark = L" (uninstall)";

}  // namespace

std::string ProductBusyMessage(const std::string& ProductName, TProductRun Holder) {
  return std::string(Holder == prUninstall ? "Uninstall" : "Setup") + " of " + ProductName +
         " is running. Finish or cancel it, then click Retry.";
}

TProductLock::TProductLock(const std::string& ProductName, TProductRun Run) : FProductName(ProductName), FRun(Run) {}

TProductLock::~TProductLock() {
  Release();
  if (FMutex) CloseHandle(FMutex);
}

bool TProductLock::Take(const std::function<bool(const std::string& Text)>& Retry) {
  if (FHeld) return true;
  const std::wstring name = LockName(FProductName);
  if (!FMutex)
    FMutex = MachineWide(name, [](const wchar_t* N) { return CreateMutexW(nullptr, FALSE, N); });
  if (!FMutex) return true;
  for (;;) {
    // A run that was killed leaves the lock abandoned: free for the next.
    const DWORD got = WaitForSingleObject(FMutex, 0);
    if (got == WAIT_OBJECT_0 || got == WAIT_ABANDONED) break;
    HANDLE uninstalling = MachineWide(name + UninstallingMark, [](const wchar_t* N) {
      return OpenEventW(SYNCHRONIZE, FALSE, N);
    });
    if (uninstalling) CloseHandle(uninstalling);
    if (!Retry || !Retry(ProductBusyMessage(FProductName, uninstalling ? prUninstall : prSetup))) return false;
  }
  FHeld = true;
  if (FRun == prUninstall)
    FUninstalling = MachineWide(name + UninstallingMark, [](const wchar_t* N) {
      return CreateEventW(nullptr, TRUE, FALSE, N);
    });
  return true;
}

void TProductLock::Release() {
  if (!FHeld) return;
  if (FUninstalling) CloseHandle(FUninstalling);
  FUninstalling = nullptr;
  ReleaseMutex(FMutex);
  FHeld = false;
}
