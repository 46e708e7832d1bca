// One product, one run at a time. The setup program holds its product's lock
// from the start of its run (the run after a restart too) to its end, and
// the uninstaller from Start to its end, so that neither removes or writes
// what the other is writing or removing. The lock is a named mutex of the
// system, derived from the product's name (letter case aside, as the
// product's uninstall entry is found): a run of another product has a lock
// of its own. A process that ends, killed or not, leaves the lock free.
#pragma once
#include <functional>
#include <string>

// Which kind of run holds a product's lock.
enum TProductRun { prSetup, prUninstall };

// What a run says while another run of the product holds the lock:
// "Setup of <product> is running. Finish or cancel it, then click Retry."
// (for an uninstall, "Uninstall of <product> ...").
std::string ProductBusyMessage(const std::string& ProductName, TProductRun Holder);

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
  // held. A system that refuses to make the lock lets the run go on.
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
