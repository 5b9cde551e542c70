#!/usr/bin/env python3
"""Writes version.dat for an installer: the program's version, the installer's size and SHA-256,
and, given the maker's private key, a last line "signature=" with the RSA PKCS#1 v1.5 SHA-256
signature (standard base64) of every byte before it. Signatures of this kind are deterministic,
so the same key and installer always give the same file. Uses the openssl program.

  sign_manifest.py --version 1.0.0.3 --installer lagvanesetup.exe --out version.dat [--key PRIVATE.pem] [--public PUBLIC.pem]
  sign_manifest.py --check --key PRIVATE.pem --public PUBLIC.pem

With --public, the private key must be the other half of that public key (the one the program was
built with), and the signature written is checked against it."""

import argparse
import base64
import hashlib
import os
import subprocess
import sys
import tempfile


class SigningError(Exception):
    pass


def openssl(*args, data=None):
    try:
        done = subprocess.run(["openssl", *args], input=data, capture_output=True, check=False)
    except FileNotFoundError:
        raise SigningError("the openssl program is not installed (scripts/setup installs it)")
    if done.returncode != 0:
        raise SigningError(f"openssl {args[0]} failed: {done.stderr.decode(errors='replace').strip()}")
    return done.stdout


def entries(version, installer_bytes):
    """The unsigned entries, each ended by CR LF."""
    return (f"LAGVANE.exe={version}\r\n"
            f"lagvanesetup.exe.size={len(installer_bytes)}\r\n"
            f"lagvanesetup.exe.sha256={hashlib.sha256(installer_bytes).hexdigest()}\r\n").encode("ascii")


def sign(body, private_key):
    """The body followed by its signature line."""
    signature = openssl("dgst", "-sha256", "-sign", private_key, data=body)
    return body + b"signature=" + base64.b64encode(signature) + b"\r\n"


def public_der_of_private(private_key):
    return openssl("pkey", "-in", private_key, "-pubout", "-outform", "DER")


def public_der(public_key):
    return openssl("pkey", "-pubin", "-in", public_key, "-outform", "DER")


def check_pair(private_key, public_key):
    for path, what in ((private_key, "private key"), (public_key, "public key")):
        if not os.path.isfile(path):
            raise SigningError(f"the {what} {path} does not exist")
    if public_der_of_private(private_key) != public_der(public_key):
        raise SigningError(f"the private key {private_key} is not the other half of the public key {public_key}, "
                           "which the program is built with: its signatures would be refused")


def verify(manifest, public_key):
    body, _, line = manifest.rstrip(b"\r\n").rpartition(b"\r\n")
    signature = base64.b64decode(line[len(b"signature="):], validate=True)
    with tempfile.NamedTemporaryFile() as sig:
        sig.write(signature)
        sig.flush()
        openssl("dgst", "-sha256", "-verify", public_key, "-signature", sig.name, data=body + b"\r\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--version")
    parser.add_argument("--installer")
    parser.add_argument("--out")
    parser.add_argument("--key", help="PEM private key; without it the entries are written unsigned")
    parser.add_argument("--public", help="PEM public key the program is built with")
    parser.add_argument("--check", action="store_true", help="only check that --key matches --public")
    args = parser.parse_args()
    try:
        if args.check:
            if not args.key or not args.public:
                parser.error("--check needs --key and --public")
            check_pair(args.key, args.public)
            return 0
        if not (args.version and args.installer and args.out):
            parser.error("--version, --installer and --out are needed")
        if args.key and args.public:
            check_pair(args.key, args.public)
        with open(args.installer, "rb") as f:
            manifest = entries(args.version, f.read())
        if args.key:
            manifest = sign(manifest, args.key)
            if args.public:
                verify(manifest, args.public)
        temporary = args.out + ".tmp"
        with open(temporary, "wb") as f:
            f.write(manifest)
        os.replace(temporary, args.out)
    except (SigningError, OSError) as error:
        print(f"sign_manifest: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
