# SPDX-License-Identifier: Apache-2.0
"""The examples of layout-search.tsv as folder trees, for the test of the tool's choice.

Each example is read as the facts write it: clauses joined by "; ", each "CONDITIONS: RESULT",
the conditions naming files ("PATH is a directory", "NAME in DIR, DIR and DIR", "PATH fails",
".idc keyboard.layout = NAME", "input_device.config_file.apex=VALUE", ...) and the result the
file Android takes ("PATH", "the APEX one", "the _fallback file", "layout PATH, character map
NAME", "no layout", ...). The .idc syntax rows quote file contents ("'TEXT' gives VALUE", "'TEXT'
is an error"). Every tree is a box's: Generic.kl and Generic.kcm in /system/usr unless the
example says otherwise. A clause that cannot be read so is listed, with why, and not tested.
"""
import re

DEVICE = "orvex-ir-uinput"
GOOD_KL = "key 1 POWER\n"
BAD_KL = "key 1 NOT_AN_ANDROID_LABEL\n"
NEEDS_CONFIG_KL = "requires_kernel_config CONFIG_NOT_ON_THIS_KERNEL\nkey 1 POWER\n"
GOOD_KCM = "type FULL\n"
FOLDER = "/"  # the content that makes a folder
IDC = "/vendor/usr/idc/%s.idc" % DEVICE
BASE = {"/system/usr/keylayout/Generic.kl": GOOD_KL, "/system/usr/keychars/Generic.kcm": GOOD_KCM}
PATH = r"/[\w./<>#=-]+"
NAME = r"[\w.#=-]+\.(?:kl|kcm|idc)"


class Unconvertible(Exception):
    pass


def outside(text, sep):
    """text split at sep where it stands outside quotes and brackets."""
    parts, depth, quoted, start, i = [], 0, False, 0, 0
    while i < len(text):
        c = text[i]
        if c == "'":
            quoted = not quoted
        elif not quoted and c == "(":
            depth += 1
        elif not quoted and c == ")":
            depth -= 1
        elif not quoted and depth == 0 and text.startswith(sep, i):
            parts.append(text[start:i])
            i += len(sep)
            start = i
            continue
        i += 1
    return parts + [text[start:]]


def default_path(name):
    """A file named without its folder: the device's own in /vendor, Android's in /system."""
    kind = {"kl": "keylayout", "kcm": "keychars", "idc": "idc"}[name.rsplit(".", 1)[1]]
    own = name.startswith(DEVICE) and not name.startswith(DEVICE + "_fallback")
    return "%s/usr/%s/%s" % ("/vendor" if own else "/system", kind, name)


def place(name, folder):
    """name in a folder of the search: a prefix ("/vendor/usr", "/system") gets its kind's."""
    folder = folder.rstrip("/")
    kind = {"kl": "keylayout", "kcm": "keychars", "idc": "idc"}[name.rsplit(".", 1)[1]]
    if not folder.endswith("/" + kind):
        folder += ("" if folder.endswith("/usr") else "/usr") + "/" + kind
    return folder + "/" + name


def file_of(word):
    return word if word.startswith("/") else default_path(word)


def content(verb):
    if re.search(r"(is )?a directory", verb):
        return FOLDER
    if re.search(r"fails?( to load)?|both fail", verb):
        return BAD_KL
    if "kernel config the kernel lacks" in verb:
        return NEEDS_CONFIG_KL
    if re.fullmatch(r"(is )?(a )?good( file)?|loads|exists?|present", verb):
        return None  # good, by the kind of file
    raise Unconvertible("condition: " + verb)


def good(path):
    return GOOD_KCM if path.endswith(".kcm") else GOOD_KL


