#include "foundation/archive/routines_Compression.h"

#include <zlib.h>

#include <cstring>
#include <string>

int ZlibLevel(TCompressionLevel Level) {
  switch (Level) {
    case colNone: return 0;
    case colFastest: return 1;
    case colDefault: return -1;
    case colMax:
    default: return 9;
  }
}

int64_t TQlntStream::GetSize() {
  int64_t pos = Seek(0, soCurrent);
  int64_t end = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return end;
}

int64_t TQlntNormalHandleStream::Read(void* Buffer, int64_t Count) {
  int64_t n = FInner.Read(Buffer, Count);
  return n < 0 ? 0 : n;
}

int64_t TQlntNormalHandleStream::Write(const void* Buffer, int64_t Count) {
  int64_t n = FInner.Write(Buffer, Count);
  return n < 0 ? 0 : n;
}

void TQlntNormalHandleStream::SetSize(int64_t NewSize) { FInner.SetSize(NewSize); }

// ------------------------------------------------------------ TZCompressor

struct TZCompressor::Impl {
  z_stream z{};
  bool open = false;
};

TZCompressor::TZCompressor(TStream* Dest, int Level) : F(new Impl), FDest(Dest), FOut(kOutBuffer) {
  if (deflateInit2(&F->z, Level, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    delete F;
    throw ECompressionError("error");
  }
  F->open = true;
  F->z.next_out = FOut.data();
  F->z.avail_out = static_cast<uInt>(FOut.size());
}

TZCompressor::~TZCompressor() {
  if (F->open) deflateEnd(&F->z);
  delete F;
}

void TZCompressor::Flush(size_t n) {
  if (n == 0) return;
  int64_t w = FDest->Write(FOut.data(), static_cast<int64_t>(n));
  if (w != static_cast<int64_t>(n)) {
    if (OnShortWrite) OnShortWrite();
    throw ECompressionError("error");
  }
  F->z.next_out = FOut.data();
  F->z.avail_out = static_cast<uInt>(FOut.size());
}

void TZCompressor::Write(const void* Buffer, size_t Count) {
  F->z.next_in = static_cast<Bytef*>(const_cast<void*>(Buffer));
  F->z.avail_in = static_cast<uInt>(Count);
  while (F->z.avail_in > 0) {
    if (deflate(&F->z, Z_NO_FLUSH) < 0) throw ECompressionError("error");
    if (F->z.avail_out == 0) {
      Flush(FOut.size());
      if (OnBlock) OnBlock();
    }
  }
}

void TZCompressor::Finish() {
  F->z.next_in = nullptr;
  F->z.avail_in = 0;
  for (;;) {
    int r = deflate(&F->z, Z_FINISH);
    // No progress with room left is an error too: the loop would not end.
    if (r < 0 && (r != Z_BUF_ERROR || F->z.avail_out != 0)) throw ECompressionError("error");
    if (r == Z_STREAM_END) {
      Flush(FOut.size() - F->z.avail_out);
      return;
    }
    if (F->z.avail_out == 0) {
      Flush(FOut.size());
      if (OnBlock) OnBlock();
    }
  }
}

// ------------------------------------------------------------ TZDecompressor

struct TZDecompressor::Impl {
  z_stream z{};
};

TZDecompressor::TZDecompressor() : F(new Impl) {
  if (inflateInit(&F->z) != Z_OK) {
    delete F;
    throw EDecompressionError("error");
  }
}

TZDecompressor::~TZDecompressor() {
  inflateEnd(&F->z);
  delete F;
}

void TZDecompressor::SetInput(const void* Buffer, size_t Count) {
  F->z.next_in = static_cast<Bytef*>(const_cast<void*>(Buffer));
  F->z.avail_in = static_cast<uInt>(Count);
}

size_t TZDecompressor::InputLeft() const { return F->z.avail_in; }

size_t TZDecompressor::Inflate(void* Out, size_t Count) {
  if (FEnded || Count == 0) return 0;
  F->z.next_out = static_cast<Bytef*>(Out);
  F->z.avail_out = static_cast<uInt>(Count);
  int r = inflate(&F->z, Z_NO_FLUSH);
  // No input and no room is no error of the data: the caller reads more.
  if ((r < 0 && r != Z_BUF_ERROR) || r == Z_NEED_DICT)
    throw EDecompressionError(F->z.msg ? std::string("error: ") + F->z.msg : std::string("error"));
  if (r == Z_STREAM_END) FEnded = true;
  return Count - F->z.avail_out;
}
