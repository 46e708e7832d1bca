#!/usr/bin/env python3
"""A scripted FTP server for the client's tests: it does on demand what a real
server will not (refusals, odd replies, dropped or stalled transfers).

A test connects to the control port and sends one JSON line describing the
scenario; the responder answers "PORT <n>" and serves FTP sessions on that
port (127.0.0.1 only) until the test closes the control connection. On the
control connection "LOG" returns the transcript so far and "LOGEND" waits
(at most 15 s) until no session is open; both end with a line "END".

Scenario keys (all optional):
  greeting      list of lines sent on connect (default "220 Responder ready.")
  replies       {VERB: reply}: replaces the reply to a command; "\\r\\n" in the
                reply separates lines; "" sends nothing (a stall). A replaced
                RETR, LIST or STOR transfers nothing.
  files         {name: size}: files that SIZE, RETR and LIST know; byte i of
                a file is (i * 31 + (i >> 8)) & 0xFF
  drop_after    n: after n bytes of a RETR, both connections close
  stall_data    true: a RETR sends its preliminary reply, then nothing
  short_by      n: a RETR sends n bytes fewer than the size, then 226
  hold_after    n: a RETR sends n bytes, then waits for a command (ABOR)
  abor          reply to ABOR during a transfer (default 426, then 226)
  idle_timeout  s: after s seconds without a command, "421 Timeout." and close
  chunk         bytes per send of a RETR (default 8192)
  listen        "host:port" to serve the sessions on instead of a free port
                of 127.0.0.1 (for a client with a fixed port); "PORT 0"
                when it cannot be bound
  block_send    true: a RETR sends all in one blocking call, reading no
                command meanwhile (426 when the client breaks it off)
  list_bytes    n: a LIST sends one line of n bytes instead of the files
  pasv_host     the address a PASV reply names instead of the session's
                own; data connections are taken on both, at the same port,
                and each is logged as "DATA <address it reached>"

Passive data connections are taken on the address the session's control
connection came in on.
"""
import json
import select
import socket
import socketserver
import sys
import threading
import time


def content(size):
    # Byte 256 * h + j is (31 * j + h) & 0xFF: 256 blocks repeat.
    blocks = [bytes(((31 * j + h) & 0xFF) for j in range(256)) for h in range(256)]
    whole = b"".join(blocks)
    n = (size + len(whole) - 1) // len(whole)
    return (whole * n)[:size]


