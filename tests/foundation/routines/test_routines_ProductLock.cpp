// The product's lock as another holder left it: made by an older run or by
// another user's, with an access list that is not ours.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <thread>

#include "classlib/WinText.h"
#include "foundation/routines/routines_ProductLock.h"

namespace {

const std::string Product = "Qnt Lock Test";

std::wstring MachineName() { return L"Global\\" + Widen(ProductLockName(Product)); }

// Holds the product's mutex, made with the access list Sddl, on a thread of
// its own until it is let go; without an access list, an event takes the
// lock's name.
class THolder {
public:
  explicit THolder(const wchar_t* Sddl) {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    FStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    FThread = std::thread([this, Sddl, ready] {
      SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, FALSE};
      if (Sddl)
        ConvertStringSecurityDescriptorToSecurityDescriptorW(Sddl, SDDL_REVISION_1, &sa.lpSecurityDescriptor, nullptr);
      HANDLE m = Sddl ? CreateMutexW(&sa, TRUE, MachineName().c_str())
                      : CreateEventW(nullptr, TRUE, FALSE, MachineName().c_str());
      if (sa.lpSecurityDescriptor) LocalFree(sa.lpSecurityDescriptor);
      SetEvent(ready);
      WaitForSingleObject(FStop, INFINITE);
      ReleaseMutex(m);
      CloseHandle(m);
    });
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
  }
  ~THolder() {
    LetGo();
    CloseHandle(FStop);
  }
  void LetGo() {
    SetEvent(FStop);
    if (FThread.joinable()) FThread.join();
  }

private:
  HANDLE FStop;
  std::thread FThread;
};

// Whether the access list of the product's mutex lets everyone wait on it
// and release it.
bool EveryoneMayWait() {
  HANDLE m = OpenMutexW(READ_CONTROL, FALSE, MachineName().c_str());
  if (!m) return false;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  bool may = false;
  const DWORD got =
      GetSecurityInfo(m, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr, &sd);
  if (got == ERROR_SUCCESS && dacl) {
    BYTE world[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof world;
    CreateWellKnownSid(WinWorldSid, nullptr, world, &size);
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
      ACCESS_ALLOWED_ACE* ace = nullptr;
      if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
      const DWORD wanted = SYNCHRONIZE | MUTEX_MODIFY_STATE;
      if (EqualSid(&ace->SidStart, world) && (ace->Mask & wanted) == wanted) may = true;
    }
  }
  if (sd) LocalFree(sd);
  CloseHandle(m);
  return may;
}

}  // namespace

TEST(ProductLock, AnotherHoldersLockIsBusyOrStopsTheRunWithItsReason) {
  struct Row {
    const char* Name;
    const wchar_t* Sddl;
    bool Busy;  // else no lock can be had, for the reason Code
    const char* Code;
  } rows[] = {
      // As an elevated run's lock meets a plain user's: waiting only.
      {"wait only", L"D:(A;;0x00100000;;;WD)", true, ""},
      {"the name taken", nullptr, false, "(another object of the system has taken its name, error 6)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    THolder holder(row.Sddl);
    TProductLock lock(Product, prSetup);
    std::vector<std::string> asked;
    if (row.Busy) {
      // Busy while held; once the holder lets go, this run takes it.
      EXPECT_TRUE(lock.Take([&](const std::string& Text) {
        asked.push_back(Text);
        holder.LetGo();
        return true;
      }));
      EXPECT_EQ(asked, std::vector<std::string>{ProductBusyMessage(Product, prSetup)});
      EXPECT_TRUE(lock.Held());
    } else {
      try {
        lock.Take([&](const std::string& Text) {
          asked.push_back(Text);
          return false;
        });
        ADD_FAILURE() << "taken without a lock";
      } catch (const EProductLockUnavailable& E) {
        EXPECT_EQ(E.Message.rfind("Setup of " + Product + " cannot start", 0), 0u) << E.Message;
        EXPECT_NE(E.Message.find(row.Code), std::string::npos) << E.Message;
      }
      EXPECT_TRUE(asked.empty());
      EXPECT_FALSE(lock.Held());
    }
  }
  // The lock this system makes lets every user's run wait on it.
  TProductLock ours(Product, prUninstall);
  ASSERT_TRUE(ours.Take(nullptr));
  EXPECT_TRUE(EveryoneMayWait());
}
