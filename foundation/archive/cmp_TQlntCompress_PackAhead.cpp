// The archive component's workers that deflate files ahead of the addition.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "classlib/WinText.h"
#include "foundation/archive/cmp_TQlntCompress.h"
#include "foundation/archive/cmp_TQlntCompress_Ahead.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/routines/routines_API.h"

namespace {
constexpr size_t kChunk = 65536;  // the addition's own source reads
}

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*));

void TAheadLock::lock() { AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&FLock)); }
void TAheadLock::unlock() { ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&FLock)); }
bool TAheadLock::try_lock() { return TryAcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&FLock)) != 0; }

void TAheadSignal::notify_all() { WakeAllConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(&FCondition)); }

void TAheadSignal::WaitOnce(std::unique_lock<TAheadLock>& Guard, long Milliseconds) {
  SleepConditionVariableSRW(reinterpret_cast<PCONDITION_VARIABLE>(&FCondition),
                            reinterpret_cast<PSRWLOCK>(&Guard.mutex()->FLock),
                            Milliseconds < 0 ? INFINITE : static_cast<DWORD>(Milliseconds), 0);
}

void TAheadThreads::Start(int Count, const std::function<void()>& Work) {
  try {
    for (int i = 0; i < Count; ++i) FThreads.emplace_back(Work);
  } catch (...) {
    StopAll();
    throw;
  }
}

void TAheadThreads::StopAll() {
  {
    std::lock_guard<TAheadLock> g(Lock);
    Stop = true;
  }
  Wake.notify_all();
  for (std::thread& t : FThreads)
    if (t.joinable()) t.join();
}

struct TPackAhead::TJob {
  enum TState { jsWaiting, jsRunning, jsDone, jsFailed, jsGivenUp };
  std::string Source;
  std::string TempFile;
  HANDLE Temp = INVALID_HANDLE_VALUE;  // open until taken
  std::atomic<int64_t> Read{0};
  int64_t Packed = 0;
  TState State = jsWaiting;
  bool Taken = false;
};

struct TPackAhead::TShared {
  std::vector<std::unique_ptr<TJob>> Jobs;
  size_t NextTake = 0;  // jobs before it were taken or given up
  size_t Ahead = 0;     // how many jobs may be packed beyond NextTake
  int Level = 0;
  TAheadThreads Workers;
};

TPackAhead::TPackAhead(std::vector<std::string> Sources, int Level, int Threads) : F(new TShared) {
  for (std::string& s : Sources) {
    auto job = std::make_unique<TJob>();
    job->Source = std::move(s);
    F->Jobs.push_back(std::move(job));
  }
  F->Level = Level;
  F->Ahead = static_cast<size_t>(Threads) * 2;
  F->Workers.Start(Threads, [this] { Work(); });
}

TPackAhead::~TPackAhead() {
  F->Workers.StopAll();
  for (auto& job : F->Jobs) {
    if (job->Temp != INVALID_HANDLE_VALUE) CloseHandle(job->Temp);
    if (!job->Taken && !job->TempFile.empty()) DeleteFileW(Widen(job->TempFile).c_str());
  }
}

void TPackAhead::Work() {
  for (;;) {
    TJob* job = nullptr;
    {
      std::unique_lock<TAheadLock> g(F->Workers.Lock);
      F->Workers.Wake.wait(g, [&] {
        if (F->Workers.Stop) return true;
        const size_t end = std::min(F->Jobs.size(), F->NextTake + F->Ahead);
        for (size_t i = F->NextTake; i < end; ++i)
          if (F->Jobs[i]->State == TJob::jsWaiting) {
            job = F->Jobs[i].get();
            return true;
          }
        return false;
      });
      if (F->Workers.Stop) return;
      job->State = TJob::jsRunning;
    }
    bool ok = true;
    try {
      Pack(*job, F->Level);
    } catch (...) {
      ok = false;
    }
    {
      std::lock_guard<TAheadLock> g(F->Workers.Lock);
      job->State = ok ? TJob::jsDone : TJob::jsFailed;
    }
    F->Workers.Wake.notify_all();
  }
}

void TPackAhead::Pack(TJob& Job, int Level) {
  HANDLE src = CreateFileW(Widen(Job.Source).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (src == INVALID_HANDLE_VALUE) throw EQlntCompress("Cannot open the file %s", {Job.Source});
  std::unique_ptr<void, decltype(&CloseHandle)> srcOwner(src, &CloseHandle);
  Job.TempFile = MakeTempFileName(true);
  HANDLE dst = CreatePackTemp(Job.TempFile);
  if (dst == INVALID_HANDLE_VALUE) throw EQlntCompress("Cannot create the file %s", {Job.TempFile});
  std::unique_ptr<void, decltype(&CloseHandle)> dstOwner(dst, &CloseHandle);
  TQlntNormalHandleStream out(reinterpret_cast<THandle>(dst));
  TCountingStream counting(&out, &Job.Packed);
  TZCompressor c(&counting, Level);
  c.OnShortWrite = [] { throw EycDiskFull("The disk is full"); };
  std::vector<unsigned char> buf(kChunk);
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(src, buf.data(), static_cast<DWORD>(buf.size()), &n, nullptr))
      throw EQlntCompress("Cannot open the file %s", {Job.Source});
    if (n == 0) break;
    c.Write(buf.data(), n);
    Job.Read += n;
  }
  c.Finish();
  Job.Temp = dstOwner.release();
}

void* CreatePackTemp(const std::string& Name) {
  return CreateFileW(Widen(Name).c_str(), GENERIC_READ | GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

bool TPackAhead::Take(const std::string& Source, int Level, const std::function<void(int64_t)>& Waiting,
                      TResult& Result) {
  TJob* job = nullptr;
  {
    std::lock_guard<TAheadLock> g(F->Workers.Lock);
    if (Level != F->Level) return false;
    size_t i = F->NextTake;
    while (i < F->Jobs.size() && F->Jobs[i]->Source != Source) ++i;
    if (i == F->Jobs.size()) return false;
    // Files skipped on the way will not be asked for any more.
    for (size_t k = F->NextTake; k < i; ++k)
      if (F->Jobs[k]->State == TJob::jsWaiting) F->Jobs[k]->State = TJob::jsGivenUp;
    F->NextTake = i + 1;
    job = F->Jobs[i].get();
  }
  F->Workers.Wake.notify_all();
  for (;;) {
    {
      std::unique_lock<TAheadLock> g(F->Workers.Lock);
      // A job beyond the window when it was asked for is started now.
      F->Workers.Wake.wait_for(g, std::chrono::milliseconds(50),
                       [&] { return job->State == TJob::jsDone || job->State == TJob::jsFailed; });
      if (job->State == TJob::jsFailed) return false;
      if (job->State == TJob::jsDone) {
        job->Taken = true;
        Result.TempFile = job->TempFile;
        Result.TempHandle = job->Temp;
        job->Temp = INVALID_HANDLE_VALUE;
        Result.SourceBytes = job->Read;
        Result.PackedBytes = job->Packed;
        return true;
      }
    }
    if (Waiting) Waiting(job->Read);
  }
}

void TQlntCompress::SetPackAhead(const std::vector<std::string>& Sources, int Threads) {
  FPackAhead.reset();
  if (Sources.empty() || Threads < 2) return;
  try {
    FPackAhead = std::make_unique<TPackAhead>(Sources, ZlibLevel(FCompressionLevel), Threads);
  } catch (...) {
    // No threads to be had: the addition packs every file itself.
  }
}