class Session:
    def __init__(self, conn, sc, log):
        self.c = conn
        self.sc = sc
        self.log = log
        self.buf = b""
        self.pasv = None
        self.data = None
        self.cache = {}

    def send(self, text):
        if text == "":
            return
        for line in text.split("\r\n"):
            self.c.sendall(line.encode("latin-1") + b"\r\n")

    def readline(self, timeout):
        end = time.time() + timeout
        while b"\n" not in self.buf:
            left = end - time.time()
            if left <= 0:
                return None
            r, _, _ = select.select([self.c], [], [], left)
            if not r:
                return None
            chunk = self.c.recv(4096)
            if not chunk:
                return ""
            self.buf += chunk
        line, self.buf = self.buf.split(b"\n", 1)
        return line.rstrip(b"\r").decode("latin-1")

    def file(self, name):
        name = name.lstrip("/").split("/")[-1]
        files = self.sc.get("files", {})
        if name not in files:
            return None
        if name not in self.cache:
            self.cache[name] = content(int(files[name]))
        return self.cache[name]

    def close_pasv(self):
        for s in self.pasv or []:
            s.close()
        self.pasv = None

    def listen_pasv(self):
        # The session's own address, and the one the reply names (a port
        # free on both).
        own = self.c.getsockname()[0]
        named = self.sc.get("pasv_host", own)
        for _ in range(20):
            first = socket.socket()
            first.bind((own, 0))
            first.listen(1)
            socks = [first]
            port = first.getsockname()[1]
            if named == own:
                return socks, named, port
            other = socket.socket()
            try:
                other.bind((named, port))
            except OSError:
                other.close()
                first.close()
                continue
            other.listen(1)
            return socks + [other], named, port
        raise OSError("no port free on %s and %s" % (own, named))

    def open_data(self):
        if self.pasv is None:
            return None
        r, _, _ = select.select(self.pasv, [], [], 10)
        d = None
        if r:
            try:
                d, _ = r[0].accept()
                if "pasv_host" in self.sc:
                    self.log.append("DATA %s" % d.getsockname()[0])
            except OSError:
                d = None
        self.close_pasv()
        return d

    def retr(self, arg):
        data = self.file(arg)
        if data is None:
            self.send("550 Failed to open file.")
            return True
        self.send("150 Opening BINARY mode data connection.")
        d = self.open_data()
        if d is None:
            self.send("425 Failed to establish connection.")
            return True
        if self.sc.get("stall_data"):
            # Nothing more until the client gives up on us.
            end = time.time() + 60
            while time.time() < end:
                r, _, _ = select.select([self.c, d], [], [], 0.5)
                if self.c in r:
                    line = self.readline(1)
                    if not line:
                        d.close()
                        return False
                    self.log.append(line)
                if d in r and not d.recv(4096):
                    break
            d.close()
            return True
        if self.sc.get("block_send"):
            # A server that only sends: blocked in sending, it reads no
            # command until the client stops taking the data.
            try:
                d.settimeout(60)
                d.sendall(data)
            except OSError:
                d.close()
                self.send("426 Failure writing network stream.")
                return True
            d.close()
            self.send("226 Transfer complete.")
            return True
        limit = len(data) - int(self.sc.get("short_by", 0))
        drop = self.sc.get("drop_after")
        if drop is not None:
            limit = min(limit, int(drop))
        chunk = int(self.sc.get("chunk", 8192))
        hold = self.sc.get("hold_after")
        pos = 0
        while pos < limit:
            held = hold is not None and pos >= int(hold)
            r, w, _ = select.select([self.c], [] if held else [d], [], 30)
            if self.c in r:
                line = self.readline(1)
                if not line:
                    d.close()
                    return False
                self.log.append(line)
                if line.upper().startswith("ABOR"):
                    d.close()
                    self.send(self.sc.get("abor", "426 Transfer aborted.\r\n226 Abort successful."))
                    return True
                if line.upper().startswith("QUIT"):
                    d.close()
                    self.send("221 Goodbye.")
                    return False
                continue
            if not w:
                d.close()
                return True
            try:
                pos += d.send(data[pos:min(limit, pos + chunk)])
            except OSError:
                d.close()
                self.send("426 Failure writing network stream.")
                return True
        if drop is not None:
            d.close()
            return False  # both connections go
        try:
            d.shutdown(socket.SHUT_WR)
        except OSError:
            pass
        d.close()
        self.send("226 Transfer complete.")
        return True

    def run(self):
        sc = self.sc
        self.send("\r\n".join(sc.get("greeting", ["220 Responder ready."])))
        replies = sc.get("replies", {})
        idle = float(sc.get("idle_timeout", 60))
        while True:
            line = self.readline(idle)
            if line is None:
                if "idle_timeout" in sc:
                    self.send("421 Timeout.")
                return
            if line == "":
                return
            self.log.append(line)
            verb, _, arg = line.partition(" ")
            verb = verb.upper()
            if verb in replies:
                self.send(replies[verb])
                if verb == "QUIT":
                    return
                continue
            if verb == "USER":
                self.send("331 Please specify the password.")
            elif verb == "PASS":
                self.send("230 Login successful.")
            elif verb == "TYPE":
                self.send("200 Switching mode.")
            elif verb == "SIZE":
                data = self.file(arg)
                self.send("550 Could not get file size." if data is None else "213 %d" % len(data))
            elif verb == "PASV":
                self.close_pasv()
                self.pasv, named, p = self.listen_pasv()
                self.send("227 Entering Passive Mode (%s,%d,%d)." % (named.replace(".", ","), p >> 8, p & 0xFF))
            elif verb == "RETR":
                if not self.retr(arg):
                    return
            elif verb == "LIST":
                self.send("150 Here comes the directory listing.")
                d = self.open_data()
                if d:
                    try:
                        if "list_bytes" in sc:
                            d.sendall(b"x" * int(sc["list_bytes"]) + b"\r\n")
                        for name, size in sc.get("files", {}).items():
                            d.sendall(("-rw-r--r--    1 0        0        %10d Jan 01 00:00 %s\r\n" % (int(size), name)).encode())
                    except OSError:
                        pass
                    d.close()
                self.send("226 Directory send OK.")
            elif verb == "STOR":
                self.send("150 Ok to send data.")
                d = self.open_data()
                n = 0
                if d:
                    while True:
                        b = d.recv(65536)
                        if not b:
                            break
                        n += len(b)
                    d.close()
                self.log.append("STORED %s %d" % (arg, n))
                self.send("226 Transfer complete.")
            elif verb == "ABOR":
                self.send("225 No transfer to ABOR.")
            elif verb == "QUIT":
                self.send("221 Goodbye.")
                return
            else:
                self.send("500 Unknown command.")


class Control(socketserver.StreamRequestHandler):
    def handle(self):
        first = self.rfile.readline()
        if not first:
            return
        sc = json.loads(first)
        lst = socket.socket()
        lst.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        host, _, port = sc.get("listen", "127.0.0.1:0").rpartition(":")
        try:
            lst.bind((host, int(port)))
        except OSError:
            lst.close()
            self.wfile.write(b"PORT 0\n")
            self.wfile.flush()
            return
        lst.listen(4)
        lst.settimeout(0.5)
        log = []
        state = {"open": 0, "stop": False}
        lock = threading.Lock()

        def serve():
            while not state["stop"]:
                try:
                    conn, _ = lst.accept()
                except OSError:
                    continue
                with lock:
                    state["open"] += 1
                log.append("CONNECT")
                try:
                    Session(conn, sc, log).run()
                except OSError as e:
                    log.append("ERROR %s" % e)
                finally:
                    conn.close()
                    log.append("CLOSED")
                    with lock:
                        state["open"] -= 1

        t = threading.Thread(target=serve, daemon=True)
        t.start()
        self.wfile.write(b"PORT %d\n" % lst.getsockname()[1])
        self.wfile.flush()
        try:
            while True:
                cmd = self.rfile.readline()
                if not cmd:
                    break
                cmd = cmd.strip()
                if cmd == b"LOGEND":
                    end = time.time() + 15
                    while time.time() < end and (state["open"] > 0 or "CONNECT" not in log):
                        time.sleep(0.05)
                out = "".join(line + "\n" for line in list(log)) + "END\n"
                self.wfile.write(out.encode("latin-1"))
                self.wfile.flush()
        finally:
            state["stop"] = True
            lst.close()


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    portfile = sys.argv[1]
    srv = Server(("127.0.0.1", 0), Control)
    with open(portfile + ".tmp", "w") as f:
        f.write(str(srv.server_address[1]))
    import os
    os.rename(portfile + ".tmp", portfile)
    srv.serve_forever()


if __name__ == "__main__":
    main()
