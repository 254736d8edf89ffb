#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""What reading the Linux keymap library at run time costs dravoke-keymap, as whole processes,
side by side with a build that carried the library compiled in (by default the last such
commit), in one run: `import --list`, and `learn` up to its first prompt (answered at once with
q). The copy installed with the tool is read as on a box, with ir-keytable's folders hidden in a
private mount namespace (root); then ir-keytable's TOML folder, as on a Linux host. Runs are
interleaved, so that the machine's noise falls on both builds alike; prints medians and ratios.

    sudo python3 bench/library_bench.py [--baseline REV] [--runs N]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
# The last commit whose dravoke-keymap carried the library compiled in.
BASELINE = "aa010ac"
HOST_FOLDERS = ["/etc/rc_keymaps", "/lib/udev/rc_keymaps", "/usr/lib/udev/rc_keymaps"]
STANDARD = "".join("key %d %s\n" % k for k in [
    (116, "POWER"), (113, "VOLUME_MUTE"), (103, "DPAD_UP"), (108, "DPAD_DOWN"), (105, "DPAD_LEFT"),
    (106, "DPAD_RIGHT"), (28, "DPAD_CENTER"), (158, "BACK"), (102, "HOME"), (139, "MENU"),
    (115, "VOLUME_UP"), (114, "VOLUME_DOWN"), (11, "0"), (2, "1"), (3, "2"), (4, "3"), (5, "4"),
    (6, "5"), (7, "6"), (8, "7"), (9, "8"), (10, "9"), (402, "CHANNEL_UP"), (403, "CHANNEL_DOWN"),
    (164, "MEDIA_PLAY_PAUSE"), (166, "MEDIA_STOP"), (168, "MEDIA_REWIND"), (208, "MEDIA_FAST_FORWARD"),
    (407, "MEDIA_NEXT"), (412, "MEDIA_PREVIOUS"), (398, "PROG_RED"), (399, "PROG_GREEN"),
    (400, "PROG_YELLOW"), (401, "PROG_BLUE"), (358, "INFO"), (365, "GUIDE"), (377, "TV")])


def build(source, folder):
    subprocess.run(["cmake", "-S", source, "-B", folder, "-DBUILD_TESTING=OFF"], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", folder, "-j", str(os.cpu_count()), "--target",
                    "dravoke-keymap"], check=True, stdout=subprocess.DEVNULL)
    tool = os.path.join(folder, "dravoke-keymap")
    return os.path.realpath(tool)


def time_once(argv, stdin):
    start = time.perf_counter()
    subprocess.run(argv, input=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def measure(commands, runs):
    """commands: name -> (argv, stdin); interleaved runs; name -> sorted times."""
    times = {name: [] for name in commands}
    for name, (argv, stdin) in commands.items():
        time_once(argv, stdin)  # warm the page cache
    for _ in range(runs):
        for name, (argv, stdin) in commands.items():
            times[name].append(time_once(argv, stdin))
    return times


def report(title, times, pairs):
    print(title)
    for name, t in times.items():
        print("  %-44s median %6.2f ms, fastest %6.2f ms" % (name, statistics.median(t) * 1e3,
                                                            min(t) * 1e3))
    for now, then in pairs:
        print("  %s / %s: %.2fx (median)" % (now, then, statistics.median(times[now]) /
                                             statistics.median(times[then])))


def run(args):
    work = tempfile.mkdtemp(prefix="dravoke-library-bench.")
    try:
        os.makedirs(os.path.join(work, "keylayout"))
        with open(os.path.join(work, "keylayout", "orvex-ir.kl"), "w") as f:
            f.write(STANDARD)
        old_source = os.path.join(work, "then")
        os.makedirs(old_source)
        archive = subprocess.run(["git", "-C", ROOT, "archive", args.baseline], check=True,
                                 stdout=subprocess.PIPE).stdout
        subprocess.run(["tar", "-x", "-C", old_source], input=archive, check=True)
        build_root = os.path.join(ROOT, "build-bench")
        then = build(old_source, os.path.join(build_root, "then"))
        now = build(ROOT, os.path.join(build_root, "now"))
        keylayout = os.path.join(work, "keylayout")

        def commands(label):
            out = tempfile.mkdtemp(dir=work)
            return {
                "import --list, %s" % label: ([now, "import", "--list"], None),
                "learn to its first prompt, %s" % label:
                    ([now, "learn", "--dir", keylayout, "--out", out], b"q\n"),
            }

        base = {
            "import --list, compiled in (%s)" % args.baseline: ([then, "import", "--list"], None),
            "learn to its first prompt, compiled in (%s)" % args.baseline:
                ([then, "learn", "--dir", keylayout, "--out", tempfile.mkdtemp(dir=work)], b"q\n"),
        }
        # The box's path: ir-keytable's folders hidden from both builds.
        script = ("empty=$(mktemp -d); for d in %s; do [ -d $d ] && mount --bind $empty $d; done; "
                  "exec \"$@\"" % " ".join(HOST_FOLDERS))
        if os.geteuid() == 0 and not args.hidden:
            subprocess.run(["unshare", "-m", "sh", "-c", script, "-", sys.executable,
                            os.path.abspath(__file__), "--hidden", "--baseline", args.baseline,
                            "--runs", str(args.runs), "--prebuilt", then, now, keylayout],
                           check=True)
        elif not args.hidden:
            print("(not root: the copy alone cannot be measured, ir-keytable's folders stay)")
        if not args.hidden:
            toml = dict(base)
            toml.update(commands("from ir-keytable's TOML folder"))
            names = list(toml)
            report("On a Linux host, with ir-keytable's TOML folder:", measure(toml, args.runs),
                   [(names[2], names[0]), (names[3], names[1])])
    finally:
        shutil.rmtree(work, ignore_errors=True)


def run_hidden(args):
    then, now, keylayout = args.prebuilt
    out = tempfile.mkdtemp()
    try:
        box = {
            "import --list, compiled in (%s)" % args.baseline: ([then, "import", "--list"], None),
            "learn to its first prompt, compiled in (%s)" % args.baseline:
                ([then, "learn", "--dir", keylayout, "--out", out], b"q\n"),
            "import --list, from the installed copy": ([now, "import", "--list"], None),
            "learn to its first prompt, from the copy": ([now, "learn", "--dir", keylayout, "--out",
                                                          out], b"q\n"),
        }
        names = list(box)
        report("As on a box, ir-keytable's folders hidden (%d runs each):" % args.runs,
               measure(box, args.runs), [(names[2], names[0]), (names[3], names[1])])
    finally:
        shutil.rmtree(out, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--baseline", default=BASELINE)
    parser.add_argument("--runs", type=int, default=200)
    parser.add_argument("--hidden", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--prebuilt", nargs=3, help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.hidden:
        run_hidden(args)
    else:
        run(args)


if __name__ == "__main__":
    sys.exit(main())
