// The archive component's workers that inflate entries ahead of the
// extraction.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "classlib/WinText.h"
#include "foundation/archive/cmp_TQlntCompress.h"

namespace {
constexpr size_t kReadChunk = 262144;
// One entry is held in memory whole, so only entries up to this size are
// inflated ahead; larger ones are streamed by the extraction as ever.
constexpr int32_t kMaxEntry = 16 << 20;
// What the entries inflated and not yet taken may hold together.
constexpr int64_t kBudget = 64 << 20;
}  // namespace

struct TUnpackAhead::TJob {
  enum TState { jsWaiting, jsRunning, jsDone, jsFailed, jsGivenUp };
  TEntry Entry;
  std::vector<unsigned char> Bytes;
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
  int64_t Held = 0;     // bytes of jobs running or done and not taken
  TAheadThreads Workers;
};

TUnpackAhead::TUnpackAhead(const std::string& Archive, int64_t Offset, int Generation, int First,
                           std::vector<TEntry> Entries, int Threads)
    : F(new TShared) {
  F->Archive = Archive;
  F->Offset = Offset;
  F->Generation = Generation;
  F->First = First;
  for (TEntry& e : Entries) {
    auto job = std::make_unique<TJob>();
    job->Entry = e;
    // Too large to hold, or no entry of ours: the extraction reads it.
    if (e.Size > kMaxEntry || !e.Fits) job->State = TJob::jsFailed;
    F->Jobs.push_back(std::move(job));
  }
  F->Ahead = static_cast<size_t>(Threads) * 2;
  F->Workers.Start(Threads, [this] { Work(); });
}

TUnpackAhead::~TUnpackAhead() { F->Workers.StopAll(); }

bool TUnpackAhead::Serves(const std::string& Archive, int64_t Offset, int Generation) const {
  return Archive == F->Archive && Offset == F->Offset && Generation == F->Generation;
}

bool TUnpackAhead::Expects(int Index) const {
  std::lock_guard<TAheadLock> g(F->Workers.Lock);
  return Index == F->First + static_cast<int64_t>(F->NextTake) && F->NextTake < F->Jobs.size();
}

void TUnpackAhead::Work() {
  // Each worker opens the archive once for all its entries (an open costs a
  // round trip to Wine's server), and lets others delete it meanwhile.
  HANDLE archive = CreateFileW(Widen(F->Archive).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  std::unique_ptr<void, decltype(&CloseHandle)> owner(archive == INVALID_HANDLE_VALUE ? nullptr : archive,
                                                      &CloseHandle);
  for (;;) {
    TJob* job = nullptr;
    {
      std::unique_lock<TAheadLock> g(F->Workers.Lock);
      F->Workers.Wake.wait(g, [&] {
        if (F->Workers.Stop) return true;
        const size_t end = std::min(F->Jobs.size(), F->NextTake + F->Ahead);
        for (size_t i = F->NextTake; i < end; ++i) {
          TJob* j = F->Jobs[i].get();
          if (j->State != TJob::jsWaiting) continue;
          // In order: a later entry does not pass one the budget holds back.
          if (F->Held > 0 && F->Held + j->Entry.Size > kBudget) return false;
          job = j;
          return true;
        }
        return false;
      });
      if (F->Workers.Stop) return;
      job->State = TJob::jsRunning;
      F->Held += job->Entry.Size;
    }
    bool ok = false;
    try {
      ok = owner && Inflate(*job, archive);
    } catch (...) {
    }
    {
      std::lock_guard<TAheadLock> g(F->Workers.Lock);
      if (job->State == TJob::jsGivenUp || !ok) {
        F->Held -= job->Entry.Size;
        std::vector<unsigned char>().swap(job->Bytes);
        if (job->State != TJob::jsGivenUp) job->State = TJob::jsFailed;
      } else {
        job->State = TJob::jsDone;
      }
    }
    F->Workers.Wake.notify_all();
  }
}

bool TUnpackAhead::Inflate(TJob& Job, void* Archive) {
  const TEntry& e = Job.Entry;
  HANDLE h = Archive;
  LARGE_INTEGER at;
  at.QuadPart = F->Offset + e.Start;
  if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) return false;
  Job.Bytes.resize(static_cast<size_t>(e.Size));
  std::vector<unsigned char> in(kReadChunk);
  TZDecompressor z;
  int64_t left = e.End - e.Start + 1;
  size_t made = 0;
  while (!z.Ended()) {
    if (z.InputLeft() == 0) {
      if (left <= 0) return false;
      DWORD n = 0;
      if (!ReadFile(h, in.data(), static_cast<DWORD>(std::min<int64_t>(left, kReadChunk)), &n, nullptr) || n == 0)
        return false;
      left -= n;
      z.SetInput(in.data(), n);
      std::lock_guard<TAheadLock> g(F->Workers.Lock);
      if (F->Workers.Stop || Job.State == TJob::jsGivenUp) return false;
    }
    // One byte of room beyond the size shows an entry longer than it claims.
    unsigned char over;
    size_t got = made < Job.Bytes.size() ? z.Inflate(Job.Bytes.data() + made, Job.Bytes.size() - made)
                                         : z.Inflate(&over, 1);
    if (made == Job.Bytes.size() && got > 0) return false;
    made += got;
  }
  return made == Job.Bytes.size();
}

bool TUnpackAhead::Take(int Index, const std::function<void()>& Waiting, std::vector<unsigned char>& Bytes) {
  TJob* job = nullptr;
  {
    std::lock_guard<TAheadLock> g(F->Workers.Lock);
    const int64_t i = static_cast<int64_t>(Index) - F->First;
    if (i < static_cast<int64_t>(F->NextTake) || i >= static_cast<int64_t>(F->Jobs.size())) return false;
    // Entries skipped on the way will not be asked for any more.
    for (size_t k = F->NextTake; k < static_cast<size_t>(i); ++k) {
      TJob* skipped = F->Jobs[k].get();
      if (skipped->State == TJob::jsDone) {
        F->Held -= skipped->Entry.Size;
        std::vector<unsigned char>().swap(skipped->Bytes);
      }
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
    if (job->State == TJob::jsDone) {
      F->Held -= job->Entry.Size;
      std::vector<unsigned char>().swap(job->Bytes);
    }
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
        Bytes.swap(job->Bytes);
        std::vector<unsigned char>().swap(job->Bytes);
        F->Held -= job->Entry.Size;
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
