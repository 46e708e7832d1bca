// The archive component: the entry headers of an archive in memory, packing
// files into archives, unpacking them under the overwrite rules, plain copies
// and the spreading of an archive over a set of disks.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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

using lzh::TlzhFileStats;

// Why a source cannot go into an archive (%s: the file): its date lies
// outside what the archive's DOS dates hold, or it is larger than 2 GB.
extern const char* const SArchiveDateOutOfRange;
extern const char* const SArchiveFileTooLarge;

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
  void WriteHeaderInformation(TStream* Stream);
  void ProcessDecompressSize(TlzhFileStats& FileStats) const;
  void ProcessTotalStatistics(TlzhFileStats& FileStats) const;

private:
  std::vector<TFileHeader*> FList;
  bool FMultiPartition = false;
};

class TQlntCompress;
using TlzhFileStatsEvent = std::function<void(TQlntCompress* Sender, const TlzhFileStats& FileStats)>;
using TlzhNewDiskEvent = std::function<void(TQlntCompress* Sender, int32_t DiskNumber, std::string& Path)>;
using TlzhNotifyEvent = std::function<void(TObject* Sender)>;

// The lock and the signal of the work ahead: the system's slim lock and
// condition variable, whose waits and wakes stay inside the process. The
// standard ones of this tool chain wait on kernel objects, and under Wine
// every such wait and wake is a round trip to its server, which the setup
// program's own thread waits for as well.
class TAheadLock {
public:
  void lock();
  void unlock();
  bool try_lock();

private:
  friend class TAheadSignal;
  void* FLock = nullptr;  // an SRWLOCK, unlocked
};

class TAheadSignal {
public:
  void notify_all();
  template <class Pred>
  void wait(std::unique_lock<TAheadLock>& Guard, Pred Ready) {
    while (!Ready()) WaitOnce(Guard, -1);
  }
  // Waits until Ready or for about Period; returns Ready().
  template <class Rep, class Period, class Pred>
  bool wait_for(std::unique_lock<TAheadLock>& Guard, std::chrono::duration<Rep, Period> Time, Pred Ready) {
    const auto end = std::chrono::steady_clock::now() + Time;
    while (!Ready()) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return Ready();
      WaitOnce(Guard, static_cast<long>(left.count()));
    }
    return true;
  }

private:
  void WaitOnce(std::unique_lock<TAheadLock>& Guard, long Milliseconds);  // -1: no limit
  void* FCondition = nullptr;  // a CONDITION_VARIABLE
};

// The worker threads of the component's work ahead, with the lock and the
// signal they share with the thread that takes their results.
class TAheadThreads {
public:
  TAheadLock Lock;
  TAheadSignal Wake;
  bool Stop = false;  // under Lock
  // Starts Count threads running Work. When one cannot start, those started
  // are stopped and the error is raised.
  void Start(int Count, const std::function<void()>& Work);
  // Asks the workers to stop and waits for them.
  void StopAll();

private:
  std::vector<std::thread> FThreads;
};

// Deflates the sources that later additions will pack, on worker threads
// and a bounded number of files ahead, each into a temporary file; the
// addition takes each stream in its own order. zlib makes the same bytes
// for the same input and level, so the archive is the one a single thread
// writes. Memory stays a few buffers per thread.
class TPackAhead {
public:
  struct TResult {
    std::string TempFile;  // the caller's from Take on
    int64_t SourceBytes = 0;
    int64_t PackedBytes = 0;
  };
  TPackAhead(std::vector<std::string> Sources, int Level, int Threads);
  // Stops the workers and removes every temporary file not taken.
  ~TPackAhead();
  TPackAhead(const TPackAhead&) = delete;
  TPackAhead& operator=(const TPackAhead&) = delete;
  // The stream of Source at Level, waiting for it (Waiting gets the bytes
  // read so far, on this thread, while it is not ready). False when Source
  // is not among the files ahead or its packing failed: the caller packs it.
  // Files ahead of Source that were never taken are given up.
  bool Take(const std::string& Source, int Level, const std::function<void(int64_t)>& Waiting, TResult& Result);

private:
  struct TJob;
  struct TShared;
  void Work();
  static void Pack(TJob& Job, int Level);
  std::unique_ptr<TShared> F;
};

