#include "classlib/DdeMan.h"

#include <windows.h>
#include <dde.h>
#include <ddeml.h>

#include <vector>

#include "classlib/WinText.h"

namespace {

HDDEDATA CALLBACK ClientCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

// A DDEML string handle, freed with the scope.
class TStringHandle {
public:
  TStringHandle(DWORD Instance, const std::string& Text) : FInstance(Instance) {
    std::string ansi = Utf8ToAnsi(Text);
    FHandle = DdeCreateStringHandleA(Instance, ansi.c_str(), CP_WINANSI);
  }
  ~TStringHandle() {
    if (FHandle) DdeFreeStringHandle(FInstance, FHandle);
  }
  TStringHandle(const TStringHandle&) = delete;
  TStringHandle& operator=(const TStringHandle&) = delete;
  HSZ Get() const { return FHandle; }

private:
  DWORD FInstance;
  HSZ FHandle = nullptr;
};

}  // namespace

std::string Utf8ToAnsi(const std::string& S) {
  if (S.empty()) return S;
  std::wstring w = Widen(S);
  int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string r(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), r.data(), n, nullptr, nullptr);
  return r;
}

std::string AnsiToUtf8(const std::string& S) {
  if (S.empty()) return S;
  int n = MultiByteToWideChar(CP_ACP, 0, S.data(), static_cast<int>(S.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, S.data(), static_cast<int>(S.size()), w.data(), n);
  return Narrow(w);
}

TDdeClientConv::TDdeClientConv(TComponent* AOwner) : TComponent(AOwner) {}

TDdeClientConv::~TDdeClientConv() {
  CloseLink();
  if (FInstance) DdeUninitialize(FInstance);
}

bool TDdeClientConv::SetLink(const std::string& Service, const std::string& Topic) {
  CloseLink();
  FService = Service;
  FTopic = Topic;
  return FConnectMode == ddeAutomatic ? OpenLink() : true;
}

bool TDdeClientConv::OpenLink() {
  if (FConv) return true;
  if (!FInstance) {
    DWORD inst = 0;
    if (DdeInitializeA(&inst, ClientCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return false;
    FInstance = inst;
  }
  DrainDdeMessages();
  TStringHandle service(FInstance, FService), topic(FInstance, FTopic);
  FConv = DdeConnect(FInstance, service.Get(), topic.Get(), nullptr);
  return FConv != nullptr;
}

void TDdeClientConv::CloseLink() {
  if (!FConv) return;
  DdeDisconnect(static_cast<HCONV>(FConv));
  FConv = nullptr;
  DrainDdeMessages();
}

void TDdeClientConv::DrainDdeMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_DDE_FIRST, WM_DDE_LAST, PM_REMOVE)) DispatchMessageW(&msg);
}

void TDdeClientConv::SettleAfterFailure() {
  constexpr DWORD Settle = 100;
  const DWORD start = GetTickCount();
  for (DWORD elapsed = 0; elapsed < Settle; elapsed = GetTickCount() - start) {
    DrainDdeMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, Settle - elapsed, QS_POSTMESSAGE);
  }
  DrainDdeMessages();
}

bool TDdeClientConv::RequestData(const std::string& Item, std::string& Data) {
  Data.clear();
  if (!FConv) return false;
  // Under load a synchronous request has been seen to end at once without
  // the server's answer, which would read as "no data": reading changes
  // nothing at the server, so it is asked twice.
  for (int attempt = 0; attempt < 2; ++attempt) {
    DrainDdeMessages();
    TStringHandle item(FInstance, Item);
    DWORD result = 0;
    HDDEDATA h = DdeClientTransaction(nullptr, 0, static_cast<HCONV>(FConv), item.Get(), CF_TEXT, XTYP_REQUEST,
                                      FTimeOut, &result);
    if (!h) {
      if (DdeGetLastError(FInstance) == DMLERR_DATAACKTIMEOUT) break;  // a server that is silent is not asked again
      SettleAfterFailure();
      if (attempt == 0) ++FRequestsAskedAgain;
      continue;
    }
    DWORD size = DdeGetData(h, nullptr, 0, 0);
    std::string bytes(size, '\0');
    if (size) DdeGetData(h, reinterpret_cast<LPBYTE>(bytes.data()), size, 0);
    DdeFreeDataHandle(h);
    size_t end = bytes.find('\0');
    if (end != std::string::npos) bytes.resize(end);
    if (bytes.empty()) return false;
    Data = AnsiToUtf8(bytes);
    return true;
  }
  return false;
}

bool TDdeClientConv::ExecuteMacro(const std::string& Cmd) {
  if (!FConv) return false;
  DrainDdeMessages();
  std::string ansi = Utf8ToAnsi(Cmd);
  std::vector<BYTE> data(ansi.begin(), ansi.end());
  data.push_back(0);
  DWORD result = 0;
  HDDEDATA h = DdeClientTransaction(data.data(), static_cast<DWORD>(data.size()), static_cast<HCONV>(FConv),
                                    nullptr, 0, XTYP_EXECUTE, FTimeOut, &result);
  if (!h && DdeGetLastError(FInstance) != DMLERR_EXECACKTIMEOUT) SettleAfterFailure();
  return h != nullptr;
}
