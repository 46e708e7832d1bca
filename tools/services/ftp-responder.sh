# Sourced by the harness at start: the scripted FTP responder of the FTP
# client's tests (tests/foundation/ftp/ftp_responder.py) on 127.0.0.1.
# Exports QNT_FTPR_PORT, its control port; the stop function is registered in
# QNT_HARNESS_HOOKS_STOP.

QNT_FTPR_PID=""

qnt_ftpr_stop() {
  if [ -n "$QNT_FTPR_PID" ]; then
    kill "$QNT_FTPR_PID" 2>/dev/null || true
    qnt_reap "$QNT_FTPR_PID"
    QNT_FTPR_PID=""
  fi
}

qnt_ftpr_start() {
  local dir="$top/build/ftp-responder" n
  mkdir -p "$dir"
  rm -f "$dir/port"
  /usr/bin/python3 "$top/tests/foundation/ftp/ftp_responder.py" "$dir/port" </dev/null >"$dir/out.log" 2>&1 &
  QNT_FTPR_PID=$!
  for n in $(seq 1 50); do
    [ -s "$dir/port" ] && break
    kill -0 "$QNT_FTPR_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ -s "$dir/port" ]; then
    QNT_HARNESS_HOOKS_STOP+=(qnt_ftpr_stop)
    export QNT_FTPR_PORT="$(cat "$dir/port")"
    echo "ftp responder: control port $QNT_FTPR_PORT"
  else
    echo "ftp responder: could not be started:"
    cat "$dir/out.log"
    qnt_ftpr_stop
  fi
}

qnt_ftpr_start
