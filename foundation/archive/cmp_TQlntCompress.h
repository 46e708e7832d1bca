// The archive component: the entry headers of an archive in memory, packing
// files into archives, unpacking them under the overwrite rules, plain copies
// and the spreading of an archive over a set of disks.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/Streams.h"
#include "classlib/TypInfo.h"
#include "foundation/archive/lzhFormat.h"
#include "foundation/archive/routines_Compression.h"
#include "foundation/types_Quillant.h"

using lzh::TlzhFileHeader;

enum TlzhCommand { lzcOverwrite, lzcOnlyAdd };
enum TlzhAction { acNone, acAdd, acExtract };
// How an Extract ended.
enum TExtractOutcome {
  eoWritten,   // every file listed was written
  eoSkipped,   // it ran to its end, but a file was left as it stood: a
               // handler's SkipFile, or the overwrite rule kept the target
  eoQuietEnd,  // it ended quietly (a silent abort, or a Cancel that
               // OnAborted let pass): the file it stopped at and those
               // after it were not written
};

using lzh::TlzhFileStats;

// Why a source cannot go into an archive (%s: the file): its date lies
// outside what the archive's DOS dates hold, or it is larger than 2 GB, or
// its path, the entry's name, is longer than a header holds.
extern const char* const SArchiveDateOutOfRange;
extern const char* const SArchiveFileTooLarge;
extern const char* const SArchivePathTooLong;

// Quotient times 100, rounded half to even, kept in a byte; 0 for a zero divisor.
uint8_t Percentage(double Part, double Whole);

// One entry of an archive.
class TFileHeader : public TObject {
public:
  TlzhFileHeader Data;
  bool ReadInfo = false;
  bool Valid() const;

  // A new header from a source file: the first ';'-field of the line, cut to
  // 100 characters, its date, size and version.
  void ReadFileInformation(const std::string& FileName);
  void ReadHeaderInformation(TStream* Stream);
  void WriteHeaderInformation(TStream* Stream);
  void ProcessFileStatistics(TlzhFileStats& FileStats) const;
};

// The headers of one archive, owned.
class TFileHeaders : public TObject {
public:
  TFileHeaders() = default;
  ~TFileHeaders() override;
  TFileHeaders(const TFileHeaders&) = delete;
  TFileHeaders& operator=(const TFileHeaders&) = delete;

  int Count() const { return static_cast<int>(FList.size()); }
  TFileHeader* FileHeaders(int I) const;
  TFileHeader* operator[](int I) const { return FileHeaders(I); }
  bool MultiPartition() const { return FMultiPartition; }
  void SetMultiPartition(bool Value) { FMultiPartition = Value; }

  void AddFileHeader(TFileHeader* NewFileHeader);
  void Clear();
  // Frees the headers from Index on (those of entries an interrupted
  // addition did not write).
  void DeleteFrom(int Index);
  void CreateHeaderInformation(const TStrings* FileNameList, bool Append);
  int IndexOf(const std::string& FileName) const;
  // End: the position just past the archive's last byte in Stream (an
  // archive inside a larger file ends before the file does); -1: the
  // stream's end.
  void ReadHeaderInformation(TStream* Stream, int32_t Offset, int64_t End = -1);
  // Whether the last ReadHeaderInformation failed because the bytes ended
  // where the headers read so far say more follows (an archive cut short),
  // rather than on a value no archive holds.
  bool EndedEarly() const { return FEndedEarly; }
  // The first entry whose data do not lie whole in an archive read at Offset
  // whose (first) volume ends at End, with the reason; -1 when all do.
  int FirstUnfit(int64_t Offset, int64_t End, lzh::TEntryCheck& Why) const;
  void WriteHeaderInformation(TStream* Stream);
  void ProcessDecompressSize(TlzhFileStats& FileStats) const;
  void ProcessTotalStatistics(TlzhFileStats& FileStats) const;

private:
  std::vector<TFileHeader*> FList;
  bool FMultiPartition = false;
  bool FEndedEarly = false;
};

