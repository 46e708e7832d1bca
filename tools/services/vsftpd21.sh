# Sourced by the harness at start: a vsftpd on 127.0.0.1:21 for the
# web-install control, which always uses the FTP port 21. Several harnesses
# may run at once on one machine, and only one of them can own port 21: the
# one that takes the lock /tmp/qnt-ftp21.lock (held by its vsftpd for as
# long as it runs) starts the server; the others start none and their tests
# that need it skip (in CI, where one harness runs, they must run).
# The lock also covers the scripted responder's sessions on 127.0.0.2:21.
# Exports for the tests:
#   QNT_FTP21_DIR   the anonymous root (the tests put their files there)
#   QNT_FTP21_LOG   the protocol log
# Needs the user and PAM service that vsftpd.sh set up (it runs first).

QNT_VSFTPD21_PID=""

qnt_vsftpd21_stop() {
  if [ -n "$QNT_VSFTPD21_PID" ]; then
    kill "$QNT_VSFTPD21_PID" 2>/dev/null || true
    qnt_reap "$QNT_VSFTPD21_PID"
    QNT_VSFTPD21_PID=""
  fi
}

qnt_vsftpd21_start() {
  local w="$top/build/ftp21" lock=/tmp/qnt-ftp21.lock
  # A harness run for other work leaves the port to the one that needs it.
  if [ -n "${QNT_SKIP_FTP21:-}" ]; then
    echo "vsftpd on port 21: QNT_SKIP_FTP21 is set, the web-install download tests will skip"
    return 0
  fi
  if [ "$(id -u)" -ne 0 ] || ! command -v vsftpd >/dev/null; then
    echo "vsftpd on port 21: not root or no vsftpd, the web-install download tests will skip"
    return 0
  fi
  # Taken by another harness (or anything else): say so and go on.
  if ! flock -n "$lock" true 2>/dev/null; then
    echo "vsftpd on port 21: another harness holds $lock, the web-install download tests will skip"
    return 0
  fi
  rm -rf "$w"
  mkdir -p "$w/empty" "$w/anon"
  chmod 755 "$w" "$w/empty"
  # The tests write their files here (as root, through Wine's Z: drive).
  chmod 755 "$w/anon"
  qnt_vsftpd_write_conf "$w" "$w/vsftpd.conf" 21 <<CONF
anonymous_enable=YES
anon_root=$w/anon
no_anon_password=YES
local_enable=NO
write_enable=NO
CONF
  # The subshell takes the lock and becomes vsftpd, which keeps it.
  ( exec 9>"$lock"; flock -n 9 || exit 75; exec vsftpd "$w/vsftpd.conf" ) </dev/null >"$w/vsftpd.out" 2>&1 &
  QNT_VSFTPD21_PID=$!
  if qnt_vsftpd_wait "$QNT_VSFTPD21_PID" 21; then
    QNT_HARNESS_HOOKS_STOP+=(qnt_vsftpd21_stop)
    export QNT_FTP21_DIR="$w/anon" QNT_FTP21_LOG="$w/vsftpd.log"
    echo "vsftpd: listening on 127.0.0.1:21"
  else
    kill "$QNT_VSFTPD21_PID" 2>/dev/null  # up, but not listening
    qnt_reap "$QNT_VSFTPD21_PID"
    QNT_VSFTPD21_PID=""
    echo "vsftpd on port 21: could not be started (port taken?), the web-install download tests will skip"
    cat "$w/vsftpd.out"
  fi
  return 0
}

qnt_vsftpd21_start
