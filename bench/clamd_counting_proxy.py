#!/usr/bin/env python3
"""A TCP relay in front of a clamd that writes down every file asked of it.

    clamd_counting_proxy.py LISTEN_PORT CLAMD_PORT LOG

Each zSCAN's path (and "<stream>" for each zINSTREAM) is appended to LOG, a
line each, as the request passes; bytes go through unchanged both ways.
The real-time benchmark counts the lines to tell whether every file was
asked exactly once.
"""

import socket
import sys
import threading

listen_port, clamd_port, log_path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
log_lock = threading.Lock()
log = open(log_path, "a", encoding="utf-8", buffering=1)


def note(line):
    with log_lock:
        log.write(line + "\n")


def pump(source, sink, watch):
    pending = b""
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            if watch:
                pending += data
                while b"\0" in pending:
                    command, _, pending = pending.partition(b"\0")
                    if command.startswith(b"zSCAN "):
                        note(command[6:].decode("utf-8", "replace"))
                    elif command.startswith(b"zINSTREAM"):
                        note("<stream>")
                        pending = b""  # the chunks are not commands
                    elif command.startswith(b"z"):
                        pass
            sink.sendall(data)
    except OSError:
        pass
    finally:
        for s in (source, sink):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


def serve(client):
    try:
        upstream = socket.create_connection(("127.0.0.1", clamd_port))
    except OSError:
        client.close()
        return
    threading.Thread(target=pump, args=(upstream, client, False), daemon=True).start()
    pump(client, upstream, True)


server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", listen_port))
server.listen(128)
while True:
    connection, _ = server.accept()
    threading.Thread(target=serve, args=(connection,), daemon=True).start()
