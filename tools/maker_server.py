#!/usr/bin/env python3
"""The maker's web server on loopback, for scripts/run: the version manifest, the installer and
the start report, each request logged on stderr.

  maker_server.py --port N --version 1.0.0.0 [--installer FILE] [--key PRIVATE.pem]

/version.dat announces the version given with the installer's size and SHA-256, signed with the
key given (the build tree's throw-away test key: the program only takes a signed manifest);
/lagvanesetup.exe serves the installer file when there is one and answers 404 otherwise;
/log_db_update.html answers a small page."""

import argparse
import http.server
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts", "lib"))
import sign_manifest  # noqa: E402


def manifest(version, installer, key):
    """The manifest as the maker publishes it, made afresh for each request: the installer may be
    rebuilt while the server runs."""
    installer_bytes = b""
    if installer and os.path.isfile(installer):
        with open(installer, "rb") as f:
            installer_bytes = f.read()
    body = sign_manifest.entries(version, installer_bytes)
    return sign_manifest.sign(body, key) if key else body


def make_handler(version, installer, key):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"
        server_version = "LAGVANE-maker"

        def do_GET(self):
            path = self.path.split("?", 1)[0]
            if path == "/version.dat":
                self.answer(200, "text/plain", manifest(version, installer, key))
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
    parser.add_argument("--key", help="PEM private key that signs the manifest")
    args = parser.parse_args()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port),
                                             make_handler(args.version, args.installer, args.key))
    sys.stderr.write(f"maker server: listening on 127.0.0.1:{args.port}\n")
    sys.stderr.flush()
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
