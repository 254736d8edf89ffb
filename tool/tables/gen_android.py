# SPDX-License-Identifier: Apache-2.0
"""The tables of Android's key layout reader and file choice, version by version, for
gen_tables.py, from the facts of ../shared/keys/android-versions: the reader's words and the
versions of each of its rules, Generic.kl, the folders each version searches, and the tests'
tables of the rules' and the file choice's examples."""
import os
import re

from gen_common import ROOT, first_line
from gen_layout_search import write_test_table

# The reader's test table, and the file choice's, beside their tests.
READER_RULES_TEST = os.path.join(ROOT, "tests", "tool", "android", "reader_rules_table")
LAYOUT_SEARCH_TEST = os.path.join(ROOT, "tests", "tool", "android", "layout_search_table")


def facts(tsv):
    """The rows of a facts TSV as dicts, by its header line."""
    with open(tsv) as f:
        lines = [l.rstrip("\n").split("\t") for l in f if l.strip() and not l.startswith("#")]
    return [dict(zip(lines[0], row)) for row in lines[1:]]


def version_number(text):
    """A version as the facts write it ("12L" is read as 12, as the box's SDK level is)."""
    return int(text.rstrip("L"))


# The nine versions of reader-rules.tsv's `versions` column, in order.
RULE_VERSIONS = ["9", "10", "11", "12", "12L", "13", "14", "15", "16"]


def rule_versions(text):
    """A `versions` cell ("9-13", "12-12L", "9-10,14-16") as a mask, bit v for Android v."""
    mask = 0
    for part in text.split(","):
        first, _, last = part.partition("-")
        span = RULE_VERSIONS[RULE_VERSIONS.index(first):RULE_VERSIONS.index(last or first) + 1]
        for v in span:
            mask |= 1 << version_number(v)
    return mask


def rule_rows(folder):
    """reader-rules.tsv's rows of an Android box: `host` rows describe the fact-checkers' C
    library, not Android's, and never decide a verdict."""
    rows = [r for r in facts(os.path.join(folder, "reader-rules.tsv")) if r["platform"] != "host"]
    for r in rows:
        # 12L reads every file here as 12 does, which lets the tool take 12L as 12.
        span = [v for part in r["versions"].split(",") for v in RULE_VERSIONS[
            RULE_VERSIONS.index(part.split("-")[0]):RULE_VERSIONS.index(part.split("-")[-1]) + 1]]
        assert ("12" in span) == ("12L" in span), r
    return rows


def rule_mask(rows, rule, platform, verdict):
    """The versions of a rule's rows of that platform and verdict."""
    mask = 0
    for r in rows:
        if r["rule"] == rule and r["platform"] == platform and r["verdict"] == verdict:
            mask |= rule_versions(r["versions"])
    assert mask, (rule, platform, verdict)
    return mask


def reader_rules(folder):
    """The versions of each rule by which the readers differ, each checked against the rows of
    the rules that follow from it."""
    rows = rule_rows(folder)
    whole = rule_mask(rows, "num.trailing.key", "any", "refuse")
    for rule in ("usage", "axis", "split", "flat", "led", "led-usage", "vtab"):
        assert rule_mask(rows, "num.trailing." + rule, "any", "refuse") == whole, rule
    zero = rule_mask(rows, "label.axis-unknown", "any", "accept")
    assert rule_mask(rows, "label.led-unknown", "any", "accept") == zero
    return [
        ("k_android_whole_word_numbers", whole,
         "a number must be the whole word, and strtol's ERANGE goes unread; the others read the\n"
         "// leading number and refuse a word without one or out of the long's range"),
        ("k_android_binary_numbers", rule_mask(rows, "num.binary", "device", "accept"),
         "the C library's strtol reads \"0b101\" as binary"),
        ("k_android_unknown_labels_read_as_0", zero,
         "an unknown or missing axis or LED label is read as 0 (X, NUM_LOCK); the others refuse"),
        ("k_android_kernel_configs_checked",
         rule_mask(rows, "line.requires-kernel-config", "device", "refuse"),
         "requires_kernel_config: the file is used only on a kernel with that config"),
    ]


