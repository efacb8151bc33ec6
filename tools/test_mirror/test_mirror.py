#!/usr/bin/env python3
"""A small signature mirror for the tests, on 127.0.0.1 only.

It serves the files of its root's "files" folder by plain HTTP (a Range
request gets its part, as ClamAV's updater asks for a database's header
alone) and can also act as an HTTP proxy: a request with an absolute URL is
answered from the same root, and a CONNECT opens a tunnel to the same
server (ClamAV's updater always tunnels through a proxy). How it answers is
read from the file "mode" in the root at every request, so a test switches
behaviour by writing that file:

  good              the file as it is (404 when it is missing)
  404 | 403         that status with a short HTML page
  429 [seconds]     too many requests, with Retry-After (default 120)
  html              status 200 with an HTML page instead of the file
  short             the header promises the whole file, half of it comes
  unsized           the whole file without a Content-Length, then the
                    connection closes
  unsized-short     half the file without a Content-Length, then it closes
  corrupt           the file with one byte of its body changed
  slow [ms]         the file in 4 KiB pieces, one every ms (default 200)
  proxy-auth        as good, but a proxy request or tunnel without
                    credentials gets 407

With 403 and 429 a request for the first 512 bytes of a database (its
header) is still answered: on ClamAV's own mirror the updater learns the
version from DNS and asks for the file straight away, so it is the download
itself that meets the refusal.

Every request is appended to "requests.log" in the root, one line each:
  <method> <target> proxy=<yes|no|tunnel> proxy-authorization=<value or ->
with " range=<bytes=...>" at its end when it asked for a part.

Usage: test_mirror.py ROOT PORT_FILE   (binds a free port and writes it to
PORT_FILE once it listens; ends on SIGTERM or SIGINT)
"""

import http.server
import os
import signal
import socketserver
import sys
import threading
import time
import urllib.parse

ROOT = ""


def read_mode():
    try:
        with open(os.path.join(ROOT, "mode"), encoding="ascii") as f:
            words = f.read().split()
    except OSError:
        words = []
    return words or ["good"]


def log_request(line):
    with threading.Lock():
        with open(os.path.join(ROOT, "requests.log"), "a", encoding="utf-8") as f:
            f.write(line + "\n")


def wanted_range(header, size):
    """The (first, last) bytes of a "bytes=first-last" Range; None for none
    or one this mirror does not serve."""
    if not header or not header.startswith("bytes=") or "," in header:
        return None
    first, _, last = header[6:].partition("-")
    try:
        first = int(first)
        last = int(last) if last else size - 1
    except ValueError:
        return None
    if first > last or first >= size:
        return None
    return first, min(last, size - 1)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    tunnel = False  # this connection came through CONNECT

    def log_message(self, fmt, *args):  # quiet: the request log says enough
        pass

    def handle(self):
        # A client that gives up (a cancelled transfer) is no error here.
        try:
            super().handle()
        except (BrokenPipeError, ConnectionResetError):
            pass

    def send_page(self, status, text, extra=()):
        body = ("<html><body><h1>%d</h1><p>%s</p></body></html>" % (status, text)).encode()
        self.send_response(status)
        for name, value in extra:
            self.send_header(name, value)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def do_HEAD(self):
        self.do_GET()

    def do_CONNECT(self):
        auth = self.headers.get("Proxy-Authorization") or "-"
        log_request("CONNECT %s proxy=yes proxy-authorization=%s" % (self.path, auth))
        if read_mode()[0] == "proxy-auth" and auth == "-":
            return self.send_page(407, "Proxy credentials needed",
                                  [("Proxy-Authenticate", 'Basic realm="test mirror"')])
        self.send_response(200, "Connection established")
        self.end_headers()
        # The requests that follow on this connection are the tunnel's:
        # they are answered from the same root.
        self.tunnel = True

    def do_GET(self):
        target = self.path
        is_proxy = target.startswith("http://")
        path = urllib.parse.urlsplit(target).path if is_proxy else target.split("?")[0]
        auth = self.headers.get("Proxy-Authorization") or "-"
        via = "tunnel" if self.tunnel else "yes" if is_proxy else "no"
        wanted = self.headers.get("Range")
        log_request("%s %s proxy=%s proxy-authorization=%s%s"
                    % (self.command, target, via, auth, " range=" + wanted if wanted else ""))
        mode = read_mode()
        kind = mode[0]
        if kind == "proxy-auth" and is_proxy and auth == "-":
            return self.send_page(407, "Proxy credentials needed",
                                  [("Proxy-Authenticate", 'Basic realm="test mirror"')])
        name = os.path.basename(path)
        file_path = os.path.join(ROOT, "files", name)
        data = None
        if name and os.path.isfile(file_path):
            with open(file_path, "rb") as f:
                data = f.read()
        part = wanted_range(self.headers.get("Range"), len(data)) if data else None
        header_only = part is not None and part[0] == 0 and part[1] < 512
        if kind in ("404", "403") and not (kind == "403" and header_only):
            return self.send_page(int(kind), "Refused by the test mirror")
        if kind == "429" and not header_only:
            wait = mode[1] if len(mode) > 1 else "120"
            return self.send_page(429, "Too many requests", [("Retry-After", wait)])
        if kind == "html":
            return self.send_page(200, "A page, not a database")
        if data is None:
            return self.send_page(404, "No such file")
        if kind == "corrupt" and len(data) > 600:
            data = data[:600] + bytes([data[600] ^ 0x55]) + data[601:]
        if part is not None:
            self.send_response(206)
            self.send_header("Content-Range", "bytes %d-%d/%d" % (part[0], part[1], len(data)))
            data = data[part[0]:part[1] + 1]
        else:
            self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        unsized = kind in ("unsized", "unsized-short") and part is None
        if not unsized:
            self.send_header("Content-Length", str(len(data)))
        if kind == "short" or unsized:
            self.send_header("Connection", "close")
        self.end_headers()
        if self.command == "HEAD":
            return
        try:
            if part is not None:
                self.wfile.write(data)
            elif kind in ("short", "unsized-short"):
                self.wfile.write(data[: len(data) // 2])
                self.wfile.flush()
                self.close_connection = True
            elif kind == "unsized":
                self.wfile.write(data)
                self.wfile.flush()
                self.close_connection = True
            elif kind == "slow":
                pause = (int(mode[1]) if len(mode) > 1 else 200) / 1000.0
                for start in range(0, len(data), 4096):
                    self.wfile.write(data[start:start + 4096])
                    self.wfile.flush()
                    time.sleep(pause)
            else:
                self.wfile.write(data)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    global ROOT
    if len(sys.argv) != 3:
        sys.stderr.write("usage: test_mirror.py ROOT PORT_FILE\n")
        return 2
    ROOT = os.path.abspath(sys.argv[1])
    os.makedirs(os.path.join(ROOT, "files"), exist_ok=True)
    server = Server(("127.0.0.1", 0), Handler)
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())
    tmp = sys.argv[2] + ".tmp"
    with open(tmp, "w", encoding="ascii") as f:
        f.write("%d\n" % server.server_address[1])
    os.replace(tmp, sys.argv[2])
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
