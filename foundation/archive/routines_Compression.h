// The zlib layer of the archive component and the streams over file handles
// through which it writes.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "classlib/Streams.h"
#include "classlib/SysUtils.h"

// zlib levels 0, 1, -1 (zlib's default) and 9.
enum TCompressionLevel { colNone, colFastest, colDefault, colMax };
int ZlibLevel(TCompressionLevel Level);

// A negative zlib result; the message is "error", followed by zlib's own
// word on the fault when it gives one ("error: incorrect data check").
class EZlibError : public Exception {
public:
  using Exception::Exception;
};
class ECompressionError : public EZlibError {
public:
  using EZlibError::EZlibError;
};
class EDecompressionError : public EZlibError {
public:
  using EZlibError::EZlibError;
};

// Passes writes on to Inner and adds what was written to *Count, so the
// packed size is known without asking the target for its size.
class TCountingStream : public TStream {
public:
  TCountingStream(TStream* Inner, int64_t* Count) : FInner(Inner), FCount(Count) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* Buffer, int64_t Count) override {
    const int64_t w = FInner->Write(Buffer, Count);
    if (w > 0) *FCount += w;
    return w;
  }
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override { return FInner->Seek(Offset, Origin); }

private:
  TStream* FInner;
  int64_t* FCount;
};

// A stream whose size is found by seeking to its end.
class TQlntStream : public TStream {
public:
  int64_t Size() override { return GetSize(); }

protected:
  virtual int64_t GetSize();
};

// An already open file handle, not closed here. Read and Write return the
// byte count, 0 instead of an error, so a failed write shows as a short count.
class TQlntNormalHandleStream : public TQlntStream {
public:
  explicit TQlntNormalHandleStream(THandle AHandle) : FInner(AHandle) {}
  THandle Handle() const { return FInner.Handle(); }
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override { return FInner.Seek(Offset, Origin); }
  void SetSize(int64_t NewSize) override;

private:
  THandleStream FInner;
};

// Deflate (zlib format, 15-bit window, memory level 8, default strategy) into
// Dest through a 64 KB output buffer. After every full buffer is written,
// OnBlock runs; a short write of the buffer calls OnShortWrite, which raises
// (the stream is incomplete from there on).
class TZCompressor {
public:
  static constexpr size_t kOutBuffer = 65536;
  TZCompressor(TStream* Dest, int Level);
  ~TZCompressor();
  TZCompressor(const TZCompressor&) = delete;
  TZCompressor& operator=(const TZCompressor&) = delete;

  void Write(const void* Buffer, size_t Count);
  // Ends the stream and writes the rest.
  void Finish();

  std::function<void()> OnBlock;
  std::function<void()> OnShortWrite;

private:
  void Flush(size_t n);
  struct Impl;
  Impl* F;
  TStream* FDest;
  std::vector<unsigned char> FOut;
};

// Inflate of one zlib stream fed in pieces; Next gives output and tells when
// the stream has ended.
class TZDecompressor {
public:
  TZDecompressor();
  ~TZDecompressor();
  TZDecompressor(const TZDecompressor&) = delete;
  TZDecompressor& operator=(const TZDecompressor&) = delete;

  // Gives new input (the previous input must be used up).
  void SetInput(const void* Buffer, size_t Count);
  size_t InputLeft() const;
  // Fills up to Count bytes of Out; returns the bytes made. Raises
  // EDecompressionError "error" (with zlib's word) on a negative zlib result.
  size_t Inflate(void* Out, size_t Count);
  bool Ended() const { return FEnded; }

private:
  struct Impl;
  Impl* F;
  bool FEnded = false;
};
