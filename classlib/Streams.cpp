#include "classlib/Streams.h"

#include <algorithm>
#include <cstring>

#include "classlib/WinText.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

int64_t TStream::Size() {
  int64_t pos = Seek(0, soCurrent);
  int64_t end = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return end;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  auto* p = static_cast<char*>(Buffer);
  while (Count > 0) {
    int64_t n = Read(p, Count);
    if (n <= 0) throw EReadError("Stream read error");
    p += n;
    Count -= n;
  }
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  auto* p = static_cast<const char*>(Buffer);
  while (Count > 0) {
    int64_t n = Write(p, Count);
    if (n <= 0) throw EWriteError("Stream write error");
    p += n;
    Count -= n;
  }
}

int64_t TStream::CopyFrom(TStream* Source, int64_t Count) {
  if (Count == 0) {
    Source->SetPosition(0);
    Count = Source->Size();
  }
  int64_t total = Count;
  std::vector<char> buf(static_cast<size_t>(std::min<int64_t>(Count, 1 << 20)) + 1);
  while (Count > 0) {
    int64_t n = std::min<int64_t>(Count, static_cast<int64_t>(buf.size()));
    Source->ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    Count -= n;
  }
  return total;
}

// ------------------------------------------------------------ THandleStream

#ifdef _WIN32

int64_t THandleStream::Read(void* Buffer, int64_t Count) {
  auto* p = static_cast<char*>(Buffer);
  int64_t done = 0;
  while (Count > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<int64_t>(Count, 1 << 30)), n = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(FHandle), p, chunk, &n, nullptr)) return done ? done : -1;
    if (n == 0) break;
    p += n;
    done += n;
    Count -= n;
    if (n < chunk) break;
  }
  return done;
}

int64_t THandleStream::Write(const void* Buffer, int64_t Count) {
  auto* p = static_cast<const char*>(Buffer);
  int64_t done = 0;
  while (Count > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<int64_t>(Count, 1 << 30)), n = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(FHandle), p, chunk, &n, nullptr)) return done ? done : -1;
    if (n == 0) break;
    p += n;
    done += n;
    Count -= n;
  }
  return done;
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  LARGE_INTEGER d, r;
  d.QuadPart = Offset;
  DWORD how = Origin == soBeginning ? FILE_BEGIN : Origin == soCurrent ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(reinterpret_cast<HANDLE>(FHandle), d, &r, how)) return -1;
  return r.QuadPart;
}

void THandleStream::SetSize(int64_t NewSize) {
  int64_t pos = Position();
  Seek(NewSize, soBeginning);
  if (!SetEndOfFile(reinterpret_cast<HANDLE>(FHandle))) throw EStreamError("Stream size cannot be changed");
  if (pos < NewSize) Seek(pos, soBeginning);
}

TFileStream::TFileStream(const std::string& FileName, uint16_t Mode)
    : THandleStream(InvalidHandle), FFileName(FileName) {
  std::wstring w = Widen(FileName);
  HANDLE h;
  if (Mode == fmCreate) {
    h = CreateFileW(w.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                    nullptr);
    if (h == INVALID_HANDLE_VALUE) throw EFCreateError("Cannot create file " + FileName);
  } else {
    static const DWORD access[3] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    static const DWORD share[5] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};
    unsigned a = Mode & 3u, s = (Mode & 0xF0u) >> 4;
    if (a > 2 || s > 4) throw EFOpenError("Cannot open file " + FileName);
    h = CreateFileW(w.c_str(), access[a], share[s], nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw EFOpenError("Cannot open file " + FileName);
  }
  FHandle = reinterpret_cast<THandle>(h);
}

TFileStream::~TFileStream() {
  if (FHandle != InvalidHandle) CloseHandle(reinterpret_cast<HANDLE>(FHandle));
}

#else

int64_t THandleStream::Read(void* Buffer, int64_t Count) {
  auto* p = static_cast<char*>(Buffer);
  int64_t done = 0;
  while (Count > 0) {
    ssize_t n = ::read(static_cast<int>(FHandle), p, static_cast<size_t>(std::min<int64_t>(Count, 1 << 30)));
    if (n < 0) return done ? done : -1;
    if (n == 0) break;
    p += n;
    done += n;
    Count -= n;
  }
  return done;
}

int64_t THandleStream::Write(const void* Buffer, int64_t Count) {
  auto* p = static_cast<const char*>(Buffer);
  int64_t done = 0;
  while (Count > 0) {
    ssize_t n = ::write(static_cast<int>(FHandle), p, static_cast<size_t>(std::min<int64_t>(Count, 1 << 30)));
    if (n <= 0) return done ? done : -1;
    p += n;
    done += n;
    Count -= n;
  }
  return done;
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int how = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
  return static_cast<int64_t>(::lseek(static_cast<int>(FHandle), static_cast<off_t>(Offset), how));
}

void THandleStream::SetSize(int64_t NewSize) {
  if (::ftruncate(static_cast<int>(FHandle), static_cast<off_t>(NewSize)) != 0)
    throw EStreamError("Stream size cannot be changed");
  if (Position() > NewSize) Seek(NewSize, soBeginning);
}

TFileStream::TFileStream(const std::string& FileName, uint16_t Mode)
    : THandleStream(InvalidHandle), FFileName(FileName) {
  int fd;
  if (Mode == fmCreate) {
    fd = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) throw EFCreateError("Cannot create file " + FileName);
  } else {
    static const int access[3] = {O_RDONLY, O_WRONLY, O_RDWR};
    unsigned a = Mode & 3u;
    if (a > 2) throw EFOpenError("Cannot open file " + FileName);
    fd = ::open(FileName.c_str(), access[a]);
    if (fd < 0) throw EFOpenError("Cannot open file " + FileName);
  }
  FHandle = fd;
}

TFileStream::~TFileStream() {
  if (FHandle != InvalidHandle) ::close(static_cast<int>(FHandle));
}

#endif

// ------------------------------------------------------------ TMemoryStream

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  int64_t size = Size();
  if (Count <= 0 || FPosition >= size) return 0;
  int64_t n = std::min(Count, size - FPosition);
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  int64_t end = FPosition + Count;
  if (end > Size()) FData.resize(static_cast<size_t>(end));
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition = end;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? FPosition : Size();
  int64_t p = base + Offset;
  if (p < 0) throw EStreamError("Invalid stream position");
  FPosition = p;
  return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) throw EStreamError("Invalid stream size");
  FData.resize(static_cast<size_t>(NewSize));
  if (FPosition > NewSize) FPosition = NewSize;
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
  Stream->SetPosition(0);
  int64_t n = Stream->Size();
  SetSize(n);
  if (n) Stream->ReadBuffer(FData.data(), n);
  FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream* Stream) {
  if (!FData.empty()) Stream->WriteBuffer(FData.data(), Size());
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&f);
}

void TMemoryStream::SaveToFile(const std::string& FileName) {
  TFileStream f(FileName, fmCreate);
  SaveToStream(&f);
}
