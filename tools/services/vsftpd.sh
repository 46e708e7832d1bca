# Sourced by the harness at start: a vsftpd of our own on 127.0.0.1 for the
# FTP client's tests (anonymous and password logins, passive mode), never
# the system's service on port 21. Exports for the tests:
#   QNT_FTP_PORT            the port
#   QNT_FTP_USER/QNT_FTP_PASSWORD  a local user that may log in and upload
#   QNT_FTP_DENIED_USER     a user refused at USER
#   QNT_FTP_ANON_DIR        the anonymous root (files to download)
#   QNT_FTP_USER_DIR        the user's root, with a writable "incoming"
#   QNT_FTP_LOG             the protocol log
# The stop function is registered in QNT_HARNESS_HOOKS_STOP. Without root (PAM
# and chroot need it) nothing starts and the tests that need it skip.

QNT_VSFTPD_PID=""

# What both of our servers share: a configuration listening on 127.0.0.1 at
# port $3 with its work folder $1 (empty/, vsftpd.log), followed by the lines
# given on standard input.
qnt_vsftpd_write_conf() {
  local w="$1" conf="$2" port="$3"
  {
    printf '%s\n' listen=YES listen_ipv6=NO listen_address=127.0.0.1 "listen_port=$port" background=NO
    cat
    printf '%s\n' pasv_enable=YES pasv_address=127.0.0.1 connect_from_port_20=NO \
      "secure_chroot_dir=$w/empty" seccomp_sandbox=NO isolate=NO isolate_network=NO \
      xferlog_enable=YES xferlog_std_format=NO log_ftp_protocol=YES "vsftpd_log_file=$w/vsftpd.log" \
      delay_failed_login=0 delay_successful_login=0 data_connection_timeout=30 accept_timeout=30 \
      idle_session_timeout=300
  } >"$conf"
  : >"$w/vsftpd.log"
}

# Waits up to 5 s for the server $1 (a pid) to accept on port $2; true when it
# runs and listens.
qnt_vsftpd_wait() {
  local pid="$1" port="$2" n
  for n in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || return 1
    /usr/bin/python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.2).close()" 2>/dev/null && return 0
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null
}

qnt_vsftpd_stop() {
  if [ -n "$QNT_VSFTPD_PID" ]; then
    kill "$QNT_VSFTPD_PID" 2>/dev/null || true
    qnt_reap "$QNT_VSFTPD_PID"
    QNT_VSFTPD_PID=""
  fi
}

qnt_vsftpd_start() {
  local w="$top/build/ftp-server" user=qnttester password='Qnt-Secret1' port i n ok=""
  if [ "$(id -u)" -ne 0 ]; then
    echo "vsftpd: not root, the FTP server tests will skip"
    return 0
  fi
  command -v vsftpd >/dev/null || { echo "vsftpd: not installed, the FTP server tests will skip"; return 0; }

  # The password login: a local user without a shell, authenticated by a PAM
  # service of ours (the Debian one also wants a listed shell). vsftpd enters
  # the home before local_root, so the home is "/", the same for every
  # harness that runs at once.
  # Another harness may hold the password files' lock for a moment: retry.
  for i in $(seq 1 20); do
    id "$user" >/dev/null 2>&1 ||
      useradd --system --no-create-home --home-dir / --shell /usr/sbin/nologin "$user" 2>/dev/null
    [ "$(getent passwd "$user" | cut -d: -f6)" = / ] || usermod --home / "$user" 2>/dev/null
    [ "$(getent passwd "$user" | cut -d: -f6)" = / ] && echo "$user:$password" | chpasswd 2>/dev/null && { ok=1; break; }
    sleep 0.5
  done
  [ -n "$ok" ] || { echo "vsftpd: the test user could not be set up, the FTP server tests will skip"; return 0; }
  [ -f /etc/pam.d/qnt-vsftpd ] || printf '%s\n' \
    'auth required pam_unix.so' 'account required pam_unix.so' 'session required pam_permit.so' \
    >/etc/pam.d/qnt-vsftpd

  rm -rf "$w"
  mkdir -p "$w/empty" "$w/anon/sub" "$w/user/incoming"
  chmod 755 "$w" "$w/empty" "$w/anon" "$w/anon/sub" "$w/user"
  chown "$user" "$w/user/incoming"
  # Files of 0 bytes, one block, exactly three blocks (a block is 32,512
  # bytes), a size between blocks and several megabytes.
  : >"$w/anon/empty.bin"
  head -c 32512 /dev/urandom >"$w/anon/block1.bin"
  head -c 97536 /dev/urandom >"$w/anon/block3.bin"
  head -c 100000 /dev/urandom >"$w/anon/odd.bin"
  head -c 5242880 /dev/urandom >"$w/anon/big.bin"
  echo "hello" >"$w/anon/sub/hello.txt"
  cp "$w/anon/odd.bin" "$w/user/private.bin"
  # Copies that one test each reads, so its lines in the log are its own.
  cp "$w/anon/big.bin" "$w/anon/abort.bin"
  # Larger than the socket buffers of both ends: a server sending it blocks.
  head -c 33554432 /dev/urandom >"$w/anon/blocked.bin"
  cp "$w/anon/odd.bin" "$w/anon/quit.bin"
  chmod 644 "$w"/anon/*.bin "$w/anon/sub/hello.txt" "$w/user/private.bin"
  echo baduser >"$w/user_list"
  printf '%s\n' 'Welcome to the test server.' 'Second line of the banner.' >"$w/banner"

  for i in 1 2 3 4 5; do
    port="$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
    qnt_vsftpd_write_conf "$w" "$w/vsftpd.conf" "$port" <<CONF
anonymous_enable=YES
anon_root=$w/anon
no_anon_password=NO
local_enable=YES
local_root=$w/user
chroot_local_user=YES
write_enable=YES
local_umask=022
pam_service_name=qnt-vsftpd
userlist_enable=YES
userlist_deny=YES
userlist_file=$w/user_list
banner_file=$w/banner
port_enable=YES
CONF
    vsftpd "$w/vsftpd.conf" </dev/null >"$w/vsftpd.out" 2>&1 &
    QNT_VSFTPD_PID=$!
    if qnt_vsftpd_wait "$QNT_VSFTPD_PID" "$port"; then
      QNT_HARNESS_HOOKS_STOP+=(qnt_vsftpd_stop)
      export QNT_FTP_PORT="$port" QNT_FTP_USER="$user" QNT_FTP_PASSWORD="$password" QNT_FTP_DENIED_USER=baduser
      export QNT_FTP_ANON_DIR="$w/anon" QNT_FTP_USER_DIR="$w/user" QNT_FTP_LOG="$w/vsftpd.log"
      echo "vsftpd: listening on 127.0.0.1:$port"
      return 0
    fi
    kill "$QNT_VSFTPD_PID" 2>/dev/null  # up, but not listening
    qnt_reap "$QNT_VSFTPD_PID"
    QNT_VSFTPD_PID=""
  done
  echo "vsftpd: could not be started:"
  cat "$w/vsftpd.out"
  return 0
}

qnt_vsftpd_start
