// One product, one run at a time. The setup program holds its product's lock
// from the start of its run (the run after a restart too) to its end, and
// the uninstaller from Start to its end, so that neither removes or writes
// what the other is writing or removing. The lock is a named mutex of the
// system, derived from the product's name (letter case aside, as the
// product's uninstall entry is found): a run of another product has a lock
// of its own. A process that ends, killed or not, leaves the lock free.
// Every user's run can wait on the lock, whoever made it: a run of an
// administrator and one of a plain user exclude each other too.
#pragma once
#include <functional>
#include <string>

#include "classlib/SysUtils.h"

// Which kind of run holds a product's lock.
enum TProductRun { prSetup, prUninstall };

// What a run says while another run of the product holds the lock:
// "Setup of <product> is running. Finish or cancel it, then click Retry."
// (for an uninstall, "Uninstall of <product> ...").
std::string ProductBusyMessage(const std::string& ProductName, TProductRun Holder);

// The lock's name in the machine's namespace ("Global\" and this).
std::string ProductLockName(const std::string& ProductName);

// No lock can be had (the system refuses to make it and to open it, or the
// name is taken by another kind of object): the run must not go on
// unguarded. Its message names the run, the product and the system's reason.
class EProductLockUnavailable : public Exception {
public:
  using Exception::Exception;
};

class TProductLock {
public:
  TProductLock(const std::string& ProductName, TProductRun Run);
  // Lets the lock go when held.
  ~TProductLock();
  TProductLock(const TProductLock&) = delete;
  TProductLock& operator=(const TProductLock&) = delete;

  // Takes the lock. While another run of the product holds it, asks
  // Retry with the message that names that run, and tries again while the
  // answer is true; false when it is false (a Cancel): the lock is then not
  // held. Raises EProductLockUnavailable when no lock can be had.
  // Call it and Release from one thread: the system ties the lock to it.
  bool Take(const std::function<bool(const std::string& Text)>& Retry);
  bool Held() const { return FHeld; }
  void Release();

private:
  std::string FProductName;
  TProductRun FRun;
  bool FHeld = false;
  void* FMutex = nullptr;
  void* FUninstalling = nullptr;  // while an uninstall holds the lock: tells the others
};
