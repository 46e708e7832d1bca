#include "FakeProgman.h"

#include <windows.h>
#include <ddeml.h>

#include <condition_variable>
#include <stdexcept>
#include <string>

struct FakeProgman::Impl {
  std::string Service;
  mutable std::mutex Lock;
  std::map<std::string, std::string> Data;
  std::vector<std::string> Refused;
  std::vector<std::string> Commands;
  std::vector<std::string> Requests;
  DWORD Instance = 0;
  DWORD ThreadId = 0;
  std::thread Thread;
  std::condition_variable ReadyCv;
  bool Ready = false;
  bool Failed = false;
  int Dropped = 0;
};

namespace {
FakeProgman::Impl* Current = nullptr;  // one server at a time

std::string Query(HSZ h) {
  char buf[512] = {};
  DdeQueryStringA(Current->Instance, h, buf, sizeof buf, CP_WINANSI);
  return buf;
}

HDDEDATA CALLBACK ServerCallback(UINT Type, UINT Fmt, HCONV, HSZ Hsz1, HSZ Hsz2, HDDEDATA Data, ULONG_PTR, ULONG_PTR) {
  FakeProgman::Impl* s = Current;
  switch (Type) {
    case XTYP_CONNECT:
      // Only its own service: a client of another test (or of the real
      // "PROGMAN") in the same session must not reach this server.
      return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(
          _stricmp(Query(Hsz1).c_str(), "PROGMAN") == 0 && _stricmp(Query(Hsz2).c_str(), s->Service.c_str()) == 0));
    case XTYP_REQUEST: {
      if (Fmt != CF_TEXT) return nullptr;
      std::string item = Query(Hsz2), text;
      {
        std::lock_guard<std::mutex> g(s->Lock);
        s->Requests.push_back(item);
        if (s->Dropped > 0 && s->Dropped--) return nullptr;
        auto it = s->Data.find(item);
        if (it == s->Data.end()) return nullptr;
        text = it->second;
      }
      return DdeCreateDataHandle(s->Instance, reinterpret_cast<LPBYTE>(text.data()),
                                 static_cast<DWORD>(text.size() + 1), 0, Hsz2, CF_TEXT, 0);
    }
    case XTYP_EXECUTE: {
      DWORD n = DdeGetData(Data, nullptr, 0, 0);
      std::string cmd(n, '\0');
      DdeGetData(Data, reinterpret_cast<LPBYTE>(cmd.data()), n, 0);
      cmd.resize(cmd.find('\0') == std::string::npos ? cmd.size() : cmd.find('\0'));
      std::lock_guard<std::mutex> g(s->Lock);
      s->Commands.push_back(cmd);
      for (const std::string& p : s->Refused)
        if (cmd.compare(0, p.size(), p) == 0) return reinterpret_cast<HDDEDATA>(DDE_FNOTPROCESSED);
      return reinterpret_cast<HDDEDATA>(DDE_FACK);
    }
    default:
      return nullptr;
  }
}

void Serve(FakeProgman::Impl* s) {
  s->ThreadId = GetCurrentThreadId();
  MSG msg;
  PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the thread's queue
  bool ok = DdeInitializeA(&s->Instance, ServerCallback, APPCLASS_STANDARD | CBF_SKIP_ALLNOTIFICATIONS, 0) ==
            DMLERR_NO_ERROR;
  HSZ service = nullptr;
  if (ok) {
    service = DdeCreateStringHandleA(s->Instance, s->Service.c_str(), CP_WINANSI);
    ok = DdeNameService(s->Instance, service, nullptr, DNS_REGISTER) != nullptr;
  }
  {
    std::lock_guard<std::mutex> g(s->Lock);
    s->Ready = true;
    s->Failed = !ok;
  }
  s->ReadyCv.notify_all();
  if (ok)
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  if (service) {
    DdeNameService(s->Instance, service, nullptr, DNS_UNREGISTER);
    DdeFreeStringHandle(s->Instance, service);
  }
  if (s->Instance) DdeUninitialize(s->Instance);
}
}  // namespace

std::string FakeProgman::UniqueService() { return "QNTPM" + std::to_string(GetCurrentProcessId()); }

FakeProgman::FakeProgman(const std::string& Service) : FImpl(new Impl) {
  FImpl->Service = Service;
  Current = FImpl;
  FImpl->Thread = std::thread(Serve, FImpl);
  std::unique_lock<std::mutex> g(FImpl->Lock);
  FImpl->ReadyCv.wait(g, [this] { return FImpl->Ready; });
  if (FImpl->Failed) {
    g.unlock();
    FImpl->Thread.join();
    delete FImpl;
    Current = nullptr;
    throw std::runtime_error("the fake Program Manager could not register its service");
  }
}

FakeProgman::~FakeProgman() {
  PostThreadMessageW(FImpl->ThreadId, WM_QUIT, 0, 0);
  FImpl->Thread.join();
  Current = nullptr;
  delete FImpl;
}

void FakeProgman::SetData(const std::string& Item, const std::string& Data) {
  std::lock_guard<std::mutex> g(FImpl->Lock);
  FImpl->Data[Item] = Data;
}
void FakeProgman::DropRequests(int Count) {
  std::lock_guard<std::mutex> g(FImpl->Lock);
  FImpl->Dropped = Count;
}
void FakeProgman::Refuse(const std::string& Prefix) {
  std::lock_guard<std::mutex> g(FImpl->Lock);
  FImpl->Refused.push_back(Prefix);
}
std::vector<std::string> FakeProgman::Commands() const {
  std::lock_guard<std::mutex> g(FImpl->Lock);
  return FImpl->Commands;
}
std::vector<std::string> FakeProgman::Requests() const {
  std::lock_guard<std::mutex> g(FImpl->Lock);
  return FImpl->Requests;
}
void FakeProgman::ClearLog() {
  std::lock_guard<std::mutex> g(FImpl->Lock);
  FImpl->Commands.clear();
  FImpl->Requests.clear();
}
