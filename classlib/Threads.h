// Threads of the class library: TThread with calls handed to the thread that
// created it (its user-interface thread), and a message pump for any thread.
//
// Synchronize and the termination handler reach the creating thread through a
// hidden window of that thread and a sent message, so they run whenever that
// thread retrieves messages: in our own message loop, in a host's loop (a
// browser that holds a control of ours), in a modal box, or while it waits in
// WaitFor. The creating thread must therefore pump messages while a thread it
// created synchronises.
#pragma once
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>

#include "classlib/Classes.h"

class EThread : public Exception {
public:
  using Exception::Exception;
};

class TThread : public TObject {
public:
  // Suspended: the thread waits for Start (Resume) before Execute runs, so
  // that OnTerminate and the fields can be set first.
  explicit TThread(bool CreateSuspended);
  // A thread that was started and has not finished is asked to terminate
  // and waited for (see WaitFor).
  ~TThread() override;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts a thread made suspended; a second call does nothing.
  void Start();
  void Resume() { Start(); }
  // Sets Terminated; Execute is expected to look at it.
  void Terminate() { FTerminated = true; }
  // Waits for the end of Execute and of the termination handler, handling
  // the calls that the thread sends meanwhile; the thread's ReturnValue.
  int WaitFor();

  bool Terminated() const { return FTerminated; }
  bool Finished() const { return FFinished; }
  bool Suspended() const { return !FStarted; }
  uint32_t ThreadID() const { return FThreadID; }
  // What Execute raised (and nothing caught), empty otherwise.
  std::exception_ptr FatalException() const { return FFatalException; }
  // The message of FatalException ("" when none).
  std::string FatalMessage() const;

  // Freed by the thread itself after the termination handler has run.
  bool FreeOnTerminate = false;
  int ReturnValue = 0;
  // Runs on the creating thread after Execute ended (also after it raised).
  TNotifyEvent OnTerminate;

  // The identifier of the calling thread.
  static uint32_t CurrentThreadID();

protected:
  virtual void Execute() = 0;
  // Runs Method on the creating thread and waits for it; an exception of
  // Method is raised again here, on the calling thread. Called on the
  // creating thread itself, it runs Method at once.
  void Synchronize(const std::function<void()>& Method);
  // Calls OnTerminate (through Synchronize).
  virtual void DoTerminate();

private:
  static unsigned long __stdcall ThreadProc(void* Self);
  void* FHandle = nullptr;
  uint32_t FThreadID = 0;
  uint32_t FCreatorID = 0;
  void* FSyncWindow = nullptr;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  bool FStarted = false;
  std::exception_ptr FFatalException;
};

// Runs Method on the thread that owns the hidden synchronisation window
// Window (see SyncWindowOfCurrentThread) and waits for it; rethrows what it
// raised. For code that is no TThread but must reach that thread.
void SynchronizeWith(void* Window, const std::function<void()>& Method);
// The calling thread's hidden synchronisation window (made on first use).
void* SyncWindowOfCurrentThread();

// Handles the calling thread's pending window messages, and only that
// thread's: on a worker thread it never touches another thread's queue or
// windows. A quit request is left in the queue for the thread's own loop.
void ProcessThreadMessages();

// The one message pump of a long operation (extracting, downloading) that
// lets pending messages run between its blocks: the pump installed for the
// calling thread (the forms library installs Application->ProcessMessages on
// its thread: dialog keys work and an exception of a handler goes to the
// application), else ProcessThreadMessages (the loader, worker threads,
// programs without forms).
void ProcessPendingMessages();
using TMessagePump = void (*)();
// Installs Pump for the calling thread; nullptr removes it.
void SetMessagePump(TMessagePump Pump);
