// The archive component's workers that inflate entries ahead of the
// extraction.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "classlib/WinText.h"
#include "foundation/archive/cmp_TQlntCompress.h"
#include "foundation/archive/cmp_TQlntCompress_Ahead.h"
#include "foundation/archive/lzhFormat.h"

namespace {
constexpr size_t kReadChunk = 262144;
// What the memory of the work ahead may hold out at once: the entries being
// inflated, those done and not yet taken, and the one being written. The
// writing is what takes the time, so a few entries ahead keep it busy; more
// would only be more pages to fault in (8 MB: about 2,000).
constexpr int64_t kBudget = 8 << 20;
// One entry is held in memory whole, so only entries up to the budget are
// inflated ahead; larger ones are streamed by the extraction as ever.
constexpr int32_t kMaxEntry = static_cast<int32_t>(kBudget);
}  // namespace

// ------------------------------------------------------------ TAheadMemory

TAheadMemory::~TAheadMemory() {
  for (unsigned char* p : FKept) delete[] p;
}

void TAheadMemory::Take(size_t Count, std::vector<unsigned char*>& Pieces) {
  Pieces.reserve(Pieces.size() + Count);
  {
    std::lock_guard<TAheadLock> g(FLock);
    FOut += static_cast<int64_t>(Count * kPiece);
    while (Count > 0 && !FKept.empty()) {
      Pieces.push_back(FKept.back());
      FKept.pop_back();
      --Count;
    }
  }
  // Made outside the lock; a failure gives back what was taken.
  try {
    for (; Count > 0; --Count) Pieces.push_back(new unsigned char[kPiece]);
  } catch (...) {
    std::lock_guard<TAheadLock> g(FLock);
    FOut -= static_cast<int64_t>(Count * kPiece);
    throw;
  }
}

void TAheadMemory::Give(std::vector<unsigned char*>& Pieces) {
  if (Pieces.empty()) return;
  {
    std::lock_guard<TAheadLock> g(FLock);
    FOut -= static_cast<int64_t>(Pieces.size() * kPiece);
    // The list's own room, so giving back never fails.
    for (unsigned char* p : Pieces) {
      if (FKept.size() == FKept.capacity()) {
        try {
          FKept.reserve(FKept.size() * 2 + 16);
        } catch (...) {
          delete[] p;
          continue;
        }
      }
      FKept.push_back(p);
    }
  }
  Pieces.clear();
}

int64_t TAheadMemory::Out() const {
  std::lock_guard<TAheadLock> g(FLock);
  return FOut;
}

void TAheadBytes::Clear() {
  if (FMemory) FMemory->Give(FPieces);
  for (unsigned char* p : FPieces) delete[] p;  // none kept: no memory to give them to
  FPieces.clear();
  FMemory.reset();
  FSize = 0;
}

void TAheadBytes::Swap(TAheadBytes& Other) {
  FMemory.swap(Other.FMemory);
  FPieces.swap(Other.FPieces);
  std::swap(FSize, Other.FSize);
}

// ------------------------------------------------------------ TUnpackAhead

struct TUnpackAhead::TJob {
  enum TState { jsWaiting, jsRunning, jsDone, jsFailed, jsGivenUp };
  TEntry Entry;
  TBytes Bytes;
  TState State = jsWaiting;
};

struct TUnpackAhead::TShared {
  std::string Archive;
  int64_t Offset = 0;
  int Generation = 0;
  int First = 0;  // the archive index of Jobs[0]
  std::vector<std::unique_ptr<TJob>> Jobs;
  size_t NextTake = 0;  // jobs before it were taken or given up
  size_t Ahead = 0;     // how many jobs may be inflated beyond NextTake
  std::shared_ptr<TAheadMemory> Memory;
  TAheadThreads Workers;
};

TUnpackAhead::TUnpackAhead(const std::string& Archive, int64_t Offset, int Generation, int First,
                           std::vector<TEntry> Entries, int Threads, std::shared_ptr<TAheadMemory> Memory)
    : F(new TShared) {
  F->Memory = std::move(Memory);
  F->Archive = Archive;
  F->Offset = Offset;
  F->Generation = Generation;
  F->First = First;
  for (TEntry& e : Entries) {
    auto job = std::make_unique<TJob>();
    job->Entry = e;
    // Too large to hold, or no entry of ours: the extraction reads it.
    if (e.Size < 0 || e.Size > kMaxEntry || !e.Fits) job->State = TJob::jsFailed;
    F->Jobs.push_back(std::move(job));
  }
  F->Ahead = static_cast<size_t>(Threads) * 2;
  F->Workers.Start(Threads, [this] { Work(); });
}

TUnpackAhead::~TUnpackAhead() { F->Workers.StopAll(); }

