#!/usr/bin/env python3
"""Two small test services, started by services.sh (standard library only).

collector      HTTPS server that records every POST (and GET) as one JSON line:
               {"method", "path", "headers": [[name, value], ...] in the order
               received, "body": text (UTF-8, undecodable bytes replaced),
               "body_size"}. The record is on disk before the answer (200,
               empty body) goes out.
cutting-proxy  HTTP proxy that opens CONNECT tunnels to 127.0.0.1 at the
               requested port, whatever the host name, and cuts each tunnel
               after --cut-after bytes from the server: a proxy that fails
               halfway through a download.
cutting-origin plain HTTP server behind the CDN (nginx proxies to it) that
               answers a GET for a file under --root with 200 and the file's
               whole Content-Length, sends half of the bytes and closes the
               connection: a server that fails mid-body. A file marked
               "chunked" under --faults is sent whole without a length.
"""
import argparse
import http.server
import json
import os
import socket
import socketserver
import ssl
import threading


def run_collector(args):
    lock = threading.Lock()

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def record(self, body):
            entry = {
                "method": self.command,
                "path": self.path,
                "headers": [[name, value] for name, value in self.headers.items()],
                "body": body.decode("utf-8", errors="replace"),
                "body_size": len(body),
            }
            with lock, open(args.records, "a", encoding="utf-8") as records:
                records.write(json.dumps(entry) + "\n")

        def answer(self):
            self.send_response(200)
            self.send_header("Content-Length", "0")
            self.end_headers()

        def do_POST(self):
            length = int(self.headers.get("Content-Length") or 0)
            if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
                body = self.read_chunked()
            else:
                body = self.rfile.read(length)
            self.record(body)
            self.answer()

        def do_GET(self):
            self.record(b"")
            self.answer()

        def read_chunked(self):
            body = b""
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    self.rfile.readline()
                    return body
                body += self.rfile.read(size)
                self.rfile.readline()

        def log_message(self, format, *values):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    server.serve_forever()


def run_cutting_proxy(args):
    class Handler(socketserver.BaseRequestHandler):
        def handle(self):
            client = self.request
            head = b""
            while b"\r\n\r\n" not in head:
                data = client.recv(4096)
                if not data:
                    return
                head += data
            request = head.split(b"\r\n", 1)[0].split()
            if len(request) < 2 or request[0] != b"CONNECT":
                client.sendall(b"HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n")
                return
            port = int(request[1].rsplit(b":", 1)[1])
            upstream = socket.create_connection(("127.0.0.1", port), timeout=10)
            client.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
            threading.Thread(target=self.pump, args=(client, upstream, None), daemon=True).start()
            self.pump(upstream, client, args.cut_after)
            for end in (client, upstream):
                try:
                    end.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
            upstream.close()

        @staticmethod
        def pump(source, sink, limit):
            sent = 0
            try:
                while limit is None or sent < limit:
                    data = source.recv(16384 if limit is None else min(16384, limit - sent))
                    if not data:
                        return
                    sink.sendall(data)
                    sent += len(data)
            except OSError:
                pass

    class Server(socketserver.ThreadingTCPServer):
        daemon_threads = True
        allow_reuse_address = True

    Server(("127.0.0.1", args.port), Handler).serve_forever()


def run_cutting_origin(args):
    root = os.path.realpath(args.root)

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def do_GET(self):
            path = os.path.realpath(os.path.join(root, self.path.split("?", 1)[0].lstrip("/")))
            if not path.startswith(root + os.sep) or not os.path.isfile(path):
                self.send_error(404)
                return
            with open(path, "rb") as served:
                body = served.read()
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            relative = self.path.split("?", 1)[0].lstrip("/")
            if args.faults and os.path.isfile(os.path.join(args.faults, "chunked", relative)):
                # No length: nginx passes the body on chunked.
                self.send_header("Connection", "close")
                self.end_headers()
                self.wfile.write(body)
                self.wfile.flush()
                self.close_connection = True
                return
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body[:len(body) // 2])
            self.wfile.flush()
            self.close_connection = True

        def log_message(self, format, *values):
            pass

    http.server.ThreadingHTTPServer(("127.0.0.1", args.port), Handler).serve_forever()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    collector = commands.add_parser("collector")
    collector.add_argument("--port", type=int, required=True)
    collector.add_argument("--cert", required=True)
    collector.add_argument("--key", required=True)
    collector.add_argument("--records", required=True)
    collector.add_argument("--state", help="the services' state directory (names the process)")
    proxy = commands.add_parser("cutting-proxy")
    proxy.add_argument("--port", type=int, required=True)
    proxy.add_argument("--cut-after", type=int, required=True)
    proxy.add_argument("--state", help="the services' state directory (names the process)")
    origin = commands.add_parser("cutting-origin")
    origin.add_argument("--port", type=int, required=True)
    origin.add_argument("--root", required=True)
    origin.add_argument("--faults", help="the CDN's fault markers: a path marked \"chunked\" is sent whole, unsized")
    origin.add_argument("--state", help="the services' state directory (names the process)")
    args = parser.parse_args()
    if args.command == "collector":
        run_collector(args)
    elif args.command == "cutting-origin":
        run_cutting_origin(args)
    else:
        run_cutting_proxy(args)


if __name__ == "__main__":
    main()
