// The loader's logic that needs no window: finding setup.1 through the
// trailer, reading its header area, inflating its entries into a sink, the
// command line that starts the setup program and the conversion of stored
// dates. Standard library, zlib, the shared base and archive layouts only, so it
// compiles natively too (tests, fuzzing); QuillantLoadProgram.cpp puts the
// Win32 file, folder and window calls behind these interfaces.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "classlib/base/PathBase.h"
#include "classlib/base/TextBase.h"
#include "foundation/archive/lzhFormat.h"

namespace loader {

// The one kind of error the loader raises; its message is what the user sees.
class ELoader {
public:
  explicit ELoader(std::string Message) : FMessage(std::move(Message)) {}
  const std::string& Message() const { return FMessage; }

private:
  std::string FMessage;
};

constexpr int MaxFiles = 50;
constexpr size_t ReadBufferSize = 65536;
// Inflated data goes out in large pieces: under Wine a write costs far more
// than inflating a few kilobytes.
constexpr size_t WriteBlockSize = 65536;
// CreateProcess takes at most 32,767 characters including the final zero.
constexpr size_t MaxCommandLine = 32766;

extern const char* const SelfExtractingParameter;     // "SELFEXTRACT"
extern const char* const NotSelfExtractingParameter;  // "NOTSELFEXTRACT"
extern const char* const CopyToDiskParameter;         // "TODISK"

// Random access to the bytes of a file.
class TByteSource {
public:
  virtual ~TByteSource() = default;
  virtual int64_t Size() = 0;
  // Reads up to Count bytes at Position; returns how many came (0 at the end
  // or on a failed read).
  virtual size_t ReadAt(int64_t Position, void* Buffer, size_t Count) = 0;
};

// A source over bytes in memory (tests, fuzzing).
class TMemorySource : public TByteSource {
public:
  TMemorySource(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}
  int64_t Size() override { return static_cast<int64_t>(FSize); }
  size_t ReadAt(int64_t Position, void* Buffer, size_t Count) override;

private:
  const uint8_t* FData;
  size_t FSize;
};

// Where extracted entries go.
class TExtractSink {
public:
  virtual ~TExtractSink() = default;
  // Creates (or replaces) the file; false when it cannot be made.
  virtual bool CreateOutput(const std::string& Path) = 0;
  // Appends to the file made last; returns the bytes written.
  virtual size_t WriteOutput(const uint8_t* Data, size_t Count) = 0;
  // Gives the file made last its stored date (a local date-time); a date that
  // cannot be set is passed over.
  virtual void SetOutputDate(double Date) = 0;
  // Closes the file made last (also after a failure).
  virtual void CloseOutput() = 0;
  // The share of all bytes written so far, 0..100.
  virtual void Progress(int Percent) = 0;
};

// Path and argument helpers of the shared base (paths with backslashes, as
// the system gives them; arguments as the class library reads them).
using qbase::DirectoryWBS;
using qbase::DirectoryWOBS;
using qbase::ExtractDir;
using qbase::ExtractName;
using qbase::SplitArguments;
using qbase::Utf16Length;
// True when the first argument is "*TODISK" in any letter case.
bool IsToDisk(const std::vector<std::string>& Args);
const char* ModeWord(bool ToDisk, bool SelfExtracting);

// The trailer of a file: its last 56 bytes, or all zeros for a file shorter
// than that.
lzh::TSelfExtractInfo ReadSelfExtractInfo(TByteSource& File);

// Where setup.1 lies inside a file: first and last byte.
struct TArchiveRange {
  int64_t Start = 0;
  int64_t End = -1;
};
// setup.1 inside a self-extracting file; ELoader when the trailer's offsets
// do not lie inside the file (FileName names it in the message).
TArchiveRange SelfExtractRange(const lzh::TSelfExtractInfo& Info, int64_t FileSize, const std::string& FileName);

// The headers of the archive at Range (at most MaxFiles); ELoader with the
// loader's messages when the area cannot be read or holds no entry. Nothing
// is read outside Range.
std::vector<lzh::TlzhFileHeader> ReadFileHeaders(TByteSource& File, const TArchiveRange& Range);

// Inflates every entry into WorkFolder\<name part> through Sink, in header
// order, reporting progress. An entry must end exactly where its byte range
// ends, and inflate to exactly the size its header gives: a stream that stops
// early or runs past the range, or whose data would pass that size (nothing
// beyond it is written) or fall short of it, is an ELoader.
void ExtractFiles(TByteSource& File, const TArchiveRange& Range, const std::vector<lzh::TlzhFileHeader>& Headers,
                  const std::string& WorkFolder, TExtractSink& Sink);

// The message when the setup program cannot be started, from the system's
// error code of that failure.
std::string StartFailureMessage(unsigned long LastError);

// The percentage of Written in Total, rounded half to even; 0 for a total
// of 0 or less, never beyond 0..100.
int ProgressPercent(int64_t Written, int64_t Total);

// The work folder for a reserved temporary name: the same path without its
// extension; ELoader (the temporary-directory error) when that is blank.
std::string WorkFolderFromTempName(const std::string& TempName);

// The line that starts the setup program: every path token in double quotes
// (the folders may hold blanks). ELoader when it would exceed what the system
// takes (MaxCommandLine characters in UTF-16, counted by Utf16Length).
std::string SetupCommandLine(const std::string& SetupPath, const char* Mode, const std::string& LoaderName,
                             const std::string& LoaderDir);

// A local date-time (days since 1899-12-30) as a DOS date (high word) and
// time (low word), two-second resolution; false outside 1980..2107.
bool DateTimeToDosDateTime(double Date, uint32_t& DosDateTime);

}  // namespace loader
