#!/usr/bin/env python3
"""Checks a built tocklet.exe without running it: the PE header (machine, GUI
subsystem) and the resources, decompiled with the machine's own windres,
against the fixed dialog template, version record and manifest.

Usage: check_exe.py EXE [EXE...]
Prints one line per check and a closing "N passed, M failed" line.
"""
import re
import struct
import sys

import pe
from checks import Checks

# Window and control style bits (winuser.h).
WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_DISABLED, WS_CLIPCHILDREN, WS_CAPTION = 0x08000000, 0x02000000, 0x00C00000
WS_BORDER, WS_SYSMENU, WS_GROUP, WS_TABSTOP = 0x00800000, 0x00080000, 0x00020000, 0x00010000
WS_MINIMIZEBOX = 0x00020000
DS_SETFONT, DS_MODALFRAME, DS_CENTER = 0x40, 0x80, 0x800
BS_PUSHBUTTON, BS_GROUPBOX = 0x0, 0x7
ES_AUTOHSCROLL, ES_NUMBER = 0x80, 0x2000
SS_LEFT, SS_OWNERDRAW = 0x0, 0xD
WS_EX_TRANSPARENT, WS_EX_RIGHT = 0x20, 0x1000

BASE = WS_CHILD | WS_VISIBLE
NUMBER_FIELD = BASE | WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL
LABEL = BASE | SS_LEFT | WS_GROUP
BUTTON = BASE | BS_PUSHBUTTON | WS_TABSTOP

DIALOG_STYLE = (WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN
                | DS_MODALFRAME | DS_CENTER | DS_SETFONT)

# (id, class, caption, style, extended style, x, y, width, height), template order.
CONTROLS = [
    (-1, "button", "カウント情報", BASE | BS_GROUPBOX, WS_EX_TRANSPARENT, 5, 5, 230, 165),
    (-1, "static", "インターバル時間", LABEL, 0, 15, 26, 60, 10),
    (1004, "edit", "", NUMBER_FIELD, WS_EX_RIGHT, 90, 24, 24, 12),
    (-1, "static", "h", LABEL, 0, 118, 27, 6, 10),
    (1005, "edit", "", NUMBER_FIELD, WS_EX_RIGHT, 125, 24, 24, 12),
    (-1, "static", "m", LABEL, 0, 153, 27, 6, 10),
    (1006, "edit", "", NUMBER_FIELD, WS_EX_RIGHT, 160, 24, 24, 12),
    (-1, "static", "s", LABEL, 0, 188, 27, 6, 10),
    (1007, "edit", "", NUMBER_FIELD, WS_EX_RIGHT, 195, 24, 31, 12),
    (-1, "static", "インターバル回数(0は無限)", LABEL, 0, 15, 46, 95, 10),
    (1008, "edit", "", NUMBER_FIELD, WS_EX_RIGHT, 130, 44, 60, 12),
    (-1, "static", "インターバル時間でのサウンド(無記入は通常ビープ音)", LABEL, 0, 15, 65, 180, 10),
    (1009, "edit", "", BASE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0, 15, 80, 180, 12),
    (1010, "button", "参照(&B)", BUTTON, 0, 200, 78, 30, 16),
    (1011, "static", "", BASE | SS_OWNERDRAW, 0, 32, 100, 176, 32),
    (1002, "button", "開始(&C)", BUTTON, 0, 10, 145, 105, 20),
    (1003, "button", "停止(&S)", BUTTON | WS_DISABLED, 0, 125, 145, 105, 20),
    (1001, "button", "終了(&X)", BUTTON, 0, 10, 175, 220, 20),
]

VERSION_STRINGS = {
    "FileDescription": "Tocklet", "InternalName": "Tocklet", "ProductName": "Tocklet",
    "FileVersion": "0.01", "ProductVersion": "0.01",
}

IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
KEYWORD_CLASS = {"GROUPBOX": "button", "PUSHBUTTON": "button", "EDITTEXT": "edit",
                 "LTEXT": "static"}
