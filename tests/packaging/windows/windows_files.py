#!/usr/bin/env python3
"""Reads what Windows reads from the files of the Windows packages, for their tests.

  windows_files.py version FILE    the version resource: 'fixed <file> <product>' (the four
                                   numbers of each), then 'Key=Value' per string
  windows_files.py name FILE       string 1 of the string table: the name the Screen Saver
                                   settings list a screensaver under
  windows_files.py machine FILE    the machine a PE file is for: i386 or x86-64
  windows_files.py link FILE       a shell link (.lnk): 'target=', 'arguments=', 'icon='
                                   and 'icon-index=' lines

The resources are taken out of the PE file by wrestool (icoutils); their structures are
read here as the platform lays them out. Any malformed input ends with a one-line error
and exit status 1.
"""
import struct
import subprocess
import sys


def fail(message):
    print("windows_files.py: " + message, file=sys.stderr)
    sys.exit(1)


def resource(path, kind, name):
    result = subprocess.run(["wrestool", "--raw", "-x", "--type=%d" % kind, "--name=%d" % name, path],
                            capture_output=True)
    if result.returncode != 0 or not result.stdout:
        fail("%s has no resource %d of type %d" % (path, name, kind))
    return result.stdout


def utf16z(data, at):
    end = at
    while data[end:end + 2] != b"\0\0":
        end += 2
        if end >= len(data):
            fail("unterminated text")
    return data[at:end].decode("utf-16-le"), end + 2


def align4(at):
    return (at + 3) & ~3


def version_nodes(data, at, limit, path, out):
    """Walks the VS_VERSIONINFO tree: each node is length, value length, type, key, value,
    children, every part aligned to 32 bits."""
    while at + 6 <= limit:
        length, value_length, kind = struct.unpack_from("<HHH", data, at)
        if length == 0 or at + length > limit:
            fail("broken version resource node at %d" % at)
        key, value_at = utf16z(data, at + 6)
        value_at = align4(value_at)
        if kind == 1:
            value_end = value_at + 2 * value_length
            value = data[value_at:value_end].decode("utf-16-le").rstrip("\0")
        else:
            value_end = value_at + value_length
            value = data[value_at:value_end]
        out.append((path + [key], kind, value))
        version_nodes(data, align4(value_end), at + length, path + [key], out)
        at = align4(at + length)


def version(path):
    data = resource(path, 16, 1)
    nodes = []
    version_nodes(data, 0, len(data), [], nodes)
    if not nodes or nodes[0][0] != ["VS_VERSION_INFO"]:
        fail("%s: no VS_VERSION_INFO" % path)
    fixed = nodes[0][2]
    if len(fixed) < 52 or struct.unpack_from("<I", fixed, 0)[0] != 0xFEEF04BD:
        fail("%s: no VS_FIXEDFILEINFO" % path)
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", fixed, 8)
    dotted = lambda ms, ls: "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    print("fixed %s %s" % (dotted(file_ms, file_ls), dotted(product_ms, product_ls)))
    for keys, kind, value in nodes:
        if len(keys) == 4 and keys[1] == "StringFileInfo":
            print("%s=%s" % (keys[3], value))


def name(path):
    # Block 1 holds strings 0 to 15, each a count of UTF-16 units and the units.
    data = resource(path, 6, 1)
    at = 0
    for index in range(2):
        if at + 2 > len(data):
            fail("%s: the string table block is cut short" % path)
        count = struct.unpack_from("<H", data, at)[0]
        text = data[at + 2:at + 2 + 2 * count].decode("utf-16-le")
        at += 2 + 2 * count
    if not text:
        fail("%s: no string 1" % path)
    print(text)


def machine(path):
    data = open(path, "rb").read(4096)
    if data[:2] != b"MZ":
        fail("%s is not a PE file" % path)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        fail("%s is not a PE file" % path)
    kinds = {0x14C: "i386", 0x8664: "x86-64"}
    code = struct.unpack_from("<H", data, pe + 4)[0]
    print(kinds.get(code, "0x%x" % code))


def link(path):
    data = open(path, "rb").read()
    if len(data) < 76 or struct.unpack_from("<I", data, 0)[0] != 0x4C:
        fail("%s is not a shell link" % path)
    flags, = struct.unpack_from("<I", data, 20)
    icon_index, = struct.unpack_from("<i", data, 56)
    at = 76
    if flags & 0x1:
        at += 2 + struct.unpack_from("<H", data, at)[0]
    target = ""
    if flags & 0x2:
        info_size, _, info_flags = struct.unpack_from("<III", data, at)
        if info_flags & 0x1:
            base_offset = struct.unpack_from("<I", data, at + 16)[0]
            end = data.index(b"\0", at + base_offset)
            target = data[at + base_offset:end].decode("latin-1")
        at += info_size
    texts = {}
    wide = flags & 0x80
    for bit, key in ((0x4, "name"), (0x8, "relative"), (0x10, "directory"), (0x20, "arguments"),
                     (0x40, "icon")):
        if flags & bit:
            count = struct.unpack_from("<H", data, at)[0]
            size = count * (2 if wide else 1)
            raw = data[at + 2:at + 2 + size]
            # Wine counts the terminating zero as well; the format does not.
            texts[key] = raw.decode("utf-16-le" if wide else "latin-1").rstrip("\0")
            at += 2 + size
    print("target=" + target)
    print("arguments=" + texts.get("arguments", ""))
    print("icon=" + texts.get("icon", ""))
    print("icon-index=%d" % icon_index)


def main():
    commands = {"version": version, "name": name, "machine": machine, "link": link}
    if len(sys.argv) != 3 or sys.argv[1] not in commands:
        fail("usage: windows_files.py version|name|machine|link FILE")
    try:
        commands[sys.argv[1]](sys.argv[2])
    except (OSError, struct.error, UnicodeDecodeError, ValueError) as error:
        fail("%s: %s" % (sys.argv[2], error))


if __name__ == "__main__":
    main()