def example_bytes(text):
    """A facts example's bytes: \\n, \\0 and the like stand for them."""
    escapes = {"n": "\n", "r": "\r", "t": "\t", "v": "\v", "f": "\f", "0": "\0", "\\": "\\"}
    return re.sub(r"\\(.)", lambda m: escapes[m.group(1)], text)


def c_string(data):
    """Bytes as a C string literal, each byte that does not print in octal."""
    return '"' + "".join(c if " " <= c <= "~" and c not in '"\\' else "\\%03o" % ord(c)
                         for c in data) + '"'


def write_reader_rules_test(folder):
    """Every row of reader-rules.tsv for an Android box, for the reader's test: its header and
    its table."""
    abis = {"any": 0, "device": 0, "32-bit": 32, "64-bit": 64}
    rows = []
    for r in rule_rows(folder):
        # A row that turns on the kernel: its verdict says whether the kernel has the config.
        kernel = ""
        if r["example"].startswith("requires_kernel_config") and r["platform"] == "device":
            kernel = r["example"].split(" ", 1)[1] if r["verdict"] == "accept" else ""
        example = example_bytes(r["example"])
        rows.append('    {"%s", 0x%x, %d, {%s, %d}, %d, "%s", "%s", %s},\n' % (
            r["rule"], rule_versions(r["versions"]), abis[r["platform"]], c_string(example),
            len(example), r["verdict"] == "accept", kernel, r["read_as"], c_string(r["message"])))
    header = (first_line("../shared/keys/android-versions/reader-rules.tsv") + "#pragma once\n\n"
              "#include <string>\n\n"
              "// Each rule by which Android's key layout readers differ, for a real box, with its\n"
              "// example file and what the versions of the row make of it.\n"
              "struct reader_rule_row_t {\n"
              "    const char *rule;\n"
              "    unsigned versions;  // bit v: Android v\n"
              "    int abi;  // the box's long: 32 or 64 bits; 0 for both\n"
              "    std::string example;\n"
              "    bool accept;\n"
              "    const char *kernel;  // the config the running kernel has, \"\" for none\n"
              "    const char *read_as;  // what is read, in the facts' notation: \"116=POWER axis:1=0\"\n"
              "    const char *message;  // a part of the reader's own message on refusal\n"
              "};\n"
              "extern const reader_rule_row_t k_reader_rule_rows[];\n"
              "extern const int k_reader_rule_row_count;\n")
    table = (first_line("../shared/keys/android-versions/reader-rules.tsv") +
             '#include "tool/android/reader_rules_table.h"\n\n'
             "const reader_rule_row_t k_reader_rule_rows[] = {\n" + "".join(rows) + "};\n"
             "const int k_reader_rule_row_count = sizeof(k_reader_rule_rows) / sizeof(k_reader_rule_rows[0]);\n")
    return {READER_RULES_TEST + ".h": header, READER_RULES_TEST + ".cpp": table}


