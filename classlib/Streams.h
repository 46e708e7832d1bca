// Streams with 64-bit positions; every failure is an exception.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "classlib/Classes.h"

class EStreamError : public Exception {
public:
  using Exception::Exception;
};
class EFCreateError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

// File modes of TFileStream, as the class library numbers them.
enum : uint16_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareCompat = 0x0000,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFFFF,
};

// A system file handle (a HANDLE on Windows, a descriptor elsewhere).
using THandle = intptr_t;
constexpr THandle InvalidHandle = -1;

class TStream : public TObject {
public:
  // Reads up to Count bytes; returns how many were read (0 at the end).
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  // Writes up to Count bytes; returns how many were written.
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }
  virtual int64_t Size();
  virtual void SetSize(int64_t NewSize);

  // Exactly Count bytes or EReadError "Stream read error".
  void ReadBuffer(void* Buffer, int64_t Count);
  // Exactly Count bytes or EWriteError "Stream write error".
  void WriteBuffer(const void* Buffer, int64_t Count);
  // Copies Count bytes from Source's position; Count 0 copies all of Source
  // from its start. Returns the bytes copied.
  int64_t CopyFrom(TStream* Source, int64_t Count);
};

class THandleStream : public TStream {
public:
  explicit THandleStream(THandle AHandle) : FHandle(AHandle) {}
  THandle Handle() const { return FHandle; }
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  void SetSize(int64_t NewSize) override;

protected:
  THandle FHandle;
};

class TFileStream : public THandleStream {
public:
  // fmCreate makes (or empties) the file; otherwise an access mode ORed with
  // a share mode. EFCreateError "Cannot create file <name>" or EFOpenError
  // "Cannot open file <name>" on failure.
  TFileStream(const std::string& FileName, uint16_t Mode);
  ~TFileStream() override;
  const std::string& FileName() const { return FFileName; }

private:
  std::string FFileName;
};

class TMemoryStream : public TStream {
public:
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  void SetSize(int64_t NewSize) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }

  void* Memory() { return FData.data(); }
  const void* Memory() const { return FData.data(); }
  void Clear();
  void LoadFromStream(TStream* Stream);
  void SaveToStream(TStream* Stream);
  void LoadFromFile(const std::string& FileName);
  void SaveToFile(const std::string& FileName);

private:
  std::vector<unsigned char> FData;
  int64_t FPosition = 0;
};
