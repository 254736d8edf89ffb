# SPDX-License-Identifier: Apache-2.0
"""The Linux remote keymap library's tables, for gen_tables.py: which remotes use which customer
code (keymap_library_index.cpp), and every keymap the receiver can take with its keys
(keymap_library.cpp and a file of keys a protocol family). Each writer takes the first line its
files begin with."""
import os
import re
import tomllib

# The library's keymaps come from Debian's ir-keytable, under the GPL version 2; the tables
# made of them say so rather than take the project's licence (see the README's licence).
LIBRARY_LICENCE = "GPL-2.0-only"

NEC, RC5 = 0, 1
NEC_WIDTH = {"nec": 16, "necx": 24, "nec32": 32}


def customer_codes(protocol, variant, scancodes):
    """The customer codes a keymap's scancodes give, as import computes them."""
    codes = set()
    for sc in scancodes:
        if protocol == RC5:
            if (sc >> 8) <= 0x1F and (sc & 0xFF) <= 0x7F:
                codes.add(sc >> 8)
            continue
        # The variant decides; a scancode too wide for it, or no variant, goes by its size.
        form = variant
        if form is None or sc >= 1 << NEC_WIDTH[form]:
            form = "nec" if sc <= 0xFFFF else "necx" if sc <= 0xFFFFFF else "nec32"
        if form == "nec":
            a = (sc >> 8) & 0xFF
            codes.add((~a & 0xFF) << 8 | a)
        elif form == "necx":
            codes.add(((sc >> 8) & 0xFF) << 8 | (sc >> 16) & 0xFF)
        else:
            codes.add(sc >> 16)
    return codes


def write_library(library, first):
    entries = set()
    for file in sorted(os.listdir(library)):
        if not file.endswith(".toml"):
            continue
        with open(os.path.join(library, file), "rb") as f:
            keymap = tomllib.load(f)
        name = file[: -len(".toml")]
        for table in keymap.get("protocols", []):
            protocol = {"nec": NEC, "rc5": RC5}.get(table.get("protocol"))
            if protocol is None:
                continue
            variant = table.get("variant") if protocol == NEC else None
            scancodes = [int(k, 0) for k in table.get("scancodes", {})]
            for code in customer_codes(protocol, variant, scancodes):
                entries.add((protocol, code, name))
    body = "".join('    {%d, 0x%04x, "%s"},\n' % e for e in sorted(entries))
    return (first +
            '#include "tool/tables/tables.h"\n\n'
            "// Which remotes of the Linux keymap library use which customer code, by protocol\n"
            "// (0 NEC, 1 RC5) and code: facts only, for naming a remote on a box without the library.\n"
            "const library_remote_t k_library_remotes[] = {\n" + body + "};\n"
            "const int k_library_remote_count = sizeof(k_library_remotes) / sizeof(k_library_remotes[0]);\n")


LIBRARY_PROTOCOLS = ("nec", "rc5", "unknown")


def keymap_protocols(text):
    """[line, [(scancode, key, line)]] of each [[protocols]] table of a keymap, in the file's
    order: tomllib keeps no lines, and import names a key by its line."""
    tables = []
    for number, line in enumerate(text.splitlines(), 1):
        if line.strip() == "[[protocols]]":
            tables.append([number, []])
            continue
        m = re.match(r'\s*"?(0x[0-9a-fA-F]+|[0-9]+)"?\s*=\s*"([^"]*)"', line)
        if m and tables:
            tables[-1][1].append((int(m.group(1), 0), m.group(2), number))
    return tables


# The files the library's keys are written to, one a protocol family.
KEYMAP_FILES = {"nec": "keymap_library_nec.cpp", "rc5": "keymap_library_rc5.cpp",
                "unknown": "keymap_library_commands.cpp"}


def write_keymaps(library, first):
    """keymap_library.cpp, the keymaps in the file's order, and a file of their keys for each
    protocol family."""
    arrays = {protocol: [] for protocol in KEYMAP_FILES}
    rows = []
    for file in sorted(os.listdir(library)):
        if not file.endswith(".toml"):
            continue
        with open(os.path.join(library, file), "rb") as f:
            raw = f.read()
        keymap = tomllib.loads(raw.decode())
        name = file[: -len(".toml")]
        lined = keymap_protocols(raw.decode())
        assert len(lined) == len(keymap.get("protocols", [])), file
        for index, (table, (line, keys)) in enumerate(zip(keymap.get("protocols", []), lined)):
            protocol = table.get("protocol", "").lower()
            variant = table.get("variant", "").lower()
            scancodes = [int(k, 0) for k in table.get("scancodes", {})]
            # The receiver takes NEC and RC5; an "unknown" keymap only when its scancodes are
            # command bytes, which learn matches under any customer code.
            if protocol not in LIBRARY_PROTOCOLS or (protocol == "unknown" and max(scancodes) > 0xFF):
                continue
            assert sorted(scancodes) == sorted(k[0] for k in keys), file
            array = "k_%s_%d" % (re.sub(r"\W", "_", name), index)
            arrays[protocol].append((array, "".join('    {0x%x, "%s", %d},\n' % k for k in keys)))
            rows.append('    {"%s", "%s", "%s", %d, %s, %d},\n' % (name, protocol, variant, line, array, len(keys)))
    source = first + '#include "tool/tables/tables.h"\n\n'
    outputs = {}
    for protocol, name in KEYMAP_FILES.items():
        outputs[name] = (source + "// The keys of the library's keymaps of protocol %s.\n" % protocol +
                         "\n".join("extern const library_key_t %s[] = {\n%s};\n" % a for a in arrays[protocol]))
    declared = "".join("extern const library_key_t %s[];\n" % a[0]
                       for protocol in KEYMAP_FILES for a in arrays[protocol])
    outputs["keymap_library.cpp"] = (
        source + "// Each keymap's keys, in the file of its protocol.\n" + declared + "\n"
        "// The keymaps of the Linux keymap library that the receiver can take, by name, each\n"
        "// protocol in the file's order: facts only, for import and learn without the library.\n"
        "const library_keymap_t k_library_keymaps[] = {\n" + "".join(rows) + "};\n"
        "const int k_library_keymap_count = sizeof(k_library_keymaps) / sizeof(k_library_keymaps[0]);\n")
    return outputs
