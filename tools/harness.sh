# Sourced: building the three configurations and the Wine/Xvfb harness.
# Everything started here is recorded and ended by qnt_harness_stop, and only that.

qnt_configure_and_build() {
  local cfg="$1" dir="$top/build/$1" args=()
  case "$cfg" in
    win64) args=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-mingw64.cmake") ;;
    # Only compiled, to keep the code 32-bit clean: no debug information,
    # which would take gigabytes of the disk for programs nobody runs.
    i686)  args=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-mingw32.cmake" -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG") ;;
    native) args=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  esac
  mkdir -p "$top/build"
  # Configured on every run (a second or two): folders that appear in the tree
  # are only picked up by a fresh configure.
  cmake -S "$top" -B "$dir" -G Ninja "${args[@]}" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; echo "configuring $cfg failed"; return 1; }
  echo "== building $cfg"
  cmake --build "$dir" -- -k 0 2>&1 | grep -vE '^\[[0-9]+/[0-9]+\] ' ; local rc=${PIPESTATUS[0]}
  [ "$rc" -eq 0 ] || { echo "building $cfg failed"; return 1; }
}

QNT_XVFB_PID=""
QNT_WINESERVER_STARTED=""

# Reaps our child $1 once it has ended, waiting at most $2 seconds (default
# 10) after it was asked to end; then it is killed. Nothing here waits for a
# child without a limit.
qnt_reap() {
  local pid="$1" n
  for n in $(seq 1 $(( ${2:-10} * 10 ))); do
    case "$(ps -o stat= -p "$pid" 2>/dev/null)" in "" | Z*) break ;; esac
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 0
}
QNT_HARNESS_HOOKS_STOP=()

qnt_harness_start() {
  export QNT_WINE_ROOT="$1"
  source "$top/tools/wine-env.sh"
  # A display of our own; several harnesses may start at once, so a number
  # counts as ours only when our server is still alive with its socket up.
  local n i
  for n in $(seq 90 160); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    QNT_XVFB_PID=$!
    for i in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$QNT_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    sleep 0.2
    kill -0 "$QNT_XVFB_PID" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ] && break
    QNT_XVFB_PID=""
  done
  [ -n "$QNT_XVFB_PID" ] || { echo "no X display could be started"; return 1; }
  export DISPLAY=":$n"
  qnt_wine_ensure_prefix "$WINEPREFIX" || return 1
  # One wineserver for the whole run: every test's wine process attaches to it
  # instead of starting (and tearing down) a server of its own.
  timeout -k 5 60 wineserver -p
  QNT_WINESERVER_STARTED=1
  # Start Wine's own services now, detached from any test's output.
  timeout -k 5 120 wine cmd /c exit >/dev/null 2>&1 </dev/null
  # Services the tests need (FTP server, ...) start from here, unless the
  # caller runs no tests (QNT_HARNESS_NO_SERVICES=1).
  [ -n "${QNT_HARNESS_NO_SERVICES:-}" ] && return 0
  local hook
  for hook in "$top"/tools/services/*.sh; do
    [ -e "$hook" ] || continue
    source "$hook"
  done
}

qnt_harness_stop() {
  local h
  for h in "${QNT_HARNESS_HOOKS_STOP[@]}"; do "$h" || true; done
  QNT_HARNESS_HOOKS_STOP=()
  if [ -n "$QNT_WINESERVER_STARTED" ]; then
    timeout -k 5 60 wineserver -k >/dev/null 2>&1 || true
    QNT_WINESERVER_STARTED=""
  fi
  if [ -n "$QNT_XVFB_PID" ]; then
    kill "$QNT_XVFB_PID" 2>/dev/null || true
    qnt_reap "$QNT_XVFB_PID"
    QNT_XVFB_PID=""
  fi
}
