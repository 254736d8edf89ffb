#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Writes rc_keymaps.txt, the Linux remote keymap library in the plain form that dravoke-keymap
reads where it has no TOML reader, from the TOML keymaps of an installed ir-keytable.

    python3 third_party/rc_keymaps/refresh.py [--library /lib/udev/rc_keymaps] [--version V]

Each keymap keeps what the tool's TOML reader takes from its file, and the lines it stands on,
so that a message names the line of the keymap's own file. The tool's tests hold the copy to
ir-keytable's files, keymap by keymap.

The form, one record a line:
    format dravoke-keymaps 1
    keymap FILE NAME                        a keymap file, and the name it gives itself
    protocol LINE KEYS PROTOCOL [VARIANT]   one of its [[protocols]] tables, at LINE, of KEYS keys
    LINE SCANCODE KEY                       one of that table's keys, at LINE
    end
"""
import argparse
import os
import re
import subprocess
import sys
import tomllib

HERE = os.path.dirname(os.path.abspath(__file__))
# A scancode as the tool's reader takes it: digits first, 0x-prefixed or decimal, 32 bits.
SCANCODE = re.compile(r"\s*([\"']?)(0[xX][0-9a-fA-F]+|[0-9]+)\1\s*=")


def scancode_of(text):
    value = int(text, 0) if not re.fullmatch(r"0[0-9]+", text) else int(text, 8)
    assert value <= 0xFFFFFFFF, text
    return value


def plain(word, what, file):
    """A word of the form: no space, control character or quote to hide a field."""
    assert word and not re.search(r"[\s\x00-\x1f\x7f]", word), "%s: %s %r" % (file, what, word)
    return word


def keymap_lines(text, file, tables):
    """The line of each [[protocols]] table and of each of its scancodes, as tomllib keeps none."""
    lines = []  # [table line, [scancode lines]]
    section = None
    for number, line in enumerate(text.splitlines(), 1):
        stripped = line.strip()
        if stripped.startswith("["):
            section = stripped.split("#")[0].strip()
            if section == "[[protocols]]":
                lines.append([number, []])
            continue
        m = SCANCODE.match(line)
        if m and section == "[protocols.scancodes]" and lines:
            lines[-1][1].append((scancode_of(m.group(2)), number))
    assert len(lines) == len(tables), file
    return lines


def convert(path):
    file = os.path.basename(path)
    with open(path, "rb") as f:
        raw = f.read()
    text = raw.decode()
    keymap = tomllib.loads(text)
    tables = keymap.get("protocols", [])
    # The reader names a keymap by its first table's name, else by its file.
    name = next((t["name"] for t in tables if isinstance(t.get("name"), str) and t["name"]), "")
    name = name or (file[: -len(".toml")] if file.endswith(".toml") else file)
    assert "\n" not in name and name.strip() == name, file
    out = ["keymap %s %s" % (plain(file, "file", file), name)]
    for table, (line, scancodes) in zip(tables, keymap_lines(text, file, tables)):
        keys = table.get("scancodes", {})
        assert len(keys) == len(scancodes), file
        protocol = plain(table["protocol"].lower(), "protocol", file)
        variant = table.get("variant", "").lower()
        out.append("protocol %d %d %s%s" % (line, len(keys), protocol,
                                            " " + plain(variant, "variant", file) if variant else ""))
        values = {scancode_of(k): v for k, v in keys.items()}
        for scancode, number in sorted(scancodes, key=lambda s: s[1]):
            out.append("%d 0x%x %s" % (number, scancode, plain(values[scancode], "key", file)))
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--library", default="/lib/udev/rc_keymaps")
    parser.add_argument("--version", help="ir-keytable's version (default: dpkg's)")
    parser.add_argument("--output", default=os.path.join(HERE, "rc_keymaps.txt"))
    args = parser.parse_args()
    version = args.version or subprocess.run(
        ["dpkg-query", "-W", "-f", "${Version}", "ir-keytable"],
        capture_output=True, text=True, check=True).stdout
    files = sorted(f for f in os.listdir(args.library) if f.endswith(".toml"))
    body = []
    for file in files:
        body += convert(os.path.join(args.library, file))
    head = [
        "# SPDX-License-Identifier: GPL-2.0-only",
        "# The Linux kernel's remote keymaps as Debian's ir-keytable %s ships them in" % version,
        "# %s (%d keymaps), in the plain form that dravoke-keymap reads without a" % (
            args.library, len(files)),
        "# TOML reader. Written by third_party/rc_keymaps/refresh.py from those files: do not edit.",
        "format dravoke-keymaps 1",
    ]
    with open(args.output, "w") as f:
        f.write("\n".join(head + body + ["end"]) + "\n")
    print("wrote %s: %d keymaps" % (os.path.relpath(args.output), len(files)))


if __name__ == "__main__":
    sys.exit(main())