class TQlntCompress;
using TlzhFileStatsEvent = std::function<void(TQlntCompress* Sender, const TlzhFileStats& FileStats)>;
using TlzhNewDiskEvent = std::function<void(TQlntCompress* Sender, int32_t DiskNumber, std::string& Path)>;
using TlzhNotifyEvent = std::function<void(TObject* Sender)>;
using TlzhTargetEvent = std::function<void(TQlntCompress* Sender, THandle Target)>;

// The workers of the work ahead (cmp_TQlntCompress_Ahead.h).
class TPackAhead;
class TUnpackAhead;
class TAheadMemory;
class TAheadBytes;

class TQlntCompress : public TComponent {
  QNT_PUBLISHED(TQlntCompress, TComponent)
public:
  static constexpr size_t kInBufferSize = 65536;     // archive and source reads
  static constexpr size_t kOutBufferSize = 1 << 20;  // target and archive writes
  explicit TQlntCompress(TComponent* AOwner);
  ~TQlntCompress() override;

  bool Abort() const { return FAbort; }
  // Set by a Cancel; the running operation, or else the next one, ends with
  // the abort: a Cancel is never cleared before an operation has seen it.
  void SetAbort(bool Value) {
    FAbort = Value;
    FUserAbort = Value;
  }
  const std::string& CompressedFile() const { return FCompressedFile; }
  void SetCompressedFile(const std::string& Value);
  TCompressionLevel CompressionLevel() const { return FCompressionLevel; }
  void SetCompressionLevel(TCompressionLevel Value) { FCompressionLevel = Value; }
  const std::string& ExtractDirectory() const { return FExtractDirectory; }
  void SetExtractDirectory(const std::string& Value) { FExtractDirectory = Value; }
  TStrings* FilesToProcess() const { return FFilesToProcess; }
  void SetFilesToProcess(TStrings* Value);
  // The files the next additions will pack, in their order, deflated ahead
  // on Threads worker threads (fewer than 2: no workers); an empty list
  // ends it.
  void SetPackAhead(const std::vector<std::string>& Sources, int Threads);
  // Worker threads that inflate the entries following each one extracted
  // from a single-volume archive (0: none).
  void SetUnpackAhead(int Threads);
  int UnpackAhead() const { return FUnpackThreads; }
  int32_t Offset() const { return FOffset; }
  // The archive runs from Value to the end of CompressedFile.
  void SetOffset(int32_t Value) {
    FOffset = Value;
    FLast = -1;
  }
  // The archive is the bytes First..Last of CompressedFile (files.1 inside
  // setup.exe): no entry is read past Last. A Last below First: to the end.
  void SetArchiveRange(int32_t First, int32_t Last) {
    FOffset = First;
    FLast = Last >= First ? Last : -1;
  }
  // The archive's last byte in CompressedFile; -1 when it runs to the end.
  int32_t ArchiveLast() const { return FLast; }
  TOverwriteType Overwrite() const { return FOverwrite; }
  void SetOverwrite(TOverwriteType Value) { FOverwrite = Value; }

  const std::string& ExtractName() const { return FExtractName; }
  void SetExtractName(const std::string& Value) { FExtractName = Value; }
  bool SkipFile() const { return FSkipFile; }
  void SetSkipFile(bool Value) { FSkipFile = Value; }
  int FileCount();
  TlzhFileStats Files(int I);
  TFileHeaders* FileHeaders() const { return FFileHeaders; }

