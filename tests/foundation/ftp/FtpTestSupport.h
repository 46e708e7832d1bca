// What the FTP tests share: the servers the harness started (vsftpd and the
// scripted responder), files by their Unix paths, and the client's events.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/ftp/cmp_TQlntFTP.h"

namespace ftptest {

// An environment variable of the harness ("" when unset).
std::string Env(const char* Name);
// A Unix path as Wine's Z: drive shows it.
std::string UnixPath(const std::string& Path);
std::string ReadUnixFile(const std::string& Path);
std::string ReadWholeFile(const std::string& WindowsPath);
// Byte i of a responder file: (i * 31 + (i >> 8)) & 0xFF.
std::string ResponderContent(size_t Size);
std::string StreamText(TStream* Stream);

// A loopback port that nothing listens on.
uint16_t ClosedPort();

uint16_t VsftpdPort();  // 0 when the harness has none
uint16_t ResponderControlPort();

// Without the server the test skips; in CI, where the harness must have
// started it, that is a failure.
#define QNT_NEED_SERVER(Port, What)                                                  \
  if ((Port) == 0) {                                                                \
    if (::ftptest::Env("CI") == "true") GTEST_FAIL() << "the harness started no " What; \
    GTEST_SKIP() << "the harness started no " What;                                 \
  }
#define QNT_NEED_VSFTPD() QNT_NEED_SERVER(::ftptest::VsftpdPort(), "vsftpd (QNT_FTP_PORT)")
#define QNT_NEED_RESPONDER() QNT_NEED_SERVER(::ftptest::ResponderControlPort(), "FTP responder (QNT_FTPR_PORT)")

// The vsftpd log outlives one test, and a process id of an earlier session
// may come again: a test reads only what the log gained since it began, from
// the size the log had then.
size_t VsftpdLogSize();
// Lines of the vsftpd log from byte From on.
std::vector<std::string> VsftpdLog(size_t From);
// The vsftpd process ids whose log lines from From on mention Needle.
std::vector<std::string> VsftpdPidsWith(const std::string& Needle, size_t From);
// Waits (at most TimeoutMs) for a log line of that process from From on that
// contains Needle.
bool WaitVsftpdLine(const std::string& Pid, const std::string& Needle, size_t From, int TimeoutMs = 10000);

// One scenario of the responder: the JSON description goes out on the
// control connection, the FTP port comes back; the transcript is read there.
class Responder {
public:
  explicit Responder(const std::string& ScenarioJson);
  ~Responder();
  Responder(const Responder&) = delete;
  Responder& operator=(const Responder&) = delete;
  uint16_t Port() const { return FPort; }
  // Every command received so far, with CONNECT and CLOSED around sessions.
  std::vector<std::string> Log();
  // The same once no session is open any more (waits at most 15 s).
  std::vector<std::string> LogWhenClosed();

private:
  std::vector<std::string> ReadLog(const char* Command);
  uintptr_t FControl;
  uint16_t FPort = 0;
  std::string FPending;
};

int Count(const std::vector<std::string>& Lines, const std::string& Prefix);

// The client's events in the order they came.
struct TEventLog {
  struct Entry {
    bool Complete;  // OnActionComplete, else OnDataReceived
    TFTPMode Mode;
    int32_t Bytes;
    bool Busy;
  };
  std::vector<Entry> Entries;
  void Attach(TQlntFTP& Ftp);
  int64_t DataSum() const;
  int Completions() const;
};

}  // namespace ftptest
