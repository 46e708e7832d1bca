#include "classlib/Threads.h"

#include <windows.h>

#include <atomic>
#include <mutex>

namespace {

const wchar_t kSyncClass[] = L"QlntThreadSyncWindow";
const UINT kSyncMessage = WM_USER + 0x51;

struct TSyncCall {
  const std::function<void()>* Method;
  std::exception_ptr Error;
};

HINSTANCE ThisModule() {
  HMODULE m = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &m);
  return m;
}

// No exception may cross the system's message dispatch: the call's own
// exception goes back to the thread that asked for it.
LRESULT CALLBACK SyncProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == kSyncMessage) {
    auto* call = reinterpret_cast<TSyncCall*>(l);
    try {
      (*call->Method)();
    } catch (...) {
      call->Error = std::current_exception();
    }
    return 1;
  }
  return DefWindowProcW(h, m, w, l);
}

thread_local HWND tlsSyncWindow = nullptr;

}  // namespace

void* SyncWindowOfCurrentThread() {
  if (tlsSyncWindow && IsWindow(tlsSyncWindow)) return tlsSyncWindow;
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &SyncProc;
    wc.hInstance = ThisModule();
    wc.lpszClassName = kSyncClass;
    RegisterClassW(&wc);
  });
  // A hidden top-level window rather than a message-only one, which the
  // oldest systems we serve do not have.
  tlsSyncWindow = CreateWindowExW(0, kSyncClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, ThisModule(), nullptr);
  if (!tlsSyncWindow) throw EThread("Cannot create the thread synchronisation window");
  return tlsSyncWindow;
}

void SynchronizeWith(void* Window, const std::function<void()>& Method) {
  HWND h = static_cast<HWND>(Window);
  if (!h || GetWindowThreadProcessId(h, nullptr) == GetCurrentThreadId()) {
    Method();
    return;
  }
  TSyncCall call{&Method, nullptr};
  // A sent message is handled whenever the window's thread retrieves
  // messages, whoever runs its message loop.
  if (!SendMessageW(h, kSyncMessage, 0, reinterpret_cast<LPARAM>(&call)))
    throw EThread("The thread's synchronised call could not be delivered");
  if (call.Error) std::rethrow_exception(call.Error);
}

void ProcessThreadMessages() {
  MSG m;
  // Null window: the calling thread's own queue, nothing else.
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

namespace {
std::atomic<TMessagePump> messagePump{nullptr};
std::atomic<DWORD> messagePumpThread{0};
}  // namespace

void SetMessagePump(TMessagePump Pump) {
  messagePumpThread = Pump ? GetCurrentThreadId() : 0;
  messagePump = Pump;
}

void ProcessPendingMessages() {
  TMessagePump pump = messagePump;
  if (pump && messagePumpThread == GetCurrentThreadId())
    pump();
  else
    ProcessThreadMessages();
}

// ---------------------------------------------------------------- TThread

uint32_t TThread::CurrentThreadID() { return GetCurrentThreadId(); }

TThread::TThread(bool CreateSuspended) {
  FCreatorID = GetCurrentThreadId();
  FSyncWindow = SyncWindowOfCurrentThread();
  if (!CreateSuspended) Start();
}

TThread::~TThread() {
  if (FHandle) {
    if (GetCurrentThreadId() != FThreadID && !FFinished) {
      Terminate();
      WaitFor();
    }
    CloseHandle(static_cast<HANDLE>(FHandle));
  }
}

void TThread::Start() {
  if (FStarted) return;
  FStarted = true;
  DWORD id = 0;
  HANDLE h = CreateThread(nullptr, 0, &TThread::ThreadProc, this, 0, &id);
  if (!h) {
    FStarted = false;
    throw EThread("Thread creation error: " + std::to_string(GetLastError()));
  }
  FThreadID = id;
  FHandle = h;
}

unsigned long __stdcall TThread::ThreadProc(void* Self) {
  auto* t = static_cast<TThread*>(Self);
  try {
    t->Execute();
  } catch (...) {
    t->FFatalException = std::current_exception();
  }
  bool freeIt = t->FreeOnTerminate;
  int result = t->ReturnValue;
  try {
    t->DoTerminate();
  } catch (...) {
    if (!t->FFatalException) t->FFatalException = std::current_exception();
  }
  t->FFinished = true;
  if (freeIt) delete t;
  return static_cast<unsigned long>(result);
}

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

void TThread::Synchronize(const std::function<void()>& Method) {
  if (GetCurrentThreadId() == FCreatorID) {
    Method();
    return;
  }
  SynchronizeWith(FSyncWindow, Method);
}

int TThread::WaitFor() {
  if (!FHandle) return ReturnValue;
  if (GetCurrentThreadId() == FThreadID) throw EThread("A thread cannot wait for itself");
  HANDLE h = static_cast<HANDLE>(FHandle);
  for (;;) {
    // Wakes for the thread's end and for calls sent to this thread's
    // windows (Synchronize, the termination handler), which must run here
    // or the thread would wait for us for ever.
    DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0) break;
    if (r == WAIT_OBJECT_0 + 1) {
      MSG m;
      PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);
      continue;
    }
    break;
  }
  DWORD code = 0;
  GetExitCodeThread(h, &code);
  return static_cast<int>(code);
}

std::string TThread::FatalMessage() const {
  if (!FFatalException) return "";
  try {
    std::rethrow_exception(FFatalException);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown exception";
  }
}
