#include "loader/LoaderCore.h"

#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "classlib/base/TextBase.h"

namespace loader {

const char* const SelfExtractingParameter = "SELFEXTRACT";
const char* const NotSelfExtractingParameter = "NOTSELFEXTRACT";
const char* const CopyToDiskParameter = "TODISK";

size_t TMemorySource::ReadAt(int64_t Position, void* Buffer, size_t Count) {
  if (Position < 0 || static_cast<uint64_t>(Position) >= FSize) return 0;
  size_t avail = FSize - static_cast<size_t>(Position);
  size_t n = Count < avail ? Count : avail;
  std::memcpy(Buffer, FData + Position, n);
  return n;
}

bool IsToDisk(const std::vector<std::string>& Args) {
  if (Args.size() < 2) return false;
  const std::string& a = Args[1];
  const char* word = CopyToDiskParameter;
  size_t n = std::strlen(word);
  if (a.size() != n + 1 || a[0] != '*') return false;
  for (size_t i = 0; i < n; ++i) {
    char c = a[i + 1];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != word[i]) return false;
  }
  return true;
}

const char* ModeWord(bool ToDisk, bool SelfExtracting) {
  if (ToDisk) return CopyToDiskParameter;
  return SelfExtracting ? SelfExtractingParameter : NotSelfExtractingParameter;
}

lzh::TSelfExtractInfo ReadSelfExtractInfo(TByteSource& File) {
  uint8_t b[lzh::kTrailerSize] = {};
  int64_t size = File.Size();
  if (size >= static_cast<int64_t>(lzh::kTrailerSize)) {
    size_t got = 0;
    while (got < sizeof b) {
      size_t n = File.ReadAt(size - static_cast<int64_t>(sizeof b) + static_cast<int64_t>(got), b + got,
                             sizeof b - got);
      if (n == 0) break;
      got += n;
    }
    if (got < sizeof b) std::memset(b, 0, sizeof b);
  }
  return lzh::DecodeTrailer(b);
}

TArchiveRange SelfExtractRange(const lzh::TSelfExtractInfo& Info, int64_t FileSize, const std::string& FileName) {
  int64_t start = Info.Setup1StartOffset, end = Info.Setup1EndOffset;
  if (start < 0 || end < start || end >= FileSize)
    throw ELoader("LOADER: The self-extracting information at the end of " + FileName +
                  " points outside the file. The file is probably damaged or incomplete");
  return {start, end};
}