void TUnpackAhead::Nudge() {
  // Under the lock, so that a worker that found no room is either still to
  // look or already waiting.
  { std::lock_guard<TAheadLock> g(F->Workers.Lock); }
  F->Workers.Wake.notify_all();
}

bool TUnpackAhead::Serves(const std::string& Archive, int64_t Offset, int Generation) const {
  return Archive == F->Archive && Offset == F->Offset && Generation == F->Generation;
}

bool TUnpackAhead::Expects(int Index) const {
  std::lock_guard<TAheadLock> g(F->Workers.Lock);
  return Index == F->First + static_cast<int64_t>(F->NextTake) && F->NextTake < F->Jobs.size();
}

// The next entry to inflate, in order and within the budget, with its
// memory; nullptr when the workers stop.
TUnpackAhead::TJob* TUnpackAhead::NextJob() {
  TJob* job = nullptr;
  std::unique_lock<TAheadLock> g(F->Workers.Lock);
  F->Workers.Wake.wait(g, [&] {
    if (F->Workers.Stop) return true;
    const size_t end = std::min(F->Jobs.size(), F->NextTake + F->Ahead);
    for (size_t i = F->NextTake; i < end; ++i) {
      TJob* j = F->Jobs[i].get();
      if (j->State != TJob::jsWaiting) continue;
      // In order: a later entry does not pass one the budget holds back.
      // What is out is given back as the extraction writes and takes.
      const int64_t out = F->Memory->Out();
      if (out > 0 && out + static_cast<int64_t>(TAheadMemory::PiecesFor(j->Entry.Size) * TAheadMemory::kPiece) >
                         kBudget)
        return false;
      job = j;
      return true;
    }
    return false;
  });
  if (F->Workers.Stop) return nullptr;
  job->State = TJob::jsRunning;
  // Its memory is taken while the lock is held, so that two workers
  // never both count on the same room.
  TBytes& bytes = job->Bytes;
  bytes.FMemory = F->Memory;
  bytes.FSize = static_cast<size_t>(job->Entry.Size);
  try {
    F->Memory->Take(TAheadMemory::PiecesFor(job->Entry.Size), bytes.FPieces);
  } catch (...) {
    bytes.Clear();
  }
  return job;
}

void TUnpackAhead::Work() {
  // Each worker opens the archive once for all its entries (an open costs a
  // round trip to Wine's server), and lets others delete it meanwhile.
  HANDLE archive = CreateFileW(Widen(F->Archive).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  std::unique_ptr<void, decltype(&CloseHandle)> owner(archive == INVALID_HANDLE_VALUE ? nullptr : archive,
                                                      &CloseHandle);
  // The worker's read chunk serves all its entries.
  std::unique_ptr<unsigned char[]> in;
  try {
    in.reset(new unsigned char[kReadChunk]);
  } catch (...) {
    return;  // the extraction inflates what this worker would have
  }
  for (;;) {
    TJob* job = NextJob();
    if (!job) return;
    bool ok = false;
    try {
      ok = owner && job->Bytes.FMemory && Inflate(*job, archive, in.get());
    } catch (...) {
    }
    {
      std::lock_guard<TAheadLock> g(F->Workers.Lock);
      if (job->State == TJob::jsGivenUp || !ok) {
        job->Bytes.Clear();
        if (job->State != TJob::jsGivenUp) job->State = TJob::jsFailed;
      } else {
        job->State = TJob::jsDone;
      }
    }
    F->Workers.Wake.notify_all();
  }
}

bool TUnpackAhead::Inflate(TJob& Job, void* Archive, unsigned char* In) {
  const TEntry& e = Job.Entry;
  HANDLE h = Archive;
  LARGE_INTEGER at;
  at.QuadPart = F->Offset + e.Start;
  if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) return false;
  TBytes& bytes = Job.Bytes;
  const size_t size = static_cast<size_t>(e.Size);
  TZDecompressor z;
  int64_t left = e.End - e.Start + 1;
  size_t made = 0;
  while (!z.Ended()) {
    if (z.InputLeft() == 0) {
      if (left <= 0) return false;
      DWORD n = 0;
      if (!ReadFile(h, In, static_cast<DWORD>(std::min<int64_t>(left, kReadChunk)), &n, nullptr) || n == 0)
        return false;
      left -= n;
      z.SetInput(In, n);
      std::lock_guard<TAheadLock> g(F->Workers.Lock);
      if (F->Workers.Stop || Job.State == TJob::jsGivenUp) return false;
    }
    // One byte of room beyond the size shows an entry longer than it claims;
    // otherwise the rest of the piece that byte made lies in.
    unsigned char over;
    const size_t room = made < size ? std::min(size - made, TAheadMemory::kPiece - made % TAheadMemory::kPiece) : 0;
    size_t got = room > 0 ? z.Inflate(bytes.At(made), room) : z.Inflate(&over, 1);
    if (made == size && got > 0) return false;
    made += got;
  }
  return made == size;
}