  const TlzhNotifyEvent& OnAborted() const { return FOnAborted; }
  void SetOnAborted(TlzhNotifyEvent E) { FOnAborted = std::move(E); }
  const TlzhFileStatsEvent& OnAfterAdding() const { return FOnAfterAdding; }
  void SetOnAfterAdding(TlzhFileStatsEvent E) { FOnAfterAdding = std::move(E); }
  const TlzhFileStatsEvent& OnBeforeAdding() const { return FOnBeforeAdding; }
  void SetOnBeforeAdding(TlzhFileStatsEvent E) { FOnBeforeAdding = std::move(E); }
  const TlzhFileStatsEvent& OnAfterExtracting() const { return FOnAfterExtracting; }
  void SetOnAfterExtracting(TlzhFileStatsEvent E) { FOnAfterExtracting = std::move(E); }
  const TlzhFileStatsEvent& OnBeforeExtracting() const { return FOnBeforeExtracting; }
  void SetOnBeforeExtracting(TlzhFileStatsEvent E) { FOnBeforeExtracting = std::move(E); }
  const TlzhNotifyEvent& OnFullDisk() const { return FOnFullDisk; }
  void SetOnFullDisk(TlzhNotifyEvent E) { FOnFullDisk = std::move(E); }
  const TlzhFileStatsEvent& OnListing() const { return FOnListing; }
  void SetOnListing(TlzhFileStatsEvent E) { FOnListing = std::move(E); }
  const TlzhNewDiskEvent& OnNewDisk() const { return FOnNewDisk; }
  void SetOnNewDisk(TlzhNewDiskEvent E) { FOnNewDisk = std::move(E); }
  const TlzhFileStatsEvent& OnReplace() const { return FOnReplace; }
  void SetOnReplace(TlzhFileStatsEvent E) { FOnReplace = std::move(E); }
  const TlzhFileStatsEvent& OnStatus() const { return FOnStatus; }
  void SetOnStatus(TlzhFileStatsEvent E) { FOnStatus = std::move(E); }
  // For the next Extract only, as ExtractName: called with a target's handle
  // once the file is whole and dated, before it is closed. The handle may
  // delete the file, so the handler can give it another name through it
  // without opening it again.
  void SetOnTargetWhole(TlzhTargetEvent E) { FOnTargetWhole = std::move(E); }

  void ReadInformation();
  int FindFile(const std::string& FilePath);
  TExtractOutcome Extract();
  void Copy(const std::string& SourcePath, const std::string& DestPath);
  void Add(TlzhCommand Cmd);
  void CopyToDisk(const std::string& Path, const std::string& FileName);

protected:
  // OnFullDisk, or the disk-full error for the file being written.
  virtual void InformDiskFull();
  // Makes a new volume of a disk set (emptied); nullptr when it cannot be made.
  virtual TStream* CreateVolume(const std::string& Name);
  // Lets pending window messages run (a Cancel reaches Abort there).
  virtual void ProcessMessages();

private:
  enum TOpenMode { omRead, omReadWrite };
  void ChangeToPartition(TStream*& Stream, int Disk, std::string& CF, TOpenMode Mode);
  // Where the archive ends in Stream (the first volume or a single one): the
  // position past its last byte.
  int64_t ArchiveEnd(TStream* Stream) const;
  void PumpMessages();
  void CheckAbort();
  // The start of every operation: clears Abort, unless a Cancel not yet seen
  // set it.
  void StartOperation() { FAbort = FUserAbort; }
  // Runs an operation's body as every operation ends: a Cancel reported
  // (OnAborted), a quiet end (EAbort, where QuietEndAllowed) swallowed, any
  // other failure sets Abort and goes on. True when the body ran to its end.
  bool RunOperation(const std::function<void()>& Body, bool QuietEndAllowed = true);
  void Status();
  // False when the file was left as it stood (skipped, or kept by the
  // overwrite rule).
  bool ExtractOne(const std::string& Line);
  // Extracting one entry: open the target, take the entry inflated ahead or
  // inflate it here, finish the target (its size, the stream's end, its date).
  void InflateEntry(TFileHeader* Header, int Index, const std::string& Target);
  // The target, open for writing; INVALID_HANDLE_VALUE (as a THandle) never.
  THandle OpenTarget(const std::string& Target);
  // Both return whether the entry's stream ended.
  bool WriteInflatedAhead(const TlzhFileHeader& Entry, TAheadBytes& Ahead);
  bool InflateHere(const TlzhFileHeader& Entry);
  // Up to one progress block of the entry's bytes into Block.
  size_t InflateBlock(TZDecompressor& Z, const TlzhFileHeader& Entry, unsigned char* Block);
  // After each block: a Cancel, the window's messages; false when the block
  // was empty; an entry longer than its header says is refused.
  bool BlockDone(const TlzhFileHeader& Entry, size_t Got);
  // Bytes more done and the progress event; completions are of the packed
  // sizes when OfPacked (a volume copy), else of the files' sizes.
  void CountProgress(int64_t Bytes, bool OfPacked);
  void WriteTarget(const unsigned char* Data, size_t Count);
  void FinishTarget(const TlzhFileHeader& Entry, THandle Handle, bool Ended);
  // Starts inflating ahead the entries after Index, unless that is running.
  void UnpackAfter(int Index);
  // Entry Index inflated ahead, or false.
  bool TakeUnpacked(int Index, TAheadBytes& Bytes);