namespace {

// Reads Count bytes at Position but nothing outside Range; returns how many came.
size_t ReadInRange(TByteSource& File, const TArchiveRange& Range, int64_t Position, uint8_t* Buffer, size_t Count) {
  if (Position < Range.Start || Position > Range.End) return 0;
  uint64_t room = static_cast<uint64_t>(Range.End - Position) + 1;
  size_t want = room < Count ? static_cast<size_t>(room) : Count;
  size_t got = 0;
  while (got < want) {
    size_t n = File.ReadAt(Position + static_cast<int64_t>(got), Buffer + got, want - got);
    if (n == 0) break;
    got += n;
  }
  return got;
}

std::string EntryError(const std::string& Name, const std::string& What) {
  return "LOADER: The file " + Name + " in SETUP.1 is damaged: " + What;
}

struct TInflateGuard {
  z_stream* Stream;
  ~TInflateGuard() { inflateEnd(Stream); }
};

struct TCounters {
  int64_t Written = 0;
  int64_t ToWrite = 0;
  int LastPercent = -1;
};

// The next block of an entry's compressed bytes at Pos, of the Remaining
// ones; 0 once they are used up or cannot be read.
size_t ReadCompressed(TByteSource& File, const TArchiveRange& Range, int64_t& Pos, int64_t& Remaining, uint8_t* In) {
  size_t got = 0;
  if (Remaining > 0) {
    size_t want = Remaining < static_cast<int64_t>(ReadBufferSize) ? static_cast<size_t>(Remaining) : ReadBufferSize;
    got = ReadInRange(File, Range, Pos, In, want);
  }
  Pos += static_cast<int64_t>(got);
  Remaining -= static_cast<int64_t>(got);
  return got;
}

void Deliver(TExtractSink& Sink, const std::string& OutPath, const uint8_t* Out, size_t Have, TCounters& C) {
  if (Sink.WriteOutput(Out, Have) != Have)
    throw ELoader("LOADER: Could not write to the file " + OutPath + ". This probably means that your disk is full");
  C.Written += static_cast<int64_t>(Have);
  int percent = ProgressPercent(C.Written, C.ToWrite);
  if (percent != C.LastPercent) {
    C.LastPercent = percent;
    Sink.Progress(percent);
  }
}

void ExtractFile(TByteSource& File, const TArchiveRange& Range, const lzh::TlzhFileHeader& H,
                 const std::string& OutPath, TExtractSink& Sink, uint8_t* In, TCounters& C) {
  std::string name = ExtractName(H.FileName);
  int64_t first = Range.Start + H.StartOffset;
  int64_t last = Range.Start + H.EndOffset;
  if (first < Range.Start || first > Range.End + 1 || last > Range.End)
    throw ELoader(EntryError(name, "its data lie outside the archive"));
  int64_t pos = first;
  int64_t remaining = last >= first ? last - first + 1 : 0;

  z_stream zs;
  std::memset(&zs, 0, sizeof zs);
  if (inflateInit(&zs) != Z_OK)
    throw ELoader("LOADER: Could not start to decompress the file " + name + " from SETUP.1 (zlib error)");
  TInflateGuard guard{&zs};
  // The header's size bounds what is written: an entry that inflates to more
  // is not the file it claims to be, and need not fill the disk to show it.
  const int64_t declared = H.NormalSize;
  const std::string sizeError =
      EntryError(name, "it does not decompress to the " + std::to_string(declared) + " bytes its header gives");
  int64_t entryWritten = 0;
  uint8_t out[WriteBlockSize];
  for (;;) {
    if (zs.avail_in == 0) {
      const size_t got = ReadCompressed(File, Range, pos, remaining, In);
      // The range is used up (or unreadable) and the stream still wants more:
      // whatever was written is an incomplete file.
      if (got == 0) throw ELoader(EntryError(name, "its compressed data end before the file does"));
      zs.next_in = In;
      zs.avail_in = static_cast<uInt>(got);
    }
    zs.next_out = out;
    zs.avail_out = sizeof out;
    int r = inflate(&zs, Z_NO_FLUSH);
    // zlib's own word on the fault tells a bad check from bad data.
    if (r < 0 || r == Z_NEED_DICT)
      throw ELoader(EntryError(name, std::string("its compressed data are not valid (zlib error: ") +
                                         (zs.msg ? zs.msg : "unknown") + ")"));
    size_t have = sizeof out - zs.avail_out;
    if (have > 0) {
      if (static_cast<int64_t>(have) > declared - entryWritten) throw ELoader(sizeError);
      entryWritten += static_cast<int64_t>(have);
      Deliver(Sink, OutPath, out, have, C);
    }
    if (r == Z_STREAM_END) break;
  }
  if (zs.avail_in != 0 || remaining != 0)
    throw ELoader(EntryError(name, "more data follow the end of its compressed data"));
  if (entryWritten != declared) throw ELoader(sizeError);
}

}  // namespace

std::vector<lzh::TlzhFileHeader> ReadFileHeaders(TByteSource& File, const TArchiveRange& Range) {
  std::vector<lzh::TlzhFileHeader> headers;
  uint8_t b[lzh::kHeaderSize];
  if (ReadInRange(File, Range, Range.Start, b, 4) != 4)
    throw ELoader("LOADER: Could not read the number of files in the archive from SETUP.1");
  int32_t count = lzh::GetI32(b);
  if (count > MaxFiles)
    throw ELoader(
        "LOADER: Sorry... You can only have 49 files in the PresetupFiles property of the TInstall. If you want to "
        "have more you can modify the MaxFiles constant in the QuillantLoadProgram project in the Quillant "
        "directory");
  if (ReadInRange(File, Range, Range.Start + 4, b, 1) != 1)
    throw ELoader("LOADER: Could not read the multi-partition flag in the archive file from SETUP.1");
  if (count <= 0)
    throw ELoader(
        "There are no files in the archive in SETUP.1. There should at least be your installation project "
        "executable");
  headers.reserve(static_cast<size_t>(count));
  int64_t next = Range.Start + static_cast<int64_t>(lzh::kStartSize);
  for (int32_t i = 0; i < count; ++i) {
    lzh::TlzhFileHeader h;
    if (ReadInRange(File, Range, next, b, sizeof b) != sizeof b || !lzh::DecodeHeader(b, h))
      throw ELoader("LOADER: Cannot read a file header in the archive file from SETUP.1");
    // No file has fewer than 0 bytes: such a header is damaged, whatever
    // its data hold.
    if (h.NormalSize < 0)
      throw ELoader("LOADER: The header of the file " + ExtractName(h.FileName) +
                    " in SETUP.1 is damaged: it gives a negative size");
    next = Range.Start + static_cast<int64_t>(h.NextHeaderOffset);
    headers.push_back(std::move(h));
  }
  return headers;
}