bool TUnpackAhead::Take(int Index, const std::function<void()>& Waiting, TBytes& Bytes) {
  TJob* job = nullptr;
  {
    std::lock_guard<TAheadLock> g(F->Workers.Lock);
    const int64_t i = static_cast<int64_t>(Index) - F->First;
    if (i < static_cast<int64_t>(F->NextTake) || i >= static_cast<int64_t>(F->Jobs.size())) return false;
    // Entries skipped on the way will not be asked for any more.
    for (size_t k = F->NextTake; k < static_cast<size_t>(i); ++k) {
      TJob* skipped = F->Jobs[k].get();
      if (skipped->State == TJob::jsDone) skipped->Bytes.Clear();
      if (skipped->State != TJob::jsFailed) skipped->State = TJob::jsGivenUp;
    }
    F->NextTake = static_cast<size_t>(i) + 1;
    job = F->Jobs[static_cast<size_t>(i)].get();
    // Not started yet: the caller inflates it as soon as a worker would.
    if (job->State == TJob::jsWaiting) job->State = TJob::jsGivenUp;
    if (job->State == TJob::jsGivenUp || job->State == TJob::jsFailed) {
      F->Workers.Wake.notify_all();
      return false;
    }
  }
  F->Workers.Wake.notify_all();
  // A job left behind by a Cancel raised in Waiting is given up.
  auto giveUp = [&] {
    std::lock_guard<TAheadLock> g(F->Workers.Lock);
    if (job->State == TJob::jsDone) job->Bytes.Clear();
    if (job->State != TJob::jsFailed) job->State = TJob::jsGivenUp;
  };
  for (;;) {
    {
      std::unique_lock<TAheadLock> g(F->Workers.Lock);
      // An entry beyond the window when it was asked for is started now.
      F->Workers.Wake.wait_for(g, std::chrono::milliseconds(10),
                       [&] { return job->State == TJob::jsDone || job->State == TJob::jsFailed; });
      if (job->State == TJob::jsFailed) return false;
      if (job->State == TJob::jsDone) {
        // Its memory stays counted out until the extraction has written it.
        Bytes.Clear();
        Bytes.Swap(job->Bytes);
        job->State = TJob::jsGivenUp;
        break;
      }
    }
    if (Waiting) {
      try {
        Waiting();
      } catch (...) {
        giveUp();
        F->Workers.Wake.notify_all();
        throw;
      }
    }
  }
  F->Workers.Wake.notify_all();
  return true;
}

// ------------------------------------------------------------ the component's side

void TQlntCompress::SetUnpackAhead(int Threads) {
  FUnpackThreads = std::max(Threads, 0);
  FUnpackAhead.reset();
  // The memory is kept while there are workers, across sets and archives;
  // without workers it goes.
  if (FUnpackThreads == 0) FAheadMemory.reset();
}

bool TQlntCompress::TakeUnpacked(int Index, TAheadBytes& Bytes) {
  if (!FUnpackAhead || !FUnpackAhead->Serves(FCompressedFile, FOffset, FHeadersGeneration)) return false;
  return FUnpackAhead->Take(
      Index,
      [this] {
        CheckAbort();
        PumpMessages();
        CheckAbort();
      },
      Bytes);
}

void TQlntCompress::UnpackAfter(int Index) {
  if (FUnpackThreads <= 0 || FFileHeaders->MultiPartition()) return;
  if (FUnpackAhead && FUnpackAhead->Serves(FCompressedFile, FOffset, FHeadersGeneration) &&
      FUnpackAhead->Expects(Index + 1))
    return;
  FUnpackAhead.reset();
  constexpr int kMaxEntries = 4096;  // a longer run starts a new set
  const int end = std::min(FFileHeaders->Count(), Index + 1 + kMaxEntries);
  if (Index + 1 >= end) return;
  const int64_t size = ArchiveEnd(FArchive);
  std::vector<TUnpackAhead::TEntry> entries;
  for (int i = Index + 1; i < end; ++i) {
    const TlzhFileHeader& d = FFileHeaders->FileHeaders(i)->Data;
    entries.push_back({d.StartOffset, d.EndOffset, d.NormalSize, lzh::EntryFits(d, false, FOffset, size)});
  }
  try {
    if (!FAheadMemory) FAheadMemory = std::make_shared<TAheadMemory>();
    FUnpackAhead = std::make_unique<TUnpackAhead>(FCompressedFile, FOffset, FHeadersGeneration, Index + 1,
                                                  std::move(entries), FUnpackThreads, FAheadMemory);
  } catch (...) {
    // No threads to be had: this thread extracts every entry itself.
  }
}