CLASS_ORDINAL = {0x80: "button", 0x81: "edit", 0x82: "static"}


def rc_string(token):
    """Decodes windres's "..." or L"..." literal (with \\xNNNN escapes)."""
    wide = token.startswith("L")
    body = token[2:-1] if wide else token[1:-1]
    out, i = [], 0
    while i < len(body):
        if body.startswith('""', i):
            out.append('"')
            i += 2
        elif body[i] == "\\" and body[i + 1] == "x":
            m = re.match(r"[0-9a-fA-F]{1,4}", body[i + 2:])
            out.append(chr(int(m.group(0), 16)))
            i += 2 + len(m.group(0))
        elif body[i] == "\\" and body[i + 1] == "n":
            out.append("\n")
            i += 2
        else:
            out.append(body[i])
            i += 1
    return "".join(out)


def split_args(text):
    """Splits a resource statement's arguments at commas outside strings."""
    args, cur, quoted = [], "", False
    for ch in text:
        if ch == '"':
            quoted = not quoted
        if ch == "," and not quoted:
            args.append(cur.strip())
            cur = ""
        else:
            cur += ch
    args.append(cur.strip())
    return args


def number(text):
    return int(text, 0)


def parse_control(line):
    keyword, rest = line.split(None, 1)
    args = split_args(rest)
    if keyword == "CONTROL":  # text, id, class, style, x, y, w, h[, exstyle]
        caption, ident = rc_string(args[0]), number(args[1])
        cls = CLASS_ORDINAL.get(number(args[2]), args[2])
        style = number(args[3])
        rect = tuple(number(a) for a in args[4:8])
        exstyle = number(args[8]) if len(args) > 8 else 0
    elif keyword == "EDITTEXT":  # id, x, y, w, h, style[, exstyle, help]
        caption, ident, cls = "", number(args[0]), "edit"
        rect = tuple(number(a) for a in args[1:5])
        style = number(args[5])
        exstyle = number(args[6]) if len(args) > 6 else 0
    else:  # text, id, x, y, w, h, style[, exstyle, help]
        caption, ident, cls = rc_string(args[0]), number(args[1]), KEYWORD_CLASS[keyword]
        rect = tuple(number(a) for a in args[2:6])
        style = number(args[6])
        exstyle = number(args[7]) if len(args) > 7 else 0
    return (ident, cls, caption, style, exstyle) + rect


def resource_block(rc, type_name):
    """The text of the resource whose decompiled comment names its type."""
    m = re.search(r"/\* Type: " + type_name + r"\b.*?\*/(.*?)(?=/\* Type:|\Z)", rc, re.S)
    return m.group(1) if m else ""


def check_dialog(rc, checks):
    block = resource_block(rc, "dialog")
    checks.expect("dialog 101 in Japanese", re.search(r"LANGUAGE 17, 1\s+101 DIALOGEX 0, 0, 240, 200", block) is not None)
    m = re.search(r"^STYLE (\S+)", block, re.M)
    style = number(m.group(1)) if m else None
    checks.expect("dialog style", style == DIALOG_STYLE, f"{style and hex(style)} != {hex(DIALOG_STYLE)}")
    checks.expect("no extended dialog style", not re.search(r"^EXSTYLE", block, re.M))
    checks.expect('dialog caption "Tocklet Version 0.01"', '\nCAPTION "Tocklet Version 0.01"' in block)
    m = re.search(r"^FONT (.*)$", block, re.M)
    font = split_args(m.group(1)) if m else []
    checks.expect("dialog font 10 pt ＭＳ Ｐゴシック, weight 400, not italic, charset 128",
                  len(font) == 5 and font[0] == "10" and rc_string(font[1]) == "ＭＳ Ｐゴシック"
                  and font[2:] == ["400", "0", "128"], str(font))
    body = block.split("BEGIN", 1)[-1].rsplit("END", 1)[0]
    found = [parse_control(l.strip()) for l in body.splitlines() if l.strip()]
    checks.expect("18 controls", len(found) == len(CONTROLS), f"found {len(found)}")
    for n, (want, got) in enumerate(zip(CONTROLS, found), 1):
        ident, cls, caption = want[0], want[1], want[2]
        checks.expect(f"control {n}: id {ident}, {cls}, \"{caption}\", styles {want[3]:#x}/{want[4]:#x}, "
                      f"rect {want[5:]}", got == want, f"found {got}")


