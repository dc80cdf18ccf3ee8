"""What check_exe.py and package.py read of a Windows executable: its PE
header, and its resources decompiled by the machine's own windres."""
import struct
import subprocess
from collections import namedtuple

# PE machine: (name, binutils prefix, manifest processorArchitecture).
MACHINES = {
    0x014C: ("i686", "i686-w64-mingw32-", "X86"),
    0x8664: ("x86_64", "x86_64-w64-mingw32-", "amd64"),
}
PE32, PE32_PLUS = 0x10B, 0x20B
DEBUG_DIRECTORY = 6

Header = namedtuple("Header", "machine stamp magic subsystem debug_rva debug_size")


def read_header(data):
    """The header fields of an executable's bytes; ValueError or struct.error
    where they are no PE executable."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    machine, _, stamp = struct.unpack_from("<HHI", data, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    subsystem = struct.unpack_from("<H", data, optional + 68)[0]
    # The data directories follow the 96 or 112 bytes of fixed fields.
    directories = optional + (112 if magic == PE32_PLUS else 96)
    debug_rva, debug_size = struct.unpack_from("<II", data, directories + DEBUG_DIRECTORY * 8)
    return Header(machine, stamp, magic, subsystem, debug_rva, debug_size)


def tool(machine, name):
    """The machine's own binutils program, e.g. tool(0x8664, "objdump")."""
    return MACHINES[machine][1] + name


def resources(path, machine):
    """The exe's resources as windres decompiles them (a CompletedProcess:
    returncode, stdout, stderr)."""
    return subprocess.run([tool(machine, "windres"), "-i", path, "-O", "rc"],
                          capture_output=True, text=True)