def write_android_versions(folder):
    sources = os.path.join(folder, "sources.tsv")
    versions = sorted({version_number(r["version"]) for r in facts(sources)})

    def row(word, code, r):
        return '    {"%s", %s, %d, %d},\n' % (
            word, code, version_number(r["first_version"]),
            version_number(r["last_version"]) if r["last_version"] else 0)

    def rows(tsv, key, code):
        return "".join(row(r[key], code(r), r)
                       for r in sorted(facts(os.path.join(folder, tsv)), key=lambda r: r[key]))

    def named(tsv, code, kind=None):
        """A table's words in its file's order (by value), for lists in messages."""
        return "".join(row(r["label"], r[code], r) for r in facts(os.path.join(folder, tsv))
                       if kind is None or r["kind"] == kind)

    def table(name, count, body, comment):
        return ("// %s\nconst android_word_t %s[] = {\n%s};\n"
                "const int %s = sizeof(%s) / sizeof(%s[0]);\n\n" % (comment, name, body, count, name, name))

    rules = "".join("// %s\nconst unsigned %s = 0x%x;\n" % (comment, name, mask)
                    for name, mask, comment in reader_rules(folder))

    keywords = "".join(
        '    {"%s", "%s", %d, %d},\n' % (r["context"], r["keyword"], version_number(r["first_version"]),
                                       version_number(r["last_version"]) if r["last_version"] else 0)
        for r in sorted(facts(os.path.join(folder, "keywords.tsv")), key=lambda r: (r["context"], r["keyword"])))
    return (first_line("../shared/keys/android-versions") +
            '#include "tool/tables/tables.h"\n\n'
            "// The Android versions whose key layout reader is known here.\n"
            "const int k_android_oldest = %d;\n"
            "const int k_android_newest = %d;\n\n"
            "// Every key label some version's reader accepts in a key line, with its key code and\n"
            "// the versions that accept it (last 0: up to the newest), sorted by label.\n"
            "const android_word_t k_android_key_labels[] = {\n" % (versions[0], versions[-1]) +
            rows("labels.tsv", "label", lambda r: r["keycode"]) + "};\n"
            "const int k_android_key_label_count =\n"
            "    sizeof(k_android_key_labels) / sizeof(k_android_key_labels[0]);\n\n"
            "// The key flags, likewise.\n"
            "const android_word_t k_android_key_flags[] = {\n" +
            rows("flags.tsv", "flag", lambda r: "0") + "};\n"
            "const int k_android_key_flag_count = sizeof(k_android_key_flags) / sizeof(k_android_key_flags[0]);\n\n"
            "// The words the reader compares against, by where it meets them: a line's first word\n"
            "// (line), or a word within a key, led or axis line.\n"
            "const android_keyword_t k_android_keywords[] = {\n" + keywords + "};\n"
            "const int k_android_keyword_count = sizeof(k_android_keywords) / sizeof(k_android_keywords[0]);\n\n" +
            table("k_android_axes", "k_android_axis_count", named("axes.tsv", "axis"),
                  "Axis labels (axis lines, also after invert and split) with their axis value.") +
            table("k_android_leds", "k_android_led_count", named("leds.tsv", "led"), "LED labels with their LED value.") +
            table("k_android_sensor_types", "k_android_sensor_type_count", named("sensors.tsv", "value", "type"),
                  "Sensor types with their value: 12 names those from 8 on only by number (\"08\").") +
            table("k_android_sensor_indexes", "k_android_sensor_index_count", named("sensors.tsv", "value", "data_index"),
                  "A sensor's data index.") +
            "// The versions (bit v: Android v) of each rule by which the readers of an Android box\n"
            "// differ, for both word sizes; the versions not named follow the other reading.\n" + rules)


def write_generic_kl(folder):
    generic = facts(os.path.join(folder, "generic-kl.tsv"))
    versions = [c for c in generic[0].keys() if c != "scancode"]

    def label(cell):
        return cell.split(" ")[0]

    rows = "".join(
        "    {%d, {%s}},\n" % (int(r["scancode"], 0), ", ".join('"%s"' % label(r[v]) for v in versions))
        for r in sorted(generic, key=lambda r: int(r["scancode"], 0)))
    return (first_line("../shared/keys/android-versions/generic-kl.tsv") +
            '#include "tool/tables/tables.h"\n\n'
            "// Generic.kl's label for each scancode it maps, as these versions ship it (\"\": unmapped).\n"
            "const int k_generic_kl_versions[k_generic_kl_version_count] = {%s};\n"
            "const generic_kl_key_t k_generic_kl[] = {\n" % ", ".join(versions) + rows + "};\n"
            "const int k_generic_kl_count = sizeof(k_generic_kl) / sizeof(k_generic_kl[0]);\n")


