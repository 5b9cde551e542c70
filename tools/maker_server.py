#!/usr/bin/env python3
"""The maker's web server on loopback, for scripts/run: the version manifest, the installer and
the start report, each request logged on stderr.

  maker_server.py --port N --version 1.0.0.0 [--installer FILE]

/version.dat announces the version given; /lagvanesetup.exe serves the installer file when there
is one and answers 404 otherwise; /log_db_update.html answers a small page."""

import argparse
import http.server
import os
import sys


def make_handler(version, installer):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"
        server_version = "LAGVANE-maker"

        def do_GET(self):
            path = self.path.split("?", 1)[0]
            if path == "/version.dat":
                self.answer(200, "text/plain", f"LAGVANE.exe={version}\r\n".encode("ascii"))
            elif path == "/lagvanesetup.exe" and installer and os.path.isfile(installer):
                with open(installer, "rb") as f:
                    self.answer(200, "application/octet-stream", f.read())
            elif path == "/log_db_update.html":
                self.answer(200, "text/html", b"<html><body>OK</body></html>")
            else:
                self.answer(404, "text/html", b"<html><body>Not Found</body></html>")

        def answer(self, status, content_type, body):
            self.send_response(status)
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, format, *args):
            sys.stderr.write("maker server: " + (format % args) + "\n")

    return Handler


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--installer")
    args = parser.parse_args()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), make_handler(args.version, args.installer))
    sys.stderr.write(f"maker server: listening on 127.0.0.1:{args.port}\n")
    sys.stderr.flush()
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