def read_conditions(text, case):
    files = case["files"]
    pending = []  # paths whose verb comes later ("A and B present")
    listing = None  # "NAME in DIR, DIR and DIR"

    def settle(paths, data):
        for p in paths:
            files[p] = good(p) if data is None else data

    items = [i for part in outside(text, ", ") for i in outside(part, " and ")]
    for item in items:
        item = re.sub(r" \(vendor 0\)$", "", item.strip())
        m = None
        if re.fullmatch(r"uinput '[^']*'|BUS_HOST|(vendor|product|version) \d+|no \.idc|name \S+|"
                        r"key layout|prefix \S+", item):
            continue
        if item == "nothing at all":
            files.clear()
            continue
        if item == "no .kcm anywhere":
            for p in [p for p in files if p.endswith(".kcm")]:
                del files[p]
            continue
        if item == "property unset":
            case["apex"] = ""
            continue
        if re.fullmatch(r"without (the _fallback file|it)", item):
            for p in [p for p in files if "_fallback" in p]:
                del files[p]
            continue
        if item == "none present":
            for p in [p for p in files if p.rsplit("/", 1)[1] == DEVICE + ".kl"]:
                del files[p]
            continue
        if re.search(r"vendor 0x|Vendor_|unset|empty name|device name", item):
            raise Unconvertible("another device or environment: " + item)
        if item == "the same key twice (even with the same value)":
            files[IDC] = "keyboard.layout = twice\nkeyboard.layout = twice\n"
            continue
        m = re.fullmatch(r"input_device\.config_file\.apex=(\S+)", item)
        if m:
            case["apex"] = m.group(1)
            continue
        m = re.fullmatch(r"(?:\.idc )?keyboard\.layout = (\S+)(?: \(or [^)]*\))?", item)
        if m:
            files[IDC] = "keyboard.layout = %s\n" % m.group(1)
            continue
        m = re.fullmatch(r"'(keyboard\.layout =[^']*)'", item)
        if m:
            files[IDC] = m.group(1) + "\n"
            continue
        m = re.fullmatch(r"(%s) with '([^']*)'" % PATH, item)
        if m:
            files[m.group(1)] = m.group(2) + "\n"
            continue
        m = re.fullmatch(r"(%s) has an error" % PATH, item)
        if m:
            files[m.group(1)] = "keyboard.layout = named_by_a_rejected_idc\n= no key\n"
            files[default_path("named_by_a_rejected_idc.kl")] = GOOD_KL
            continue
        m = re.fullmatch(r"(%s) is good" % (PATH + r"\.idc"), item)
        if m:
            files[m.group(1)] = "keyboard.layout = named_by_an_idc_not_looked_for\n"
            files[default_path("named_by_an_idc_not_looked_for.kl")] = GOOD_KL
            continue
        m = re.fullmatch(r"(?:only )?(%s) in (.+?)(?: \(each under usr/keylayout\))?" % NAME, item)
        if m:
            listing = m.group(1)
            settle([place(listing, m.group(2))], None)
            continue
        m = re.fullmatch(r"(%s) both in (%s)" % (NAME, PATH), item)
        if m:
            names = [p.rsplit("/", 1)[1] for p in pending] + [m.group(1)]
            settle([place(n, m.group(2)) for n in names], None)
            pending = []
            continue
        m = re.fullmatch(r"(%s)(?: \(each under usr/keylayout\))?" % PATH, item)
        if m and listing and not m.group(1).endswith((".kl", ".kcm", ".idc")):
            settle([place(listing, m.group(1))], None)
            continue
        m = re.fullmatch(r"(?:only )?(%s|%s)(?: (.+))?" % (PATH, NAME), item)
        if m and (m.group(1).endswith((".kl", ".kcm", ".idc"))):
            listing = None
            if m.group(2) is None:
                pending.append(file_of(m.group(1)))
                continue
            data = content(m.group(2))
            settle(pending + [file_of(m.group(1))], data)
            pending = []
            continue
        raise Unconvertible("condition: " + item)
    settle(pending, None)


def in_tree(case, test):
    found = [p for p in case["files"] if test(p) and case["files"][p] != FOLDER]
    if len(found) != 1:
        raise Unconvertible("result names no one file of the tree")
    return found[0]


def read_result(text, case):
    files = case["files"]
    device_kl = lambda p: p.rsplit("/", 1)[1] == DEVICE + ".kl"
    m = re.fullmatch(r"layout (%s)(?:, character map (%s)|, status NAME_NOT_FOUND)" % (PATH, NAME), text)
    if m:
        case["layout"] = m.group(1)
        case["kcm"] = in_tree(case, lambda p: p.endswith("/" + m.group(2))) if m.group(2) else ""
        return
    if text == "both used":
        case["layout"] = in_tree(case, device_kl)
        case["kcm"] = in_tree(case, lambda p: p.endswith("/%s.kcm" % DEVICE))
        return
    m = re.fullmatch(r"(%s) with (%s)" % (NAME, NAME), text)
    if m:
        case["layout"] = in_tree(case, lambda p: p.endswith("/" + m.group(1)))
        case["kcm"] = in_tree(case, lambda p: p.endswith("/" + m.group(2)))
        return
    if text == "no layout":
        case["layout"] = ""
        return
    if text == "neither applies":
        case["idc"] = 1
        return
    m = re.fullmatch(r"rejected(, keyboard\.layout does not apply)?", text)
    if m:
        case["idc"] = 1
        return
    m = re.match(r"the device's own (%s)" % PATH, text)
    if m:
        files.setdefault(m.group(1), GOOD_KL)
        case["layout"] = m.group(1)
        return
    m = re.search(r"goes on to (%s)" % NAME, text)
    if m:
        case["layout"] = default_path(m.group(1))
        return
    m = re.fullmatch(r"(%s) is never read" % PATH, text)
    if m:
        case["layout"] = "!" + in_tree(case, lambda p: p.startswith(m.group(1) + "/") and device_kl(p))
        return
    m = re.fullmatch(r"(%s) is ignored and the next step runs" % NAME, text)
    if m:
        case["layout"] = "!" + in_tree(case, lambda p: p.endswith("/" + m.group(1)))
        return
    shortcuts = {
        "the APEX one": lambda p: p.startswith("/apex/") and device_kl(p),
        "the /product one": lambda p: p.startswith("/product/") and device_kl(p),
        "that file": device_kl,
        "the _fallback file": lambda p: p.endswith("_fallback.kl"),
    }
    for words, test in shortcuts.items():
        if text == words or text.startswith(words + " ("):
            case["layout"] = in_tree(case, test)
            return
    m = re.match(r"(%s\.kl)\b" % PATH, text)
    if m:
        files.setdefault(m.group(1), GOOD_KL)
        case["layout"] = m.group(1)
        return
    m = re.fullmatch(r"(%s)" % NAME, text)
    if m:
        case["layout"] = in_tree(case, lambda p: p.endswith("/" + m.group(1)))
        return
    raise Unconvertible("result: " + text)


