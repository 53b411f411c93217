#!/usr/bin/env bash
# Checks the Windows MORVEN.ocx as a file: a 32-bit DLL whose export directory
# names it MORVEN.ocx with the five entry points as ordinals 1..5, which needs
# no mingw runtime DLL, and whose resources hold the type library (TYPELIB 1,
# language 1033) and the version information. Exits non-zero on a mismatch.
# Usage: scripts/check-windows-module.sh [PATH_TO_MORVEN.ocx]
#        (default: build-windows/bin/MORVEN.ocx)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
module="${1:-$root/build-windows/bin/MORVEN.ocx}"
if [ ! -f "$module" ]; then
    echo "check-windows-module: $module not found" >&2
    exit 1
fi

exec python3 - "$module" <<'PY'
import struct
import sys
import uuid

path = sys.argv[1]
data = open(path, "rb").read()
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def u16(offset):
    return struct.unpack_from("<H", data, offset)[0]


def u32(offset):
    return struct.unpack_from("<I", data, offset)[0]


# Headers and sections.
if data[:2] != b"MZ" or data[u32(0x3C):u32(0x3C) + 4] != b"PE\0\0":
    print(f"check-windows-module: {path} is not a PE file", file=sys.stderr)
    sys.exit(1)
pe = u32(0x3C)
machine, sections, _, _, _, optional_size, characteristics = struct.unpack_from("<HHIIIHH", data, pe + 4)
optional = pe + 24
check(machine == 0x14C, f"machine is 0x{machine:X}, not i386")
check(u16(optional) == 0x10B, "not a PE32 (32-bit) image")
check(characteristics & 0x2000, "not a DLL")
directories = optional + 96
section_table = optional + optional_size
section_list = []
for i in range(sections):
    s = section_table + 40 * i
    virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from("<IIII", data, s + 8)
    section_list.append((virtual_address, max(virtual_size, raw_size), raw_pointer))


def offset_of(rva):
    for address, size, raw in section_list:
        if address <= rva < address + size:
            return rva - address + raw
    raise ValueError(f"RVA 0x{rva:X} outside every section")


def c_string(offset):
    return data[offset:data.index(b"\0", offset)].decode("ascii")


def directory(index):
    return struct.unpack_from("<II", data, directories + 8 * index)


# Exports: the library's name and the five entry points, numbered from 1.
export_rva, export_size = directory(0)
if check(export_size != 0, "no export directory"):
    e = offset_of(export_rva)
    name_rva, base, functions, names, _, name_table, ordinal_table = struct.unpack_from("<IIIIIII", data, e + 12)
    check(c_string(offset_of(name_rva)) == "MORVEN.ocx", f"export directory names {c_string(offset_of(name_rva))!r}")
    exported = {}
    for i in range(names):
        name = c_string(offset_of(u32(offset_of(name_table) + 4 * i)))
        exported[name] = base + u16(offset_of(ordinal_table) + 2 * i)
    expected = {"DllCanUnloadNow": 1, "DllGetClassObject": 2, "DllMain": 3,
                "DllRegisterServer": 4, "DllUnregisterServer": 5}
    check(exported == expected, f"exports are {exported}, expected {expected}")
    check(functions == 5, f"{functions} exported functions, expected 5")

# Imports: system DLLs only, so that nothing of the mingw runtime must lie beside the module.
import_rva, import_size = directory(1)
allowed = {"advapi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll",
           "shell32.dll", "shlwapi.dll", "user32.dll"}
if check(import_size != 0, "no import directory"):
    d = offset_of(import_rva)
    while u32(d + 12) != 0:
        name = c_string(offset_of(u32(d + 12)))
        check(name.lower() in allowed or name.lower().startswith("api-ms-win-crt-"),
              f"imports {name}, which is not a system DLL")
        d += 20

