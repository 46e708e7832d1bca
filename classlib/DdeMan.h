// The DDE client conversation over DDEML: a link to a server's service and
// topic, requests for an item's data as text, and commands. Windows only.
//
// The conversation belongs to the thread that opens it (DDEML instances are
// per thread). Every transaction is synchronous and waits at most TimeOut
// milliseconds, so a command the server refuses is seen by the caller.
// Text crosses the link in the ANSI code page (CF_TEXT), as DDE servers of
// the Program Manager kind expect it; callers give and get UTF-8.
#pragma once
#include <cstdint>
#include <string>

#include "classlib/Classes.h"

enum TDataMode { ddeAutomatic, ddeManual };

class TDdeClientConv : public TComponent {
public:
  explicit TDdeClientConv(TComponent* AOwner);
  ~TDdeClientConv() override;

  TDataMode ConnectMode() const { return FConnectMode; }
  void SetConnectMode(TDataMode Value) { FConnectMode = Value; }
  const std::string& DdeService() const { return FService; }
  const std::string& DdeTopic() const { return FTopic; }
  uint32_t TimeOut() const { return FTimeOut; }
  void SetTimeOut(uint32_t Ms) { FTimeOut = Ms; }

  // Stores service and topic (closing an open link); in automatic mode it
  // also opens the link and returns whether that worked.
  bool SetLink(const std::string& Service, const std::string& Topic);
  // Connects to the stored service and topic; true when connected.
  bool OpenLink();
  void CloseLink();
  bool Connected() const { return FConv != 0; }

  // The item's data as text (up to its first zero byte); false when there is
  // no link or the server gives no data.
  bool RequestData(const std::string& Item, std::string& Data);
  // How many requests RequestData has asked a second time, since creation.
  int RequestsAskedAgain() const { return FRequestsAskedAgain; }
  // Runs a command on the server and waits for its answer; false when there
  // is no link, the server refuses it or does not answer in time.
  bool ExecuteMacro(const std::string& Cmd);

private:
  // Delivers the thread's pending DDE messages. DDEML leaves late replies of
  // earlier transactions queued; unless they are delivered first, the next
  // transaction can be answered by them (Wine answers every request after
  // the first with the previous reply).
  void DrainDdeMessages();
  // After a transaction that failed without timing out, delivers what
  // arrives for a short while. Under load DDEML can end a wait before the
  // server has seen the transaction; the server's late reply would then
  // answer the next transaction in its place.
  void SettleAfterFailure();

  TDataMode FConnectMode = ddeAutomatic;
  std::string FService;
  std::string FTopic;
  uint32_t FTimeOut = 10000;
  int FRequestsAskedAgain = 0;
  unsigned long FInstance = 0;  // DDEML instance id
  void* FConv = nullptr;        // HCONV
};

// UTF-8 to and from the ANSI code page (characters it lacks become '?').
std::string Utf8ToAnsi(const std::string& S);
std::string AnsiToUtf8(const std::string& S);
