#include "foundation/routines/routines_ProductLock.h"

#include <windows.h>
#include <sddl.h>

#include <cwchar>

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

// A system without session namespaces refuses the "Global\" prefix as a
// path; any other failure (access denied among them) is the named object's.
bool NoSessionNamespace(DWORD Error) {
  return Error == ERROR_PATH_NOT_FOUND || Error == ERROR_BAD_PATHNAME || Error == ERROR_INVALID_NAME;
}

// Every session of the machine shares the product's files and entry; a
// system without session namespaces takes the name as it stands.
template <class Make>
HANDLE MachineWide(const std::wstring& Name, Make MakeIt) {
  HANDLE h = MakeIt((L"Global\\" + Name).c_str());
  if (h || !NoSessionNamespace(GetLastError())) return h;
  return MakeIt(Name.c_str());
}

// Access for everyone (Everyone = WD) besides full access for the system and
// the administrators: a run of another user, elevated or not, must be able to
// wait on what this run made.
class TEveryoneMay {
public:
  explicit TEveryoneMay(DWORD Access) {
    wchar_t rights[16];
    swprintf(rights, 16, L"0x%lX", static_cast<unsigned long>(Access));  // the form the parser takes
    const std::wstring sddl = std::wstring(L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;") + rights + L";;;WD)";
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &FDescriptor, nullptr))
      FDescriptor = nullptr;
    FAttributes.nLength = sizeof FAttributes;
    FAttributes.lpSecurityDescriptor = FDescriptor;
    FAttributes.bInheritHandle = FALSE;
  }
  ~TEveryoneMay() {
    if (FDescriptor) LocalFree(FDescriptor);
  }
  TEveryoneMay(const TEveryoneMay&) = delete;
  TEveryoneMay& operator=(const TEveryoneMay&) = delete;
  SECURITY_ATTRIBUTES* Get() { return FDescriptor ? &FAttributes : nullptr; }

private:
  PSECURITY_DESCRIPTOR FDescriptor = nullptr;
  SECURITY_ATTRIBUTES FAttributes{};
};

// The product's mutex, made or opened; null with Error when neither can be.
HANDLE MakeOrOpenLock(const std::wstring& Name, DWORD& Error) {
  TEveryoneMay waiters(SYNCHRONIZE | MUTEX_MODIFY_STATE);
  HANDLE h = nullptr;
  // The holder may end between a refused making and the opening: once more.
  for (int attempt = 0; !h && attempt < 3; ++attempt) {
    h = MachineWide(Name, [&](const wchar_t* N) {
      HANDLE m = CreateMutexW(waiters.Get(), FALSE, N);
      if (m || GetLastError() != ERROR_ACCESS_DENIED) return m;
      // Another run made it with less access for us (an older one, of
      // another user): it is busy while that run holds it, and it can be
      // waited on. Without the right to release it, it is held until this
      // thread ends, which is the run's end.
      m = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, N);
      if (!m && GetLastError() == ERROR_ACCESS_DENIED) m = OpenMutexW(SYNCHRONIZE, FALSE, N);
      return m;
    });
    if (!h) Error = GetLastError();
    if (Error != ERROR_FILE_NOT_FOUND) break;
  }
  return h;
}

std::string SystemText(DWORD Error) {
  // What the system says of it would be "Invalid handle".
  if (Error == ERROR_INVALID_HANDLE) return "another object of the system has taken its name, error 6";
  wchar_t* buf = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, Error, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::string text = n && buf ? Trim(Narrow(buf, n)) : std::string();
  if (buf) LocalFree(buf);
  while (!text.empty() && text.back() == '.') text.pop_back();
  return (text.empty() ? "the system refuses it" : text) + ", error " + std::to_string(Error);
}

std::string RunName(TProductRun Run) { return Run == prUninstall ? "Uninstall" : "Setup"; }

const wchar_t* const UninstallingMark = L" (uninstall)";

}  // namespace

std::string ProductBusyMessage(const std::string& ProductName, TProductRun Holder) {
  return RunName(Holder) + " of " + ProductName + " is running. Finish or cancel it, then click Retry.";
}

std::string ProductLockName(const std::string& ProductName) { return Narrow(LockName(ProductName)); }

TProductLock::TProductLock(const std::string& ProductName, TProductRun Run) : FProductName(ProductName), FRun(Run) {}

TProductLock::~TProductLock() {
  Release();
  if (FMutex) CloseHandle(FMutex);
}

bool TProductLock::Take(const std::function<bool(const std::string& Text)>& Retry) {
  if (FHeld) return true;
  const std::wstring name = LockName(FProductName);
  auto unavailable = [this](DWORD Error) {
    const std::string others = "other setups and uninstalls of " + FProductName;
    return EProductLockUnavailable(RunName(FRun) + " of " + FProductName + " cannot start: the system gives it no lock" +
                                   " that keeps " + others + " out meanwhile (" + SystemText(Error) +
                                   "). Nothing was changed.");
  };
  if (!FMutex) {
    DWORD error = 0;
    FMutex = MakeOrOpenLock(name, error);
    if (!FMutex) throw unavailable(error);
  }
  for (;;) {
    // A run that was killed leaves the lock abandoned: free for the next.
    const DWORD got = WaitForSingleObject(FMutex, 0);
    if (got == WAIT_OBJECT_0 || got == WAIT_ABANDONED) break;
    if (got == WAIT_FAILED) throw unavailable(GetLastError());
    HANDLE uninstalling = MachineWide(name + UninstallingMark, [](const wchar_t* N) {
      return OpenEventW(SYNCHRONIZE, FALSE, N);
    });
    if (uninstalling) CloseHandle(uninstalling);
    if (!Retry || !Retry(ProductBusyMessage(FProductName, uninstalling ? prUninstall : prSetup))) return false;
  }
  FHeld = true;
  if (FRun == prUninstall) {
    TEveryoneMay openers(SYNCHRONIZE);
    FUninstalling = MachineWide(name + UninstallingMark, [&](const wchar_t* N) {
      return CreateEventW(openers.Get(), TRUE, FALSE, N);
    });
  }
  return true;
}

void TProductLock::Release() {
  if (!FHeld) return;
  if (FUninstalling) CloseHandle(FUninstalling);
  FUninstalling = nullptr;
  ReleaseMutex(FMutex);
  FHeld = false;
}