  // Adding: each new entry's stream, deflated ahead or here, then written
  // into the archive behind its header.
  struct TPackedEntry;
  void AddEntries();
  void AddEntry(TFileHeader* Header);
  bool TakePackedAhead(const TlzhFileHeader& Entry, TPackedEntry& Packed);
  void PackHere(const TlzhFileHeader& Entry, TPackedEntry& Packed);
  void WriteEntry(TFileHeader* Header, TStream& Packed, int64_t PackedSize);
  void AddStatus(int64_t SourcePos, int64_t PackedSize);
  // InformDiskFull for FWriting; when a handler returns, the disk-full error
  // all the same: what was being written is not whole.
  [[noreturn]] void WritingFailed();
  // A source or archive opened for reading, shared with every other use.
  static void* OpenShared(const std::string& Name);
  // Whether a plain copy replaces DestPath, and under which name (Target).
  bool CopyReplaces(const std::string& SourcePath, const std::string& DestPath, std::string& Target);
  void CopyToDiskRun(const std::string& Path, const std::string& FileName);
  // The volume after a full one: asked for, then made in Path.
  void NextVolume(std::unique_ptr<TStream>& Volume, int& Disk, std::string& Path, std::string& VolumeName,
                  const std::string& FileName);
  // The disk set's headers with their final places, onto volume 1.
  void WriteFinalHeaders(const std::string& LastVolume);

  bool FAbort = false;
  bool FUserAbort = false;  // a Cancel that no operation has ended with yet
  std::string FCompressedFile;
  TCompressionLevel FCompressionLevel = colMax;
  std::string FExtractDirectory;
  TStringList* FFilesToProcess;
  int32_t FOffset = 0;
  int32_t FLast = -1;
  TOverwriteType FOverwrite = owAlways;
  std::string FExtractName;
  bool FSkipFile = false;
  TFileHeaders* FFileHeaders;
  TlzhNotifyEvent FOnAborted, FOnFullDisk;
  TlzhFileStatsEvent FOnAfterAdding, FOnBeforeAdding, FOnAfterExtracting, FOnBeforeExtracting, FOnListing,
      FOnReplace, FOnStatus;
  TlzhNewDiskEvent FOnNewDisk;
  TlzhTargetEvent FOnTargetWhole;

  TlzhAction FAction = acNone;
  int FCurrentDisk = 0;
  TStream* FArchive = nullptr;  // the open archive or volume
  TStream* FTarget = nullptr;   // the file being written
  std::string FWriting;         // its name, for a disk-full report
  TFileHeader* FCurrentHeader = nullptr;
  TlzhFileStats FFileStats;
  bool FInMemory = false;
  // Transfer buffers of the running Add or Extract, made when first needed:
  // archive and source reads, and target and archive writes in large pieces.
  unsigned char* InBuffer();
  unsigned char* OutBuffer();
  std::unique_ptr<unsigned char[]> FInBuffer, FOutBuffer;
  uint64_t FLastPump = 0;
  std::unique_ptr<TPackAhead> FPackAhead;
  int FUnpackThreads = 0;
  int FHeadersGeneration = 0;  // counts the header lists read or written
  std::unique_ptr<TUnpackAhead> FUnpackAhead;
  // The memory of the work ahead, kept across entries and archives while
  // there are workers.
  std::shared_ptr<TAheadMemory> FAheadMemory;
};
