// A Program Manager of our own for the client tests: a DDEML server on a
// thread of its own, under a service name of the test's choosing (Wine's
// explorer already owns "PROGMAN"). It logs every command, answers requests
// from scripted data and refuses the commands it is told to.
#pragma once
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FakeProgman {
public:
  // A service name of this process's own: tests run side by side.
  static std::string UniqueService();

  explicit FakeProgman(const std::string& Service);
  ~FakeProgman();
  FakeProgman(const FakeProgman&) = delete;
  FakeProgman& operator=(const FakeProgman&) = delete;

  // Data returned for a request of Item; an item without data gets none.
  void SetData(const std::string& Item, const std::string& Data);
  // The next Count requests get no data, whatever is set.
  void DropRequests(int Count);
  // Commands starting with Prefix are refused (DDE_FNOTPROCESSED).
  void Refuse(const std::string& Prefix);
  std::vector<std::string> Commands() const;
  std::vector<std::string> Requests() const;
  void ClearLog();

  // Used by the server's callback.
  struct Impl;

private:
  Impl* FImpl;
};
