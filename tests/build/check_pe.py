#!/usr/bin/env python3
"""Checks a built Windows program's image: machine, subsystem, imported DLLs, Unicode window
functions and the embedded manifest, icon and version information.

  check_pe.py FILE --machine i386|x86_64 [--allow DLL ...] [--require-import DLL:FUNCTION ...]
               [--execution-level LEVEL] [--allow-ansi FUNCTION ...] [--version A.B.C.D]
               [--absent TEXT ...]"""

import argparse
import struct
import sys

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "comctl32.dll",
    "msvcrt.dll", "ws2_32.dll", "ole32.dll", "oleaut32.dll", "shlwapi.dll", "version.dll",
    "msimg32.dll", "uxtheme.dll", "ntdll.dll", "crypt32.dll",
}
MACHINES = {"i386": (0x14C, 0x10B), "x86_64": (0x8664, 0x20B)}
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


class Image:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE image")
        self.machine, sections, _, _, _, opt_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        dirs = opt + (96 if self.magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        table = opt + opt_size
        for i in range(sections):
            _, vsize, vaddr, rsize, raddr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((vaddr, max(vsize, rsize), raddr))
        self.is64 = self.magic == 0x20B

    def offset(self, rva):
        for vaddr, size, raddr in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raddr
        raise ValueError("address outside every section")

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        rva, _ = self.directories[1]
        result = {}
        pos = self.offset(rva)
        while True:
            lookup, _, _, name, first = struct.unpack_from("<IIIII", self.data, pos)
            if name == 0:
                return result
            names = []
            thunk = self.offset(lookup or first)
            width, flag = (8, 1 << 63) if self.is64 else (4, 1 << 31)
            while True:
                value = struct.unpack_from("<Q" if self.is64 else "<I", self.data, thunk)[0]
                if value == 0:
                    break
                if not value & flag:
                    names.append(self.cstring(value + 2))
                thunk += width
            result[self.cstring(name).lower()] = names
            pos += 20

    def resources(self):
        """{type id: [data bytes, ...]} for the resource types with numeric ids."""
        rva, _ = self.directories[2]
        base = self.offset(rva)
        found = {}

        def entries(offset):
            named, ids = struct.unpack_from("<HH", self.data, base + offset + 12)
            for i in range(named + ids):
                yield struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)

        def leaves(offset):
            for _, target in entries(offset):
                if target & 0x80000000:
                    yield from leaves(target & 0x7FFFFFFF)
                else:
                    data_rva, size = struct.unpack_from("<II", self.data, base + target)
                    start = self.offset(data_rva)
                    yield self.data[start:start + size]

        for type_id, target in entries(0):
            if not type_id & 0x80000000:
                found[type_id] = list(leaves(target & 0x7FFFFFFF))
        return found


def fixed_versions(block):
    """The file and product versions of a VS_VERSIONINFO block's fixed part, as dotted text."""
    signature = struct.pack("<I", 0xFEEF04BD)
    at = block.find(signature)
    if at < 0:
        return None
    ms_file, ls_file, ms_product, ls_product = struct.unpack_from("<IIII", block, at + 8)
    dotted = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    return dotted(ms_file, ls_file), dotted(ms_product, ls_product)


def string_value(block, name):
    """A StringFileInfo value of a VS_VERSIONINFO block (UTF-16), or None."""
    key = (name + "\0").encode("utf-16-le")
    at = block.find(key)
    if at < 0:
        return None
    at += len(key)
    at += (4 - at % 4) % 4
    end = block.find(b"\0\0", at)
    while end >= 0 and (end - at) % 2:
        end = block.find(b"\0\0", end + 1)
    return block[at:end].decode("utf-16-le")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("file")
    parser.add_argument("--machine", choices=MACHINES, required=True)
    parser.add_argument("--allow", nargs="*", default=[])
    parser.add_argument("--require-import", nargs="*", default=[], metavar="DLL:FUNCTION",
                        help="a function that must be imported by name from that DLL")
    parser.add_argument("--execution-level", default="asInvoker",
                        help="the rights the manifest asks for (an installer asks for requireAdministrator)")
    parser.add_argument("--allow-ansi", nargs="*", default=[], metavar="FUNCTION",
                        help="ANSI user32 functions that take no text (an installer stub's CharNextA)")
    parser.add_argument("--version", help="the dotted version the version information must carry")
    parser.add_argument("--absent", nargs="*", default=[], metavar="TEXT",
                        help="a text the image must not hold, in ASCII or UTF-16 (a benchmark-only feature's)")
    args = parser.parse_args()

    image = Image(open(args.file, "rb").read())
    problems = []
    machine, magic = MACHINES[args.machine]
    if (image.machine, image.magic) != (machine, magic):
        problems.append(f"machine {image.machine:#x} / magic {image.magic:#x}, wanted {args.machine}")
    if image.subsystem != 2:
        problems.append(f"subsystem {image.subsystem}, wanted the GUI subsystem (2)")

    imports = image.imports()
    allowed = SYSTEM_DLLS | {name.lower() for name in args.allow}
    for dll in sorted(set(imports) - allowed):
        if not dll.startswith("api-ms-win-"):
            problems.append(f"imports {dll}, which is not a Windows system DLL")
    for wanted in args.require_import:
        dll, function = wanted.lower().split(":", 1)
        if function not in [f.lower() for f in imports.get(dll, [])]:
            problems.append(f"does not import {wanted} by name")
    ansi = [f for f in imports.get("user32.dll", []) if f.endswith("A") and f not in args.allow_ansi]
    if ansi:
        problems.append(f"ANSI window functions imported: {', '.join(ansi)}")

    resources = image.resources()
    manifest = b"".join(resources.get(RT_MANIFEST, [])).decode("utf-8", "replace")
    if f'level="{args.execution_level}"' not in manifest:
        problems.append(f"manifest does not ask for the rights {args.execution_level}")
    if "Microsoft.Windows.Common-Controls" not in manifest or 'version="6.0.0.0"' not in manifest:
        problems.append("manifest does not ask for common controls 6")
    for kind, what in ((RT_ICON, "icon"), (RT_GROUP_ICON, "icon group"), (RT_VERSION, "version information")):
        if not resources.get(kind):
            problems.append(f"no {what} resource")

    if args.version:
        blocks = resources.get(RT_VERSION, [])
        versions = fixed_versions(blocks[0]) if blocks else None
        if versions != (args.version, args.version):
            problems.append(f"file and product versions {versions}, wanted {args.version}")
        for name in ("FileVersion", "ProductVersion"):
            text = string_value(blocks[0], name) if blocks else None
            if text != args.version:
                problems.append(f"version text {name} is {text!r}, wanted {args.version}")

    for text in args.absent:
        if text.encode("ascii") in image.data or text.encode("utf-16-le") in image.data:
            problems.append(f"holds the text {text!r}")

    for problem in problems:
        print(f"{args.file}: {problem}")
    if not problems:
        print(f"{args.file}: {args.machine} GUI program importing {', '.join(sorted(imports))}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