// The memory entries are inflated into ahead of the extraction: pieces of
// one size, kept when an entry is written and handed to the next one. Fresh
// memory is faulted in page by page, and the faults of several threads queue
// on one address space, so an extraction faults its pieces in about once
// rather than once per entry. Pieces still out are counted, which bounds what
// the work ahead holds. The component keeps it for as long as it has workers.
class TAheadMemory {
public:
  static constexpr size_t kPiece = 262144;  // a multiple of the extraction's block
  TAheadMemory() = default;
  ~TAheadMemory();
  TAheadMemory(const TAheadMemory&) = delete;
  TAheadMemory& operator=(const TAheadMemory&) = delete;
  static size_t PiecesFor(int64_t Bytes) { return static_cast<size_t>((Bytes + kPiece - 1) / kPiece); }
  // Count pieces, kept ones first (the last one given back first: its pages
  // are the ones most likely still in place).
  void Take(size_t Count, std::vector<unsigned char*>& Pieces);
  // Gives Pieces back and clears the list.
  void Give(std::vector<unsigned char*>& Pieces);
  // Bytes of the pieces taken and not given back.
  int64_t Out() const;

private:
  mutable TAheadLock FLock;
  std::vector<unsigned char*> FKept;
  int64_t FOut = 0;
};

// Inflates the entries of one archive that follow the one being extracted,
// on worker threads and into memory, while the extraction writes: an install
// extracts an archive's entries one at a time and mostly in their stored
// order. Entries too large to hold, and any a worker could not inflate whole
// and exactly, are left to the extraction, which reports their faults.
class TUnpackAhead {
public:
  struct TEntry {
    int64_t Start = 0, End = -1;  // the packed bytes, from the archive's offset on
    int32_t Size = 0;             // inflated
    bool Fits = false;            // the entry lies inside the archive file
  };
  // The inflated bytes of one entry, in pieces of the memory they came from,
  // given back to it when this is cleared or destroyed.
  class TBytes {
  public:
    TBytes() = default;
    ~TBytes() { Clear(); }
    TBytes(const TBytes&) = delete;
    TBytes& operator=(const TBytes&) = delete;
    size_t Size() const { return FSize; }
    // Where byte At lies; the bytes from there to the end of its piece follow
    // it. nullptr at the end.
    unsigned char* At(size_t At) const {
      return At < FSize ? FPieces[At / TAheadMemory::kPiece] + At % TAheadMemory::kPiece : nullptr;
    }
    void Clear();
    void Swap(TBytes& Other);

  private:
    friend class TUnpackAhead;
    std::shared_ptr<TAheadMemory> FMemory;
    std::vector<unsigned char*> FPieces;
    size_t FSize = 0;
  };
  // Entries[0] is the archive's entry First; Memory holds what is inflated.
  TUnpackAhead(const std::string& Archive, int64_t Offset, int Generation, int First, std::vector<TEntry> Entries,
               int Threads, std::shared_ptr<TAheadMemory> Memory);
  ~TUnpackAhead();
  TUnpackAhead(const TUnpackAhead&) = delete;
  TUnpackAhead& operator=(const TUnpackAhead&) = delete;
  bool Serves(const std::string& Archive, int64_t Offset, int Generation) const;
  // Whether Index is the entry the set is to give next.
  bool Expects(int Index) const;
  // The inflated bytes of entry Index, waiting for them while a worker is at
  // it (Waiting runs on this thread meanwhile and may raise). False when the
  // entry is not ahead, not yet begun, or failed: the caller inflates it.
  // Entries before Index are given up.
  bool Take(int Index, const std::function<void()>& Waiting, TBytes& Bytes);
  // Memory came back: workers waiting for room look again.
  void Nudge();

private:
  struct TJob;
  struct TShared;
  void Work();
  bool Inflate(TJob& Job, void* Archive, unsigned char* In);
  std::unique_ptr<TShared> F;
};

class TQlntCompress : public TComponent {
  QNT_PUBLISHED(TQlntCompress, TComponent)
public:
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

  void ReadInformation();
  int FindFile(const std::string& FilePath);
  // False when it ended quietly (a silent abort, or a Cancel that OnAborted
  // let pass): the file it stopped at and those after it were not written.
  bool Extract();
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
  void Status();
  void ExtractOne(const std::string& Line);
  void InflateEntry(TFileHeader* Header, int Index, const std::string& Target);
  // Starts inflating ahead the entries after Index, unless that is running.
  void UnpackAfter(int Index);
  // Entry Index inflated ahead, or false.
  bool TakeUnpacked(int Index, TUnpackAhead::TBytes& Bytes);
  void AddEntries();
  void AddEntry(TFileHeader* Header);
  void CopyToDiskRun(const std::string& Path, const std::string& FileName);

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

  TlzhAction FAction = acNone;
  int FCurrentDisk = 0;
  TStream* FArchive = nullptr;  // the open archive or volume
  TStream* FTarget = nullptr;   // the file being written
  std::string FWriting;         // its name, for a disk-full report
  TFileHeader* FCurrentHeader = nullptr;
  TlzhFileStats FFileStats;
  bool FInMemory = false;
  // Transfer buffers of the running Add or Extract.
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
