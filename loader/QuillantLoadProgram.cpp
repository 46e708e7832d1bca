// QuillantLoadProgram: the head of every self-extracting setup.exe. Shows a
// small window with a bitmap and a progress bar, extracts setup.1 (appended to
// this file, or lying beside it) into a fresh work folder, starts the setup
// program found there with the mode switch, and ends without waiting for it.
// Deliberately free of the class library: plain Win32 and straight-line code.
#include <windows.h>
#include <commctrl.h>

#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "classlib/base/TextBase.h"
#include "loader/LoaderCore.h"

using loader::ELoader;

namespace {

const wchar_t AppName[] = L"Setup";
const int BitmapWidth = 32;
const int BitmapHeight = 32;
const wchar_t ErrorCaption[] = L"There was an error when trying to load the installation program";

HINSTANCE Instance;
HWND MainWindow;
HWND ProgressBar;
HBITMAP Bitmap;
// A window procedure runs inside the system's own frames, which exceptions
// must not cross: painting records its first failure here and the start-up
// code raises it once the call that painted has returned.
std::string PaintError;

std::wstring Widen(const std::string& S) { return qbase::Utf8ToWide(S); }
std::string Narrow(const wchar_t* W, size_t Len) { return qbase::WideToUtf8(W, Len); }
std::string Narrow(const std::wstring& W) { return qbase::WideToUtf8(W); }

int RoundToInt(double V) { return static_cast<int>(std::nearbyint(V)); }

// The loader's own path, from the system: the command line may name it
// differently or not at all.
std::string ApplicationFullName() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) return Narrow(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

// For the install benchmark: with QNT_BENCH_TRACE naming a file, each step
// appends "step seconds-since-1970" to it. Unset, nothing is done.
void TraceStep(const char* Step) {
  static const HANDLE file = [] {
    wchar_t path[MAX_PATH + 1];
    DWORD n = GetEnvironmentVariableW(L"QNT_BENCH_TRACE", path, MAX_PATH + 1);
    return n == 0 || n > MAX_PATH ? INVALID_HANDLE_VALUE
                                  : CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_ALWAYS, 0, nullptr);
  }();
  if (file == INVALID_HANDLE_VALUE) return;
  // The precise clock where the system has one (Windows 8 on); the loader
  // itself must start on older systems too.
  using TClock = void(WINAPI*)(LPFILETIME);
  static const auto precise = reinterpret_cast<TClock>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
  FILETIME ft;
  (precise ? precise : GetSystemTimeAsFileTime)(&ft);
  const unsigned long long t = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  char line[96];
  int n = std::snprintf(line, sizeof line, "%s %.6f\n", Step, static_cast<double>(t - 116444736000000000ULL) / 1e7);
  DWORD written;
  if (n > 0) WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr);
}