void ExtractFiles(TByteSource& File, const TArchiveRange& Range, const std::vector<lzh::TlzhFileHeader>& Headers,
                  const std::string& WorkFolder, TExtractSink& Sink) {
  TCounters c;
  for (const auto& h : Headers) c.ToWrite += h.NormalSize;
  std::vector<uint8_t> in(ReadBufferSize);
  for (const auto& h : Headers) {
    std::string path = DirectoryWBS(WorkFolder) + ExtractName(h.FileName);
    // A device name would open the device, not a file in the work folder.
    if (qbase::IsDeviceName(ExtractName(h.FileName)) || !Sink.CreateOutput(path))
      throw ELoader("LOADER: Could not create the following file, " + path);
    try {
      ExtractFile(File, Range, h, path, Sink, in.data(), c);
      Sink.SetOutputDate(h.Date);
    } catch (...) {
      Sink.CloseOutput();
      throw;
    }
    Sink.CloseOutput();
  }
}

std::string StartFailureMessage(unsigned long LastError) {
  // The number is what WinExec returns for that failure: the system's error
  // code below 32, ERROR_BAD_FORMAT (11) for every other failure.
  unsigned long result = LastError < 32 ? LastError : 11;
  return "LOADER: Could not run the installation executable file. The WinExec return was " + std::to_string(result);
}

int ProgressPercent(int64_t Written, int64_t Total) {
  if (Total <= 0 || Written <= 0) return 0;
  if (Written >= Total) return 100;
  // Half to even, as the current rounding mode does by default.
  return static_cast<int>(std::nearbyint(static_cast<double>(Written) / static_cast<double>(Total) * 100.0));
}

std::string WorkFolderFromTempName(const std::string& TempName) {
  std::string path = TempName;
  size_t dot = path.find_last_of(".\\/:");
  if (dot != std::string::npos && path[dot] == '.') path.erase(dot);
  size_t b = path.find_first_not_of(' ');
  if (b == std::string::npos)
    throw ELoader("LOADER: Could not find the temporary directory on this computer");
  return path;
}

std::string SetupCommandLine(const std::string& SetupPath, const char* Mode, const std::string& LoaderName,
                             const std::string& LoaderDir) {
  std::string line = "\"" + SetupPath + "\" *" + Mode + " \"" + LoaderName + "\" \"" + LoaderDir + "\"";
  size_t len = qbase::Utf16Length(line);
  if (len > MaxCommandLine) {
    char num[64];
    std::snprintf(num, sizeof num, "%zu", len);
    throw ELoader("LOADER: The command line that starts the installation program would be " + std::string(num) +
                  " characters long, more than Windows accepts (32766). Move the setup file to a folder with a "
                  "shorter path, or set TEMP to a shorter folder");
  }
  return line;
}

bool DateTimeToDosDateTime(double Date, uint32_t& DosDateTime) {
  // 1980-01-01 and 2108-01-01 as days since 1899-12-30.
  if (!(Date >= 29221.0 && Date < 75972.0)) return false;
  int64_t days = static_cast<int64_t>(std::floor(Date));
  int64_t ms = std::llround((Date - static_cast<double>(days)) * 86400000.0);
  if (ms >= 86400000) {
    ++days;
    ms -= 86400000;
  }
  // Civil date from days since 1970-01-01 (proleptic Gregorian).
  int64_t z = days - 25569 + 719468;
  int64_t era = z / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t year = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t day = doy - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  if (month <= 2) ++year;
  if (year < 1980 || year > 2107) return false;
  int64_t secs = ms / 1000;
  uint32_t hour = static_cast<uint32_t>(secs / 3600), min = static_cast<uint32_t>(secs / 60 % 60),
           sec = static_cast<uint32_t>(secs % 60);
  DosDateTime = (static_cast<uint32_t>(year - 1980) << 25) | (static_cast<uint32_t>(month) << 21) |
                (static_cast<uint32_t>(day) << 16) | (hour << 11) | (min << 5) | (sec / 2);
  return true;
}

}  // namespace loader