def check_version(rc, checks):
    block = resource_block(rc, "version")
    checks.expect("numeric versions 0.0.0.1",
                  "FILEVERSION 0, 0, 0, 1" in block and "PRODUCTVERSION 0, 0, 0, 1" in block)
    checks.expect("application for 32-bit Windows",
                  re.search(r"FILEOS 0x4\b", block) and re.search(r"FILETYPE 0x1\b", block))
    checks.expect("string table 0411 / 1200", 'BLOCK "041104B0"' in block
                  and re.search(r'"Translation", 0x411, 1200', block) is not None)
    for key, value in VERSION_STRINGS.items():
        checks.expect(f'{key} "{value}"', f'VALUE "{key}", "{value}"' in block)


def check_manifest(rc, arch, checks):
    block = resource_block(rc, "24")
    checks.expect("manifest 1 in English (US)", re.search(r"LANGUAGE 9, 1\s+1 24", block) is not None)
    text = "".join(rc_string(s) for s in re.findall(r'^\s*("(?:[^"]|"")*")\s*$', block, re.M))
    identities = re.findall(r"<assemblyIdentity\b(.*?)/>", text, re.S)
    attrs = [dict(re.findall(r'(\w+)="([^"]*)"', i)) for i in identities]
    own = attrs[0] if attrs else {}
    checks.expect(f"own identity Tocklet 1.0.0.0 win32, processor {arch}",
                  own == {"version": "1.0.0.0", "processorArchitecture": arch, "name": "Tocklet",
                          "type": "win32"}, str(own))
    dep = attrs[1] if len(attrs) > 1 else {}
    checks.expect(f"Common Controls 6.0.0.0 dependency, processor {arch}",
                  dep == {"type": "win32", "name": "Microsoft.Windows.Common-Controls",
                          "version": "6.0.0.0", "processorArchitecture": arch,
                          "publicKeyToken": "6595b64144ccf1df", "language": "*"}, str(dep))
    checks.expect("exactly one dependency", len(attrs) == 2 and text.count("<dependentAssembly>") == 1)


def check_exe(path, checks):
    print(f"== {path}")
    with open(path, "rb") as f:
        data = f.read()
    try:
        header = pe.read_header(data)
    except (ValueError, struct.error) as e:
        checks.expect("a PE executable", False, str(e))
        return
    known = header.machine in pe.MACHINES
    checks.expect("machine i686 or x86-64", known, hex(header.machine))
    if not known:
        return
    name, _, arch = pe.MACHINES[header.machine]
    print(f"  machine: {name}")
    checks.expect("optional header matches the machine",
                  header.magic == (pe.PE32_PLUS if name == "x86_64" else pe.PE32), hex(header.magic))
    checks.expect("GUI subsystem, no console", header.subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI,
                  str(header.subsystem))
    rc = pe.resources(path, header.machine)
    checks.expect("windres decompiles the resources", rc.returncode == 0, rc.stderr.strip())
    check_dialog(rc.stdout, checks)
    check_version(rc.stdout, checks)
    check_manifest(rc.stdout, arch, checks)
    types = re.findall(r"/\* Type: (\S+)", rc.stdout)
    checks.expect("no resources but dialog, version and manifest",
                  sorted(types) == ["24", "dialog", "version"], str(types))


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    checks = Checks()
    for path in sys.argv[1:]:
        check_exe(path, checks)
    return checks.close()


if __name__ == "__main__":
    sys.exit(main())