bool FileExists(const std::string& Path) {
  DWORD a = GetFileAttributesW(Widen(Path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

class TFileSource : public loader::TByteSource {
public:
  explicit TFileSource(const std::string& Path) {
    FHandle = CreateFileW(Widen(Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (FHandle == INVALID_HANDLE_VALUE) throw ELoader("The file " + Path + " could not be opened for reading");
  }
  ~TFileSource() override { CloseHandle(FHandle); }
  TFileSource(const TFileSource&) = delete;
  TFileSource& operator=(const TFileSource&) = delete;

  int64_t Size() override {
    LARGE_INTEGER s;
    return GetFileSizeEx(FHandle, &s) ? s.QuadPart : 0;
  }

  size_t ReadAt(int64_t Position, void* Buffer, size_t Count) override {
    LARGE_INTEGER p;
    p.QuadPart = Position;
    if (!SetFilePointerEx(FHandle, p, nullptr, FILE_BEGIN)) return 0;
    DWORD want = Count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(Count);
    DWORD got = 0;
    if (!ReadFile(FHandle, Buffer, want, &got, nullptr)) return 0;
    return got;
  }

private:
  HANDLE FHandle;
};

class TFileSink : public loader::TExtractSink {
public:
  ~TFileSink() override { CloseOutput(); }

  bool CreateOutput(const std::string& Path) override {
    CloseOutput();
    FHandle = CreateFileW(Widen(Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                          nullptr);
    if (FHandle == INVALID_HANDLE_VALUE) return false;
    Made.push_back(Path);
    return true;
  }

  // The files made so far, in order.
  std::vector<std::string> Made;

  size_t WriteOutput(const uint8_t* Data, size_t Count) override {
    size_t done = 0;
    while (done < Count) {
      DWORD n = 0;
      if (!WriteFile(FHandle, Data + done, static_cast<DWORD>(Count - done), &n, nullptr) || n == 0) break;
      done += n;
    }
    return done;
  }

  void SetOutputDate(double Date) override {
    uint32_t dos;
    FILETIME local, utc;
    if (loader::DateTimeToDosDateTime(Date, dos) &&
        DosDateTimeToFileTime(static_cast<WORD>(dos >> 16), static_cast<WORD>(dos & 0xFFFF), &local) &&
        LocalFileTimeToFileTime(&local, &utc))
      SetFileTime(FHandle, nullptr, nullptr, &utc);
  }

  void CloseOutput() override {
    if (FHandle != INVALID_HANDLE_VALUE) CloseHandle(FHandle);
    FHandle = INVALID_HANDLE_VALUE;
  }

  void Progress(int Percent) override {
    if (!ProgressBar) return;
    SendMessageW(ProgressBar, PBM_SETPOS, static_cast<WPARAM>(Percent), 0);
    // No message loop runs while extracting: the bar is repainted here, as
    // often as a screen shows it (each repaint under Wine is a dozen round
    // trips to its server), and always when full.
    const ULONGLONG now = GetTickCount64();
    if (Percent < 100 && FLastPaint != 0 && now - FLastPaint < RepaintIntervalMs) return;
    FLastPaint = now;
    UpdateWindow(ProgressBar);
  }

private:
  static constexpr ULONGLONG RepaintIntervalMs = 16;
  HANDLE FHandle = INVALID_HANDLE_VALUE;
  ULONGLONG FLastPaint = 0;
};

void RaisePaintError() {
  if (!PaintError.empty()) throw ELoader(PaintError);
}

void PaintBitmap(HWND Window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(Window, &ps);
  if (!dc) {
    PaintError = "LOADER: Could get device context of main window";
    return;
  }
  RECT r;
  GetClientRect(Window, &r);
  HDC mem = CreateCompatibleDC(nullptr);
  if (!mem) {
    PaintError = "Cannot create CDC";
  } else {
    HGDIOBJ old = SelectObject(mem, Bitmap);
    if (!old || old == HGDI_ERROR) {
      PaintError = "LOADER: Cannot select bitmap into device context";
    } else {
      if (!BitBlt(dc, 10, RoundToInt((r.bottom - r.top) / 2.0 - BitmapHeight / 2.0), BitmapWidth, BitmapHeight, mem, 0,
                  0, SRCCOPY))
        PaintError = "LOADER* Could not draw bitmap";
      SelectObject(mem, old);
    }
    DeleteDC(mem);
  }
  EndPaint(Window, &ps);
}

LRESULT CALLBACK WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
    case WM_PAINT:
      if (PaintError.empty()) PaintBitmap(Window);
      return DefWindowProcW(Window, Msg, WParam, LParam);
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(Window, Msg, WParam, LParam);
  }
}

void WinRegister() {
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = Instance;
  wc.hIcon = LoadIconW(Instance, L"MAINICON");
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = AppName;
  if (!RegisterClassW(&wc)) throw ELoader("Could not register the main window");
}

void CreateProgressBar(int ShowCmd) {
  RECT r;
  GetClientRect(MainWindow, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  ProgressBar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_CLIPSIBLINGS, 10 + BitmapWidth + 10,
                                RoundToInt(h / 2.0 - 10), w - 62, 20, MainWindow, nullptr, Instance, nullptr);
  if (!ProgressBar) throw ELoader("LOADER: Could not create the progress bar");
  SendMessageW(ProgressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendMessageW(ProgressBar, PBM_SETSTEP, 10, 0);
  ShowWindow(ProgressBar, ShowCmd);
  UpdateWindow(ProgressBar);
}

void WinCreate(int ShowCmd) {
  const int width = 400, height = 90;
  int x = RoundToInt(GetSystemMetrics(SM_CXMAXIMIZED) / 2.0 - width / 2.0);
  int y = RoundToInt(GetSystemMetrics(SM_CYMAXIMIZED) / 2.0 - height / 2.0);
  MainWindow = CreateWindowExW(0, AppName, L"Initializing...", WS_BORDER, x, y, width, height, nullptr, nullptr,
                               Instance, nullptr);
  if (!MainWindow) throw ELoader("Could not create the main window");
  CreateProgressBar(ShowCmd);
}

lzh::TSelfExtractInfo ReadSelfExtractingInfo() {
  std::string path = ApplicationFullName();
  if (!FileExists(path)) throw ELoader("LOADER: Could not find the executable, " + path);
  TFileSource file(path);
  return loader::ReadSelfExtractInfo(file);
}

std::string TempDirectory() {
  std::wstring buf(MAX_PATH + 1, L'\0');
  DWORD n = GetTempPathW(static_cast<DWORD>(buf.size()), buf.data());
  if (n > buf.size()) {
    buf.resize(n);
    n = GetTempPathW(static_cast<DWORD>(buf.size()), buf.data());
  }
  if (n == 0 || n > buf.size()) throw ELoader("LOADER: Could not find the temporary directory on this computer");
  return Narrow(buf.data(), n);
}

void StartSetup(const std::string& CommandLine) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION pi{};
  std::wstring line = Widen(CommandLine);
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    throw ELoader(loader::StartFailureMessage(GetLastError()));
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

void DecompressSetup1(const lzh::TSelfExtractInfo& Info, bool ToDisk) {
  std::string loaderPath = ApplicationFullName();
  std::string loaderDir = loader::ExtractDir(loaderPath);
  bool selfExtracting = lzh::IsSelfExtracting(Info);

  std::string archivePath;
  if (selfExtracting) {
    archivePath = loaderPath;
    if (!FileExists(archivePath)) throw ELoader("LOADER: Could not open the file, " + archivePath);
  } else {
    archivePath = loader::DirectoryWBS(loaderDir) + "setup.1";
    if (!FileExists(archivePath))
      throw ELoader("LOADER: Setup.1 must be in the same directory as the the loader program. Directory is " +
                    loaderDir);
  }

  std::string tempDir = TempDirectory();
  wchar_t tempName[MAX_PATH + 1] = {};
  std::string reserved;
  if (GetTempFileNameW(Widen(tempDir).c_str(), L"qnt", 0, tempName)) {
    reserved = Narrow(std::wstring(tempName));
    DeleteFileW(tempName);
  }
  std::string workFolder = loader::WorkFolderFromTempName(reserved);
  const bool ownFolder = CreateDirectoryW(Widen(workFolder).c_str(), nullptr) != 0;
  if (!ownFolder) workFolder = tempDir;

  // Until the setup program runs, what was extracted is of no use to anyone:
  // a damaged archive, a full disk or a program that will not start takes it
  // all away again, the work folder with it.
  TFileSink sink;
  try {
    std::string setupName;
    {
      TFileSource archive(archivePath);
      loader::TArchiveRange range{0, archive.Size() - 1};
      if (selfExtracting) range = loader::SelfExtractRange(Info, archive.Size(), archivePath);
      auto headers = loader::ReadFileHeaders(archive, range);
      loader::ExtractFiles(archive, range, headers, workFolder, sink);
      TraceStep("loader-extracted");
      setupName = loader::ExtractName(headers[0].FileName);
    }

    std::string setupPath = loader::DirectoryWBS(workFolder) + setupName;
    if (!FileExists(setupPath))
      throw ELoader("LOADER: Cannot find the installation executable file in the temporary directory: " + setupPath);
    StartSetup(loader::SetupCommandLine(setupPath, loader::ModeWord(ToDisk, selfExtracting),
                                        loader::ExtractName(loaderPath), loaderDir));
    TraceStep("loader-started-setup");
  } catch (...) {
    sink.CloseOutput();
    for (const std::string& made : sink.Made) DeleteFileW(Widen(made).c_str());
    if (ownFolder) RemoveDirectoryW(Widen(workFolder).c_str());
    throw;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow) {
  TraceStep("loader-start");
  Instance = hInstance;
  InitCommonControls();
  std::string error;
  try {
    Bitmap = LoadBitmapW(Instance, L"BITMAP1");
    if (!Bitmap) throw ELoader("LOADER: Could not create a bitmap by the LoadBitmap API function");
    WinRegister();
    WinCreate(nCmdShow);
    lzh::TSelfExtractInfo info = ReadSelfExtractingInfo();
    ShowWindow(MainWindow, nCmdShow);
    UpdateWindow(MainWindow);
    RaisePaintError();
    TraceStep("loader-window");
    const wchar_t* cl = GetCommandLineW();
    bool toDisk = loader::IsToDisk(loader::SplitArguments(Narrow(std::wstring(cl ? cl : L""))));
    DecompressSetup1(info, toDisk);
    return 0;
  } catch (const ELoader& e) {
    error = e.Message();
  } catch (const std::exception& e) {
    error = e.what();
  }
  MessageBoxW(MainWindow, Widen(error).c_str(), ErrorCaption, MB_OK | MB_ICONERROR);
  return 1;
}
