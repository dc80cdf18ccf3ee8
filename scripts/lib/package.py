#!/usr/bin/env python3
"""The byte-exact parts of scripts/package.

  package.py check EXE VERSION     the exe carries no link time or debug
                                   directory, needs no DLL beside it, and
                                   its version record and dialog caption
                                   name VERSION
  package.py zip OUT EPOCH FILE... a zip whose bytes depend only on the
                                   files' names and contents and EPOCH
  package.py compare DIR DIR VERSION
                                   every file of both folders byte for byte,
                                   and the first folder's exes checked
check and compare print one line per check; compare ends with
"reproducible: yes" (or the first differing file) and "N passed, M failed".
"""
import hashlib
import os
import re
import subprocess
import sys
import time
import zipfile

import pe
from checks import Checks

# What every Windows has: the exe needs nothing beside it (static runtime).
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll",
               "msvcrt.dll", "ole32.dll", "shell32.dll", "user32.dll", "winmm.dll"}


def check(exe, version, checks):
    with open(exe, "rb") as f:
        header = pe.read_header(f.read())
    label = os.path.join(os.path.basename(os.path.dirname(exe)), os.path.basename(exe))
    checks.expect(f"{label}: no link time in the PE header", header.stamp == 0,
                  f"TimeDateStamp {header.stamp:#x}")
    checks.expect(f"{label}: no debug directory", header.debug_size == 0,
                  f"{header.debug_size} bytes at {header.debug_rva:#x}")
    dump = subprocess.run([pe.tool(header.machine, "objdump"), "-p", exe], capture_output=True, text=True)
    dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", dump.stdout)}
    checks.expect(f"{label}: imports Windows system DLLs only", dlls and dlls <= SYSTEM_DLLS,
                  ", ".join(sorted(dlls - SYSTEM_DLLS)) or dump.stderr.strip())
    rc = pe.resources(exe, header.machine)
    found = {key: re.findall(rf'VALUE "{key}", "([^"]*)"', rc.stdout)
             for key in ("FileVersion", "ProductVersion")}
    found["caption"] = re.findall(r'^CAPTION "Tocklet Version ([^"]*)"', rc.stdout, re.M)
    checks.expect(f"{label}: version record and caption say {version}",
                  rc.returncode == 0 and all(v == [version] for v in found.values()),
                  rc.stderr.strip() or str(found))


def write_zip(out, epoch, files):
    # Fixed order, time, permissions and creator: nothing of the file system
    # or the clock reaches the archive. Zip times are local times without a
    # zone; the commit time in UTC is as good as any and the same everywhere.
    stamp = time.gmtime(epoch)[:6]
    with zipfile.ZipFile(out + ".tmp", "w") as z:
        for path in files:
            name = os.path.basename(path)
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so the modes below are read back
            mode = 0o755 if name.endswith(".exe") else 0o644
            info.external_attr = (0o100000 | mode) << 16
            with open(path, "rb") as f:
                z.writestr(info, f.read(), compresslevel=9)
    os.replace(out + ".tmp", out)


def files_under(root):
    # Deepest first: an exe that differs is named before the zip and the sums
    # that differ because of it.
    names = (os.path.relpath(os.path.join(d, f), root) for d, _, fs in os.walk(root) for f in fs)
    return sorted(names, key=lambda n: (-n.count(os.sep), n))


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def compare(first, second, version, checks):
    a, b = files_under(first), files_under(second)
    for name in a:
        if name.endswith(".exe"):
            check(os.path.join(first, name), version, checks)
    checks.expect("the same files", a == b,
                  f"only in {first}: {sorted(set(a) - set(b))}; only in {second}: {sorted(set(b) - set(a))}")
    differing = []
    for name in a:
        if name not in b:
            continue
        one, two = sha256(os.path.join(first, name)), sha256(os.path.join(second, name))
        if not checks.expect(f"{name} {one}", one == two, f"second build: {two}"):
            differing.append(name)
    if differing or a != b:
        print(f"reproducible: no (first differing file: {(differing or sorted(set(a) ^ set(b)))[0]})")
    else:
        print("reproducible: yes")


def main(argv):
    checks = Checks()
    if len(argv) == 3 and argv[0] == "check":
        check(argv[1], argv[2], checks)
        return 1 if checks.failed else 0
    elif len(argv) >= 4 and argv[0] == "zip":
        write_zip(argv[1], int(argv[2]), argv[3:])
        return 0
    elif len(argv) == 4 and argv[0] == "compare":
        compare(argv[1], argv[2], argv[3], checks)
    else:
        sys.exit(__doc__)
    return checks.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
