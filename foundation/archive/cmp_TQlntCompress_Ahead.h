// The archive component's workers: threads that deflate the files of the
// next additions and inflate the entries after the one being extracted, and
// the memory the inflated entries are held in. Only the component's own
// units use them.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

// Creates (emptied) the temporary file a packed stream is written to, open
// for reading and writing. The system removes it when its last handle
// closes, also when the program is killed. INVALID_HANDLE_VALUE on failure.
void* CreatePackTemp(const std::string& Name);

// Deflates the sources that later additions will pack, on worker threads
// and a bounded number of files ahead, each into a temporary file; the
// addition takes each stream in its own order. zlib makes the same bytes
// for the same input and level, so the archive is the one a single thread
// writes. Memory stays a few buffers per thread.
class TPackAhead {
public:
  struct TResult {
    std::string TempFile;
    void* TempHandle = nullptr;  // the stream's file, open; the caller's from Take on
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

// The inflated bytes of one entry, in pieces of the memory they came from,
// given back to it when this is cleared or destroyed.
class TAheadBytes {
public:
  TAheadBytes() = default;
  ~TAheadBytes() { Clear(); }
  TAheadBytes(const TAheadBytes&) = delete;
  TAheadBytes& operator=(const TAheadBytes&) = delete;
  size_t Size() const { return FSize; }
  // Where byte At lies; the bytes from there to the end of its piece follow
  // it. nullptr at the end.
  unsigned char* At(size_t At) const {
    return At < FSize ? FPieces[At / TAheadMemory::kPiece] + At % TAheadMemory::kPiece : nullptr;
  }
  void Clear();
  void Swap(TAheadBytes& Other);

private:
  friend class TUnpackAhead;
  std::shared_ptr<TAheadMemory> FMemory;
  std::vector<unsigned char*> FPieces;
  size_t FSize = 0;
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
  using TBytes = TAheadBytes;
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
  TJob* NextJob();
  bool Inflate(TJob& Job, void* Archive, unsigned char* In);
  std::unique_ptr<TShared> F;
};
