// WinSock for the process, and host names to IPv4 addresses.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "foundation/ftp/ftpReply.h"  // posn

// The address value that means no address.
constexpr uint32_t INVALID_IPAddress = 0xFFFFFFFFu;

// True once WinSock has been started (it is started on first use, once per
// process, and cleaned up when the units finish).
extern std::atomic<bool> tcpip_ready;

// Starts WinSock 1.1 if that has not happened yet; returns tcpip_ready.
bool StartTCPIP();

// The IPv4 address (network byte order) of a dotted address or host name;
// INVALID_IPAddress when the name is blank or cannot be resolved.
uint32_t LookupHostname(const std::string& HostName);
// The address of the local computer by its host name; 127.0.0.1 when the
// name cannot be resolved.
uint32_t MyIPAddress();