# Resources.
resource_rva, resource_size = directory(2)
resources = {}
if check(resource_size != 0, "no resource section"):
    base = offset_of(resource_rva)

    def entries(table):
        named, ids = struct.unpack_from("<HH", data, base + table + 12)
        for i in range(named + ids):
            key, value = struct.unpack_from("<II", data, base + table + 16 + 8 * i)
            if key & 0x80000000:
                length = u16(base + (key & 0x7FFFFFFF))
                start = base + (key & 0x7FFFFFFF) + 2
                key = data[start:start + 2 * length].decode("utf-16-le")
            yield key, value

    for type_key, type_value in entries(0):
        for id_key, id_value in entries(type_value & 0x7FFFFFFF):
            for lang_key, leaf in entries(id_value & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                resources[(type_key, id_key, lang_key)] = data[offset_of(rva):offset_of(rva) + size]

libid = uuid.UUID("52BA1FC6-03A4-409D-9C95-EFB369E2B531").bytes_le
typelibs = [k for k in resources if k[0] == "TYPELIB"]
check(typelibs == [("TYPELIB", 1, 1033)], f"TYPELIB resources are {typelibs}, expected TYPELIB 1 language 1033")
typelib = resources.get(("TYPELIB", 1, 1033), b"")
check(typelib[:4] == b"MSFT", "TYPELIB 1 is not a type library image")
check(libid in typelib, "TYPELIB 1 does not hold the MORVEN library identifier")
check("MORVEN 1.0 类型库".encode("gbk") in typelib, "the library's help string is not stored in code page 936")

versions = [k for k in resources if k[0] == 16]
check(versions == [(16, 1, 0x804)], f"version resources are {versions}, expected 1 in language 0x804")
version = resources.get((16, 1, 0x804), b"")


def version_node(offset):
    """One node of the version tree: (key, value bytes, children, end)."""
    length, value_length, kind = struct.unpack_from("<HHH", version, offset)
    key_start = offset + 6
    key_end = key_start
    while version[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = version[key_start:key_end].decode("utf-16-le")
    value_start = (key_end + 2 + 3) & ~3
    value_bytes = value_length * (2 if kind == 1 else 1)
    value = version[value_start:value_start + value_bytes]
    children = []
    child = (value_start + value_bytes + 3) & ~3
    while child < offset + length:
        node = version_node(child)
        children.append(node)
        child = (node[3] + 3) & ~3
    return key, value, children, offset + length


if check(len(version) > 6, "no version resource"):
    key, fixed, children, _ = version_node(0)
    check(key == "VS_VERSION_INFO", "version resource is not VS_VERSION_INFO")
    signature, _, file_ms, file_ls, product_ms, product_ls, _, _, file_os, file_type = \
        struct.unpack_from("<IIIIIIIIII", fixed)
    check(signature == 0xFEEF04BD, "no fixed file information")
    check((file_ms, file_ls) == (0x10000, 1), "file version is not 1.0.0.1")
    check((product_ms, product_ls) == (0x10000, 1), "product version is not 1.0.0.1")
    check(file_os == 0x4, f"file OS is 0x{file_os:X}, not VOS__WINDOWS32")
    check(file_type == 0x2, f"file type is {file_type}, not VFT_DLL")
    strings = {}
    blocks = []
    translation = None
    for child_key, _, child_children, _ in children:
        if child_key == "StringFileInfo":
            for block_key, _, values, _ in child_children:
                blocks.append(block_key)
                for value_key, value, _, _ in values:
                    strings[value_key] = value.decode("utf-16-le").rstrip("\0")
        elif child_key == "VarFileInfo":
            for var_key, var_value, _, _ in child_children:
                if var_key == "Translation":
                    translation = struct.unpack_from("<HH", var_value)
    check(blocks == ["080403a8"], f"string blocks are {blocks}, expected ['080403a8']")
    check(strings.get("InternalName") == "MORVEN.dll", "InternalName is not MORVEN.dll")
    check(strings.get("OriginalFilename") == "MORVEN.dll", "OriginalFilename is not MORVEN.dll")
    check(strings.get("FileVersion") == "1.0.0.1", "FileVersion text is not 1.0.0.1")
    check(strings.get("ProductVersion") == "1.0.0.1", "ProductVersion text is not 1.0.0.1")
    check("OLESelfRegister" in strings, "no OLESelfRegister entry")
    check(translation == (0x804, 936), f"translation is {translation}, expected (0x804, 936)")

if failures:
    for failure in failures:
        print(f"check-windows-module: {path}: {failure}", file=sys.stderr)
    sys.exit(1)
print(f"check-windows-module: {path}: exports, imports, type library and version resource as expected")
PY
