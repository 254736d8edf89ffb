#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Writes the tool's generated tables from their sources, then formats them.

    python3 tool/tables/gen_tables.py [--labels TSV] [--versions DIR] [--meanings TSV]
                                      [--header H]

- linux_key_names.cpp and linux_key_codes.cpp from <linux/input-event-codes.h>;
- android_key_labels.cpp from the Linux key code -> Android label TSV (the facts of
  Android's generic key layout);
- android_reader_facts.cpp from the facts of each Android version's key layout reader
  (../shared/keys/android-versions): the labels, flags, keywords, axis, LED and sensor words it
  accepts, with the versions that accept each, and the versions of each rule by which the
  readers differ; tests/tool/android/reader_rules_table.h and .cpp from those rules with an
  example each, for the reader's test; generic_kl.cpp from Generic.kl as the versions there
  ship it;
- android_layout_search.cpp from the facts of how each version chooses a device's files
  (layout-search.tsv): the folders it searches, in order, and the versions of each rule by
  which the choices differ; tests/tool/android/layout_search_table.h and .cpp from the rows'
  examples, each turned into a folder tree and the file Android takes there, for the test of
  the tool's choice;
- remote_key_labels.cpp from the TSV of the Android labels of keys whose meaning on a
  remote differs from a keyboard's (the kernel's standard for IR keymaps);
The tables are checked in, so that a build needs none of these sources. The Linux keymap
library is not among them: the tool reads it at run time (third_party/rc_keymaps/).
"""
import argparse
import os
import re
import subprocess
import sys

from gen_android import (write_android_versions, write_generic_kl, write_layout_search,
                         write_layout_search_test, write_reader_rules_test)
from gen_common import ROOT, TABLES, first_line


def linux_keys(header):
    """Every KEY_ and BTN_ name with its code, aliases resolved, in the header's order."""
    values = {}
    order = []
    for line in open(header):
        m = re.match(r"#define\s+((?:KEY|BTN)_\w+)\s+(\w+)", line)
        if not m:
            continue
        name, value = m.groups()
        if value in values:
            code = values[value]
        else:
            try:
                code = int(value, 0)
            except ValueError:
                continue
        values[name] = code
        order.append(name)
    # KEY_MIN_INTERESTING and KEY_MAX describe the range, not a key.
    return [(n, values[n]) for n in order if n not in ("KEY_MIN_INTERESTING", "KEY_MAX", "KEY_CNT")]


def write_key_names(keys, header):
    first = {}
    for name, code in keys:
        if name.startswith("KEY_") and code < 256 and code not in first:
            first[code] = name
    rows = "".join('    "%s",\n' % first[c] if c in first else "    nullptr,\n" for c in range(256))
    return (first_line(header) +
            '#include "tool/tables/tables.h"\n\nnamespace {\n\n'
            "// Linux key names of the codes 0 to 255 (the first name each has in\n"
            "// <linux/input-event-codes.h>); the standard scancodes are these key codes on the\n"
            "// virtual keyboard.\n"
            "const char *const k_linux_key_names[256] = {\n" + rows + "};\n\n}  // namespace\n\n"
            "const char *linux_key_name(int code) {\n"
            "    if (code < 0 || code > 255 || k_linux_key_names[code] == nullptr) {\n"
            '        return "-";\n    }\n    return k_linux_key_names[code];\n}\n')


def write_key_codes(keys, header):
    rows = "".join('    {"%s", %d},\n' % (n, c) for n, c in sorted(keys))
    return (first_line(header) +
            '#include "tool/tables/tables.h"\n\n'
            "// Every key and button name of <linux/input-event-codes.h>, aliases included, sorted by\n"
            "// name for a binary search.\n"
            "const linux_key_t k_linux_keys[] = {\n" + rows + "};\n"
            "const int k_linux_key_count = sizeof(k_linux_keys) / sizeof(k_linux_keys[0]);\n")


def label_pairs(tsv):
    """(code, label) of a TSV whose first column is the code and whose last is the label."""
    rows = []
    for line in open(tsv):
        if line.startswith("#") or line.startswith("code\t") or not line.strip():
            continue
        fields = line.rstrip("\n").split("\t")
        rows.append((int(fields[0]), fields[-1]))
    return rows


def label_rows(tsv):
    return "".join('    {%d, "%s"},\n' % r for r in sorted(label_pairs(tsv)))


def write_labels(tsv, table, comment):
    return (first_line(os.path.basename(tsv)) +
            '#include "tool/tables/tables.h"\n\n'
            "// " + comment + ", sorted by code.\n"
            "const android_label_t %s[] = {\n" % table + label_rows(tsv) + "};\n"
            "const int %s_count = sizeof(%s) / sizeof(%s[0]);\n" % (table[:-1], table, table))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--header", default="/usr/include/linux/input-event-codes.h")
    parser.add_argument("--labels", default=os.path.join(ROOT, "../shared/keys/linux-key-to-android-label.tsv"))
    parser.add_argument("--versions", default=os.path.join(ROOT, "../shared/keys/android-versions"))
    parser.add_argument("--meanings", default=os.path.join(ROOT, "../shared/keys/linux-remote-key-meanings.tsv"))
    args = parser.parse_args()
    keys = linux_keys(args.header)
    outputs = {
        "linux_key_names.cpp": write_key_names(keys, "<linux/input-event-codes.h>"),
        "linux_key_codes.cpp": write_key_codes(keys, "<linux/input-event-codes.h>"),
        "android_key_labels.cpp": write_labels(
            args.labels, "k_android_labels", "Linux key code -> the label Android's generic key layout gives it"),
        "android_reader_facts.cpp": write_android_versions(args.versions),
        "generic_kl.cpp": write_generic_kl(args.versions),
        "android_layout_search.cpp": write_layout_search(args.versions),
        "remote_key_labels.cpp": write_labels(
            args.meanings, "k_remote_labels",
            "Linux key code -> the Android label of the key's meaning on a remote, where the generic\n"
            "// layout gives a keyboard's meaning or none"),
    }
    outputs.update(write_reader_rules_test(args.versions))
    outputs.update(write_layout_search_test(args.versions))
    for name, text in outputs.items():
        path = os.path.join(TABLES, name)
        with open(path, "w") as f:
            f.write(text)
        subprocess.run(["clang-format", "-i", path], check=True)
        print("wrote", os.path.relpath(path, ROOT))


if __name__ == "__main__":
    sys.exit(main())
