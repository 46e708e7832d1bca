#include "foundation/ftp/cmp_TQlntTCPIP.h"

#include <winsock.h>

#include <mutex>

#include "classlib/SysUtils.h"
#include "classlib/Units.h"

std::atomic<bool> tcpip_ready{false};

namespace {
std::once_flag startOnce;

// WinSock is started lazily, never from a library's attach routine, and only
// a successful start counts.
void DoStart() {
  WSADATA data;
  if (WSAStartup(0x0101, &data) == 0) tcpip_ready = true;
}

// At the end of the program, after every unit that keeps sockets has closed
// them.
void ShutDown() {
  if (tcpip_ready.exchange(false)) WSACleanup();
}

TUnitRegistration reg(ulFoundation, "cmp_TQlntTCPIP", nullptr, ShutDown);
}  // namespace

bool StartTCPIP() {
  std::call_once(startOnce, DoStart);
  return tcpip_ready;
}

uint32_t LookupHostname(const std::string& HostName) {
  // The trimmed name serves both lookups: a padded dotted address is still
  // an address.
  std::string name = Trim(HostName);
  if (name.empty()) return INVALID_IPAddress;
  StartTCPIP();
  unsigned long a = inet_addr(name.c_str());
  if (a != INADDR_NONE) return static_cast<uint32_t>(a);
  hostent* h = gethostbyname(name.c_str());
  if (h && h->h_length > 0 && h->h_addr_list && h->h_addr_list[0] && h->h_length >= 4) {
    uint32_t r;
    memcpy(&r, h->h_addr_list[0], 4);
    return r;
  }
  return INVALID_IPAddress;
}

uint32_t MyIPAddress() {
  StartTCPIP();
  char name[256] = {};
  if (gethostname(name, 255) == 0) {
    hostent* h = gethostbyname(name);
    if (h && h->h_length >= 4 && h->h_addr_list && h->h_addr_list[0]) {
      uint32_t r;
      memcpy(&r, h->h_addr_list[0], 4);
      return r;
    }
  }
  return htonl(INADDR_LOOPBACK);
}
