#include "FtpTestSupport.h"

#include <gtest/gtest.h>

#include <winsock.h>
#include <windows.h>

#include <fstream>
#include <sstream>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"

namespace ftptest {

std::string Env(const char* Name) {
  wchar_t buf[4096];
  DWORD n = GetEnvironmentVariableW(Widen(Name).c_str(), buf, 4096);
  return n > 0 && n < 4096 ? Narrow(std::wstring(buf, n)) : std::string();
}

std::string UnixPath(const std::string& Path) { return "Z:" + StringReplaceAll(Path, "/", "\\"); }

std::string ReadWholeFile(const std::string& WindowsPath) {
  std::ifstream f(Widen(WindowsPath).c_str(), std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

std::string ReadUnixFile(const std::string& Path) { return ReadWholeFile(UnixPath(Path)); }

std::string ResponderContent(size_t Size) {
  std::string r(Size, '\0');
  for (size_t i = 0; i < Size; ++i) r[i] = static_cast<char>((i * 31 + (i >> 8)) & 0xFF);
  return r;
}

std::string StreamText(TStream* Stream) {
  int64_t pos = Stream->Position();
  std::string r(static_cast<size_t>(Stream->Size()), '\0');
  Stream->SetPosition(0);
  if (!r.empty()) Stream->ReadBuffer(r.data(), static_cast<int64_t>(r.size()));
  Stream->SetPosition(pos);
  return r;
}

uint16_t ClosedPort() {
  StartTCPIP();
  SOCKET s = socket(PF_INET, SOCK_STREAM, 0);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  int len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  closesocket(s);
  return ntohs(a.sin_port);
}

uint16_t VsftpdPort() { return static_cast<uint16_t>(StrToIntDef(Env("QNT_FTP_PORT"), 0)); }
uint16_t ResponderControlPort() { return static_cast<uint16_t>(StrToIntDef(Env("QNT_FTPR_PORT"), 0)); }

size_t VsftpdLogSize() { return ReadUnixFile(Env("QNT_FTP_LOG")).size(); }

std::vector<std::string> VsftpdLog(size_t From) {
  std::vector<std::string> lines;
  const std::string all = ReadUnixFile(Env("QNT_FTP_LOG"));
  std::stringstream s(From < all.size() ? all.substr(From) : std::string());
  std::string l;
  while (std::getline(s, l)) lines.push_back(l);
  return lines;
}

namespace {
std::string PidOf(const std::string& Line) {
  size_t a = Line.find("[pid ");
  if (a == std::string::npos) return "";
  size_t b = Line.find(']', a);
  return Line.substr(a, b - a + 1);
}
}  // namespace

std::vector<std::string> VsftpdPidsWith(const std::string& Needle, size_t From) {
  std::vector<std::string> r;
  for (const auto& l : VsftpdLog(From))
    if (l.find(Needle) != std::string::npos) r.push_back(PidOf(l));
  return r;
}

bool WaitVsftpdLine(const std::string& Pid, const std::string& Needle, size_t From, int TimeoutMs) {
  DWORD start = GetTickCount();
  do {
    for (const auto& l : VsftpdLog(From))
      if (PidOf(l) == Pid && l.find(Needle) != std::string::npos) return true;
    Sleep(100);
  } while (GetTickCount() - start < static_cast<DWORD>(TimeoutMs));
  return false;
}

Responder::Responder(const std::string& ScenarioJson) : FControl(NoSocket) {
  StartTCPIP();
  SOCKET s = socket(PF_INET, SOCK_STREAM, 0);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons(ResponderControlPort());
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    closesocket(s);
    throw Exception("cannot reach the FTP responder");
  }
  FControl = static_cast<uintptr_t>(s);
  // One line of JSON: the description may be written over several.
  std::string line = StringReplaceAll(ScenarioJson, "\n", " ") + "\n";
  send(s, line.data(), static_cast<int>(line.size()), 0);
  std::string reply;
  char c;
  while (recv(s, &c, 1, 0) == 1 && c != '\n') reply += c;
  if (reply.rfind("PORT ", 0) != 0) throw Exception("the FTP responder answered: " + reply);
  FPort = static_cast<uint16_t>(StrToInt(reply.substr(5)));
}

Responder::~Responder() {
  if (FControl != NoSocket) closesocket(static_cast<SOCKET>(FControl));
}

std::vector<std::string> Responder::ReadLog(const char* Command) {
  SOCKET s = static_cast<SOCKET>(FControl);
  std::string cmd = std::string(Command) + "\n";
  send(s, cmd.data(), static_cast<int>(cmd.size()), 0);
  std::vector<std::string> lines;
  std::string cur;
  char c;
  while (recv(s, &c, 1, 0) == 1) {
    if (c != '\n') {
      cur += c;
      continue;
    }
    if (cur == "END") break;
    lines.push_back(cur);
    cur.clear();
  }
  return lines;
}

std::vector<std::string> Responder::Log() { return ReadLog("LOG"); }
std::vector<std::string> Responder::LogWhenClosed() { return ReadLog("LOGEND"); }

int Count(const std::vector<std::string>& Lines, const std::string& Prefix) {
  int n = 0;
  for (const auto& l : Lines)
    if (l.rfind(Prefix, 0) == 0) ++n;
  return n;
}

void TEventLog::Attach(TQlntFTP& Ftp) {
  TQlntFTP* f = &Ftp;
  Ftp.SetOnDataReceived([this, f](TObject* Sender, TFTPMode Mode, int32_t Bytes) {
    EXPECT_EQ(Sender, f);
    Entries.push_back({false, Mode, Bytes, f->Busy()});
  });
  Ftp.SetOnActionComplete([this, f](TObject* Sender, TFTPMode Mode) {
    EXPECT_EQ(Sender, f);
    Entries.push_back({true, Mode, 0, f->Busy()});
  });
}

int64_t TEventLog::DataSum() const {
  int64_t n = 0;
  for (const auto& e : Entries)
    if (!e.Complete) n += e.Bytes;
  return n;
}

int TEventLog::Completions() const {
  int n = 0;
  for (const auto& e : Entries) n += e.Complete ? 1 : 0;
  return n;
}

}  // namespace ftptest