def quoted_idcs(text):
    """An .idc syntax clause: each quoted text a file of its own, or "'A' then 'B'" one file."""
    return [q.replace("' then '", "\n") for q in re.findall(r"'((?:[^']|' then ')*)'", text)]


def read_idc_clause(text, example_bytes, converted):
    """'TEXT' gives VALUE / 'TEXT', 'TEXT' and 'TEXT' are fine / ... is an error / are errors."""
    m = re.fullmatch(r"(.*?) (gives|is fine|are fine|is accepted|is an error|are errors)\b(.*)", text)
    if not m or "'" not in m.group(1) and not m.group(1).startswith("a 0-byte"):
        raise Unconvertible("not an .idc's text: " + text)
    texts = quoted_idcs(m.group(1)) if "'" in m.group(1) else [""]
    cases = []
    for idc in texts:
        idc = example_bytes(idc)
        case = {"files": dict(BASE), "apex": "", "layout": None, "kcm": None,
                "idc": 1 if "error" in m.group(2) else 0}
        case["files"][IDC] = idc + ("" if idc.endswith("\n") or "without a final newline" in text else "\n") if idc else ""
        value = re.fullmatch(r" '?([^' ]+)'?", m.group(3))
        if m.group(2) == "gives" and value and not m.group(3).startswith(" the key"):
            # The versions of names.other that convert the value look for its converted name.
            for name, versions in ((value.group(1), ~converted), (canonical(value.group(1)), converted)):
                named = dict(case, files=dict(case["files"]), versions=versions)
                path = "/system/usr/keylayout/%s.kl" % name
                named["files"][path] = GOOD_KL
                named["layout"] = path
                cases.append(named)
        else:
            cases.append(case)
    return cases


def canonical(name):
    """names.canonical: every byte but an ASCII letter, digit, '-' or '_' becomes '_'."""
    return re.sub(r"[^A-Za-z0-9_-]", "_", name)


def example_cases(row, example_bytes, converted):
    """The folder trees of a row's example and the files Android takes there, and the clauses
    that could not be turned into one, with why."""
    cases, skipped = [], []
    clauses = outside(row["example"], "; ")
    # A clause of conditions alone ("no .idc") belongs to the next.
    merged = []
    for clause in clauses:
        if merged and ": " not in merged[-1] and "'" not in merged[-1] and not merged[-1].endswith("looked for"):
            merged[-1] += ", " + clause
        else:
            merged.append(clause)
    previous = None
    for clause in merged:
        try:
            if row["rule"].startswith("device."):
                raise Unconvertible("what EventHub makes of the device, before any file is chosen")
            if row["rule"] == "dirs.env-unset":
                raise Unconvertible("an environment that init always sets on a device")
            if re.match(r"\d+\.0\.0_r", clause) or clause == "-":
                raise Unconvertible("a later release of the version, or no example")
            head = outside(clause, ": ")
            if len(head) == 1 and "'" in clause:
                cases += read_idc_clause(clause, example_bytes, converted)
                continue
            unended = re.fullmatch(r"'([^']*)' without a final newline", head[0])
            if head[0] == "a 0-byte .idc" or unended:
                case = {"files": dict(BASE), "apex": "", "layout": None, "kcm": None, "idc": 0}
                case["files"][IDC] = unended.group(1) if unended else ""
                if head[1] != "accepted with no keys":
                    path = default_path(head[1] + ".kl")  # a name that no version converts
                    case["files"][path] = GOOD_KL
                    case["layout"] = path
                cases.append(case)
                continue
            if len(head) == 1:
                paths = re.findall(r"%s\.kl" % PATH, clause)
                if not paths or re.search(r"looked for|reached only|host harness|a \.kl with", clause):
                    raise Unconvertible("no file Android takes: " + clause)
                # Paths alone: each is found when it is there alone.
                for p in paths:
                    cases.append({"files": dict(BASE, **{p: GOOD_KL}), "apex": "", "layout": p,
                                  "kcm": None, "idc": -1})
                continue
            conditions, result = head[0], ": ".join(head[1:])
            if result.startswith("only "):
                raise Unconvertible("which names are looked for, not which file is taken")
            starts_anew = not re.match(r"(property unset|without|none present)", conditions)
            case = {"files": dict(BASE), "apex": "", "layout": None, "kcm": None, "idc": -1}
            if not starts_anew:
                if previous is None:
                    raise Unconvertible("refers to a case before it: " + clause)
                case = {"files": dict(previous["files"]), "apex": previous["apex"],
                        "layout": None, "kcm": None, "idc": -1}
            if "'" in conditions and re.search(r"' then '", conditions):
                idc = quoted_idcs(conditions)[0]
                case["files"][IDC] = example_bytes(idc) + "\n"
            else:
                read_conditions(conditions, case)
            read_result(result.split(", and ")[0] if result.startswith("/") else result, case)
            cases.append(case)
            previous = case
        except Unconvertible as e:
            skipped.append("%s %s: %s" % (row["rule"], row["versions"], e))
    return cases, skipped


