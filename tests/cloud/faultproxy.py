#!/usr/bin/env python3
"""A fault-injecting HTTP proxy on loopback for the cloud tests.

    faultproxy.py UPSTREAM     UPSTREAM as http://host:port

Prints "port N" once it listens on 127.0.0.1. Requests pass to UPSTREAM unchanged (their Host
header too, so that signatures stay valid). Each line on standard input adds a rule for the next
COUNT requests of METHOD ("*": any):
    status METHOD COUNT CODE       answer CODE with an S3 error body instead of forwarding
    reset METHOD COUNT BYTES       forward, then cut the connection (RST) after BYTES of the body
    slow METHOD COUNT RATE         forward, sending the body at RATE bytes per second
    stall METHOD COUNT BYTES       forward, send BYTES of the body, then nothing until the client leaves
Every request is logged on standard output as "request METHOD PATH RANGE -> STATUS".
"""
import http.client
import http.server
import socket
import struct
import sys
import threading
import time
import urllib.parse

upstream = urllib.parse.urlsplit(sys.argv[1])
rules = []
lock = threading.Lock()


def take_rule(method):
    with lock:
        for rule in rules:
            if rule["method"] in ("*", method) and rule["count"] > 0:
                rule["count"] -= 1
                return rule
    return None


def log(line):
    with lock:
        print(line, flush=True)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def handle_any(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        rule = take_rule(self.command)
        if rule and rule["kind"] == "status":
            code = rule["value"]
            error = (b"<?xml version=\"1.0\"?><Error><Code>Injected%d</Code><Message>injected by the test proxy"
                     b"</Message></Error>" % code)
            log(f"request {self.command} {self.path} {self.headers.get('Range', '-')} -> {code}")
            self.send_response(code)
            self.send_header("Content-Type", "application/xml")
            self.send_header("Content-Length", str(len(error)))
            self.end_headers()
            self.wfile.write(error)
            return
        connection = http.client.HTTPConnection(upstream.hostname, upstream.port, timeout=60)
        headers = {name: value for name, value in self.headers.items()}
        connection.request(self.command, self.path, body=body, headers=headers)
        answer = connection.getresponse()
        payload = answer.read()
        log(f"request {self.command} {self.path} {self.headers.get('Range', '-')} -> {answer.status}")
        self.send_response(answer.status)
        for name, value in answer.getheaders():
            if name.lower() not in ("connection", "transfer-encoding", "content-length"):
                self.send_header(name, value)
        # An answer to HEAD has no body but says the object's length.
        length = answer.getheader("Content-Length", "0") if self.command == "HEAD" else str(len(payload))
        self.send_header("Content-Length", length)
        self.end_headers()
        if self.command == "HEAD":
            return
        if rule and rule["kind"] == "reset":
            self.wfile.write(payload[: rule["value"]])
            self.wfile.flush()
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
            self.close_connection = True
            return
        if rule and rule["kind"] == "stall":
            self.wfile.write(payload[: rule["value"]])
            self.wfile.flush()
            try:
                while self.connection.recv(1):
                    pass
            except OSError:
                pass
            self.close_connection = True
            return
        if rule and rule["kind"] == "slow":
            step = max(1, rule["value"] // 20)
            for start in range(0, len(payload), step):
                self.wfile.write(payload[start : start + step])
                self.wfile.flush()
                time.sleep(0.05)
            return
        self.wfile.write(payload)

    do_GET = do_PUT = do_POST = do_DELETE = do_HEAD = handle_any


def read_rules():
    for line in sys.stdin:
        words = line.split()
        if len(words) == 4:
            with lock:
                rules.append({"kind": words[0], "method": words[1], "count": int(words[2]), "value": int(words[3])})
            log(f"rule {line.strip()}")
    server.shutdown()


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
print(f"port {server.server_address[1]}", flush=True)
threading.Thread(target=read_rules, daemon=True).start()
server.serve_forever()
