// The process's own counters as the benchmark prints them beside a time:
// its page faults (GetProcessMemoryInfo) and its user and system times
// (GetProcessTimes), so a run where the workers do not pay shows whether
// fresh memory or the system's work is where it went. Wine (8.0) leaves the
// fault count at 0; its process is then a Linux process, whose minor faults
// stand in its /proc/<pid>/stat. Wine opens files in its server, so
// /proc/self would be the server: the process is found instead by the
// variable QNT_BENCH_MARK, which the benchmark's script sets to a value of
// its own, in the process's environment, and by the program's file name as
// the process's name (the loader before the setup program, and the shell's
// time command, have the variable too).
#pragma once
#include <windows.h>
#include <psapi.h>

#include <cctype>
#include <cstdio>
#include <string>

struct TProcessCounters {
  unsigned long long Faults = 0;
  double User = 0, System = 0;  // seconds

  static TProcessCounters Now() {
    TProcessCounters c;
    PROCESS_MEMORY_COUNTERS m{};
    m.cb = sizeof m;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m)) c.Faults = m.PageFaultCount;
    if (c.Faults == 0) c.Faults = HostFaults();
    FILETIME created, ended, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) {
      c.User = Seconds(user);
      c.System = Seconds(kernel);
    }
    return c;
  }
  TProcessCounters Since(const TProcessCounters& Start) const {
    TProcessCounters d;
    d.Faults = Faults - Start.Faults;
    d.User = User - Start.User;
    d.System = System - Start.System;
    return d;
  }
  // "faults N user U system S", the words the benchmark's script reads.
  std::string Text() const {
    char buf[96];
    std::snprintf(buf, sizeof buf, "faults %llu user %.3f system %.3f", Faults, User, System);
    return buf;
  }

private:
  static std::string ReadHost(const std::string& Path) {
    HANDLE h = CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string text;
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) text.append(buf, n);
    CloseHandle(h);
    return text;
  }
  static std::string Lower(std::string S) {
    for (char& c : S) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return S;
  }
  // "Z:\proc\<pid>\" of this process, once; empty when not found.
  static const std::string& HostFolder() {
    static const std::string folder = [] {
      char mark[256];
      const DWORD m = GetEnvironmentVariableA("QNT_BENCH_MARK", mark, sizeof mark);
      char module[MAX_PATH];
      const DWORD l = GetModuleFileNameA(nullptr, module, MAX_PATH);
      if (m == 0 || m >= sizeof mark || l == 0 || l >= MAX_PATH) return std::string();
      std::string name = module;
      name = Lower(name.substr(name.find_last_of("\\/") + 1));
      const std::string want = std::string("QNT_BENCH_MARK=") + mark + '\0';
      WIN32_FIND_DATAA f;
      HANDLE find = FindFirstFileA("Z:\\proc\\*", &f);
      if (find == INVALID_HANDLE_VALUE) return std::string();
      std::string found;
      do {
        if (!std::isdigit(static_cast<unsigned char>(f.cFileName[0]))) continue;
        const std::string dir = std::string("Z:\\proc\\") + f.cFileName + "\\";
        if (ReadHost(dir + "environ").find(want) == std::string::npos) continue;
        // The name Wine gives its process, cut to 15 characters.
        const std::string stat = ReadHost(dir + "stat");
        const size_t open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close <= open) continue;
        if (Lower(stat.substr(open + 1, close - open - 1)) != name.substr(0, 15)) continue;
        found = dir;
        break;
      } while (FindNextFileA(find, &f));
      FindClose(find);
      return found;
    }();
    return folder;
  }
  // Field 10 of the stat file (minor faults), counted after the program's
  // name, which is in parentheses and may hold blanks; 0 when not found.
  static unsigned long long HostFaults() {
    if (HostFolder().empty()) return 0;
    const std::string stat = ReadHost(HostFolder() + "stat");
    const size_t p = stat.rfind(')');
    if (p == std::string::npos) return 0;
    // After ")": state, ppid, pgrp, session, tty, tpgid, flags, minflt.
    long long field[7] = {};
    char state = 0;
    if (std::sscanf(stat.c_str() + p + 1, " %c %lld %lld %lld %lld %lld %lld %lld", &state, &field[0], &field[1],
                    &field[2], &field[3], &field[4], &field[5], &field[6]) != 8)
      return 0;
    return static_cast<unsigned long long>(field[6]);
  }
  static double Seconds(const FILETIME& T) {
    return static_cast<double>((static_cast<unsigned long long>(T.dwHighDateTime) << 32) | T.dwLowDateTime) / 1e7;
  }
};