def write_test_table(rows, example_bytes, c_string, first_line, rule_versions, converted):
    """The test's table of trees: its header and its rows, one a line, each tree given by what it
    changes of BASE; the clauses left out named there by reason.
    converted: the versions that convert an .idc's names (names.other)."""
    lines, left_out = [], {}
    for r in rows:
        cases, skipped = example_cases(r, example_bytes, converted)
        for clause in skipped:
            rule, reason = clause.split(": ", 1)
            left_out.setdefault(reason.split(": ")[0], []).append(rule)
        for c in cases:
            changed = sorted([(p, "-") for p in BASE if p not in c["files"]] +
                             [(p, d) for p, d in c["files"].items() if BASE.get(p) != d])
            files = "".join("%s, %s, " % (c_string(p), c_string(d)) for p, d in changed)
            lines.append("    {%s, 0x%x, {%snullptr}, %s, %s, %s, %d},\n" % (
                c_string(r["rule"]), rule_versions(r["versions"]) & c.get("versions", ~0), files, c_string(c["apex"]),
                "nullptr" if c["layout"] is None else c_string(c["layout"]),
                "nullptr" if c["kcm"] is None else c_string(c["kcm"]), c["idc"]))
    source = "../shared/keys/android-versions/layout-search.tsv"
    header = (first_line(source) + "#pragma once\n\n"
              "// The examples of the facts of Android's choice of a device's files, each as a folder\n"
              "// tree and what the versions of its row take there.\n"
              "struct layout_search_row_t {\n"
              "    const char *rule;\n"
              "    unsigned versions;  // bit v: Android v\n"
              "    // Box paths and their contents, in pairs, up to a null, as they change the base\n"
              "    // tree: the content \"/\" makes a folder, \"-\" takes the base's file away.\n"
              "    const char *files[16];\n"
              "    const char *apex;  // the value of the APEX property, \"\" unset\n"
              "    // The layout and character map taken, as box paths: \"\" none, \"!PATH\" any but PATH,\n"
              "    // null not said.\n"
              "    const char *layout;\n"
              "    const char *kcm;\n"
              "    int idc_rejected;  // 1 the .idc is rejected, 0 it is taken, -1 not said\n"
              "};\n"
              "// The tree of every row before its changes, in pairs up to a null: the box's own Generic\n"
              "// files.\n"
              "extern const char *const k_layout_search_base[];\n"
              "extern const layout_search_row_t k_layout_search_rows[];\n"
              "extern const int k_layout_search_row_count;\n")
    base = "".join("%s, %s, " % (c_string(p), c_string(d)) for p, d in sorted(BASE.items()))
    table = (first_line(source) +
             "//\n// Clauses of the examples that are no folder tree of this device, and so not here:\n" +
             "".join("// - %s: %s\n" % (reason, ", ".join(rules)) for reason, rules in left_out.items()) +
             '#include "tool/android/layout_search_table.h"\n\n'
             "const char *const k_layout_search_base[] = {" + base + "nullptr};\n"
             "// One example a line.\n// clang-format off\n"
             "const layout_search_row_t k_layout_search_rows[] = {\n" + "".join(lines) + "};\n"
             "// clang-format on\n"
             "const int k_layout_search_row_count = sizeof(k_layout_search_rows) / sizeof(k_layout_search_rows[0]);\n")
    return header, table