# A folder of the search as the facts write it: a box path, the environment's, or the APEX folder
# a system property names.
SEARCH_PREFIX = re.compile(r"/apex/[^/ ]+/etc/usr/|\$ANDROID_ROOT/usr/|\$ANDROID_DATA/system/devices/"
                           r"|/[a-z_]+/usr/")


def search_rows(folder, rule):
    return [r for r in facts(os.path.join(folder, "layout-search.tsv")) if r["rule"] == rule]


def search_mask(folder, rule, start):
    """The versions of the rows of a rule whose behaviour begins with start."""
    mask = 0
    for r in search_rows(folder, rule):
        mask |= rule_versions(r["versions"]) if r["behaviour"].startswith(start) else 0
    assert mask, (rule, start)
    return mask


def search_folders(folder):
    """Each group of versions with its folders in search order, as box paths: the environment's
    prefixes as init sets them on a device."""
    env = dict(re.findall(r"(ANDROID_\w+)=(/\w+)", search_rows(folder, "dirs.env-device")[0]["behaviour"]))
    groups = []
    for r in search_rows(folder, "dirs.order"):
        prefixes = []
        for m in SEARCH_PREFIX.finditer(r["behaviour"]):
            p = re.sub(r"\$(ANDROID_\w+)", lambda e: env[e.group(1)], m.group(0))
            if p not in prefixes:
                prefixes.append(p)
        groups.append((rule_versions(r["versions"]), prefixes))
    return groups


def write_layout_search(folder):
    groups = search_folders(folder)
    assert sum(m for m, _ in groups) == rule_versions("9-16"), groups
    prop = re.search(r"system property ([\w.]+)", search_rows(folder, "dirs.order")[-1]["behaviour"])
    fallback = search_mask(folder, "fallback.search", "When a found layout fails")
    # A _fallback follows every failing layout alike: one found by name, Generic's, Virtual's.
    assert search_mask(folder, "keymap.load-fails", "A found layout that fails to load is replaced") == fallback
    assert search_mask(folder, "keymap.generic-fails", "When steps (1) and (2) loaded no layout and Generic.kl is found") == fallback
    canonical = search_mask(folder, "names.other", "Every name searched is converted")
    rows = "".join('    {0x%x, {%s, nullptr}},\n' % (mask, ", ".join('"%s"' % p for p in prefixes))
                   for mask, prefixes in groups)
    return (first_line("../shared/keys/android-versions/layout-search.tsv") +
            '#include "tool/tables/tables.h"\n\n'
            "// The folders each group of versions searches for a device's .idc, .kl and .kcm, in\n"
            "// order (bit v: Android v); \"<value>\" stands for the system property's value, and\n"
            "// that folder is searched only while the property is set.\n"
            "const android_search_folders_t k_android_search_folders[] = {\n" + rows + "};\n"
            "const int k_android_search_folder_count =\n"
            "    sizeof(k_android_search_folders) / sizeof(k_android_search_folders[0]);\n"
            'const char k_android_apex_property[] = "%s";\n\n' % prop.group(1) +
            "// A layout found that fails to load is replaced by the device's _fallback layout when\n"
            "// that one loads.\n"
            "const unsigned k_android_layout_fallback = 0x%x;\n" % fallback +
            "// The .idc's keyboard.layout and keyboard.characterMap are converted as the device's\n"
            "// name is; the others append them as written.\n"
            "const unsigned k_android_idc_names_converted = 0x%x;\n" % canonical)


def write_layout_search_test(folder):
    """The file choice's test table: each example of layout-search.tsv as a folder tree."""
    header, table = write_test_table(facts(os.path.join(folder, "layout-search.tsv")), example_bytes,
                                     c_string, first_line, rule_versions,
                                     search_mask(folder, "names.other", "Every name searched is converted"))
    return {LAYOUT_SEARCH_TEST + ".h": header, LAYOUT_SEARCH_TEST + ".cpp": table}
