#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Start-up cost of locale-probe against the same job done other ways.

Builds the default and static presets, builds the plain-C floor with the
default build's compiler and flags, compiles the locales the tests use into
a folder, checks that every peer gives the right answer, then runs them
interleaved, in a new order each round, and prints each peer's median wall
time and page faults and the user-space instructions under callgrind, with
ratios to locale-probe, for: C; C.UTF-8; a locale from the system's locale
archive; one from a folder (LOCPATH); and a loop that probes every one of
these in turn, as a script probing many locales does.
Run from anywhere:  bench/startup.py [--runs N] [--archive-locale NAME]
"""

import argparse
import os
import random
import re
import shlex
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
# The folder locales: what tests/make-locales.sh makes, and their values.
FOLDER_LOCALES = {"ja_JP.EUC-JP": "3", "zh_CN.GB18030": "4", "zh_TW.BIG5": "2",
                  "de_DE.ISO-8859-1": "1", "en_US.UTF-8": "6"}
CXX_ONLY = ("-Wold-style-cast", "-Wuseless-cast")


def sh(*argv, **kw):
    return subprocess.run(argv, check=True, **kw)


def build(preset):
    sh("cmake", "--preset", preset, cwd=ROOT, stdout=subprocess.DEVNULL)
    sh("cmake", "--build", "--preset", preset, "--target", "locale-probe",
       cwd=ROOT, stdout=subprocess.DEVNULL)
    return ROOT / "build" / preset


def options(command):
    """The compiler and the options of one compile or link command."""
    words = shlex.split(command.replace(": && ", "").replace(" && :", ""))
    kept, skip = [], False
    for w in words[1:]:
        if skip:
            skip = False
        elif w in ("-o", "-MT", "-MF"):
            skip = True
        # Dependency files are the build's bookkeeping, named relative to
        # its folder (newer CMake writes one at the link too).
        elif (w.startswith("-") and w not in ("-c", "-MD") + CXX_ONLY
              and not w.startswith(("-std=", "-I", "-Wl,--dependency-file="))):
            kept.append(w)
    return words[0], kept


def c_driver(cxx):
    """The C driver beside a C++ one: g++ -> gcc, clang++ -> clang."""
    name = Path(cxx).name
    c = {"g++": "gcc", "c++": "cc"}.get(name, name.replace("++", ""))
    return str(Path(cxx).with_name(c))


def build_floor(build_dir):
    """The floor, compiled and linked with what locale-probe's own build used."""
    commands = subprocess.run(["ninja", "-C", str(build_dir), "-t", "commands", "locale-probe"],
                              check=True, capture_output=True, text=True).stdout.splitlines()
    cxx, cflags = options(next(c for c in commands if "src/locale-probe.cpp" in c))
    _, ldflags = options(commands[-1])
    out = build_dir / "bench" / "floor"
    out.parent.mkdir(exist_ok=True)
    sh(c_driver(cxx), *cflags, *ldflags, "-o", str(out), str(ROOT / "bench" / "floor.c"))
    return out


def peers(default, static, floor):
    """Each peer: (label, argv for a locale, expected stdout for a value)."""
    perl = shutil.which("perl")
    locale = shutil.which("locale")
    found = [
        ("locale-probe", lambda l: [str(default / "locale-probe"), l], "{}\n"),
        ("floor (plain C)", lambda l: [str(floor), l], "{}\n"),
        ("locale-probe static", lambda l: [str(static / "locale-probe"), l], "{}\n"),
    ]
    if locale:
        found.append(("locale -k", lambda l: [locale, "-k", "ctype-mb-cur-max"],
                      "ctype-mb-cur-max={}\n"))
    if perl:
        found.append(("perl -MPOSIX", lambda l: [perl, "-MPOSIX", "-e",
                                                  'print MB_CUR_MAX, "\\n"'], "{}\n"))
    return found


def make_folder_locales():
    """The tests' locales, compiled once into a folder for LOCPATH."""
    folder = ROOT / "build" / "bench" / "locales"
    sh("sh", str(ROOT / "tests" / "make-locales.sh"), str(folder))
    return folder


def cases(archive_locale, folder):
    """Each case: (label, environment beside LC_ALL, [(locale, value)])."""
    into_folder = {"LOCPATH": str(folder)}
    folder_locales = list(FOLDER_LOCALES.items())
    return [
        ("C", {}, [("C", "1")]),
        ("C.UTF-8", {}, [("C.UTF-8", "6")]),
        (f"archive {archive_locale}", {}, [(archive_locale, "6")]),
        ("folder ja_JP.EUC-JP", into_folder, folder_locales[:1]),
        (f"loop of {len(folder_locales) + 2}", into_folder,
         [("C", "1"), ("C.UTF-8", "6")] + folder_locales),
    ]


def check(label, argv, env, expected):
    got = subprocess.run(argv, env=env, capture_output=True, text=True).stdout
    if got != expected:
        sys.exit(f"startup: {label} printed {got!r}, not {expected!r}"
                 f" (environment {env})")


def check_archive_locale(probe, name):
    """The archive case needs a UTF-8 locale that the system's archive has."""
    got = subprocess.run([str(probe), name], env={}, capture_output=True, text=True).stdout
    if got != "6\n":
        sys.exit(f"startup: {name} is not a UTF-8 locale of this system:"
                 " make it with locale-gen (uncomment its line in /etc/locale.gen),"
                 " or name a UTF-8 locale of the archive with --archive-locale")


def one_run(argv, env):
    """Wall time in ns and the child's page faults, minor and major."""
    devnull = [(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)]
    start = time.perf_counter_ns()
    pid = os.posix_spawn(argv[0], argv, env, file_actions=devnull)
    _, _, usage = os.wait4(pid, 0)
    return time.perf_counter_ns() - start, usage.ru_minflt + usage.ru_majflt


def instructions(argv, env):
    run = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null",
                          *argv], env=env, capture_output=True, text=True)
    m = re.search(r"Collected : (\d+)", run.stderr)
    return int(m.group(1)) if m else None


def measure(table, locales, extra_env, runs):
    """For each peer: (median wall us, median faults, instructions) of one
    pass over the locales, each probed by a process of its own."""
    # Every peer gets the same environment: LC_ALL for the peers that read
    # the locale there; locale-probe and the floor take the argument.
    envs = [dict(extra_env, LC_ALL=loc) for loc, _ in locales]
    for label, argv, out in table:
        for (loc, value), env in zip(locales, envs):
            check(label, argv(loc), env, out.format(value))
    passes = {label: [] for label, _, _ in table}
    order = list(table)
    shuffle = random.Random(1).shuffle
    for _ in range(runs):
        # Interleaved, in a new order each round: a run after perl finds
        # the caches cold, and no peer should always be the one that pays.
        shuffle(order)
        for label, argv, _ in order:
            one = [one_run(argv(loc), env) for (loc, _), env in zip(locales, envs)]
            passes[label].append((sum(t for t, _ in one), sum(f for _, f in one)))
    result = {}
    for label, argv, _ in table:
        times, faults = zip(*passes[label])
        counts = [instructions(argv(loc), env) for (loc, _), env in zip(locales, envs)]
        result[label] = (statistics.median(times) / 1000, statistics.median(faults),
                         sum(counts) if None not in counts else None)
    return result


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--runs", type=int, default=500, help="runs of each peer per case")
    ap.add_argument("--archive-locale", default="en_US.UTF-8",
                    help="a UTF-8 locale in the system's locale archive"
                         " (locale-gen makes it)")
    args = ap.parse_args()

    default = build("default")
    check_archive_locale(default / "locale-probe", args.archive_locale)
    static = build("static")
    floor = build_floor(default)
    folder = make_folder_locales()
    table = peers(default, static, floor)

    print(f"{'peer':<20} {'case':<22} {'median us':>10} {'x probe':>8}"
          f" {'faults':>7} {'instructions':>13} {'x probe':>8}")
    for case, extra_env, locales in cases(args.archive_locale, folder):
        result = measure(table, locales, extra_env, args.runs)
        bus, _, bins = result["locale-probe"]
        for label, _, _ in table:
            us, faults, ins = result[label]
            ins_text = f"{ins:>13,}" if ins else f"{'n/a':>13}"
            ratio = f"{ins / bins:>8.3f}" if ins and bins else f"{'n/a':>8}"
            print(f"{label:<20} {case:<22} {us:>10.0f} {us / bus:>8.2f} {faults:>7.0f}"
                  f" {ins_text} {ratio}")
    print(f"\n{args.runs} interleaved runs of each: medians of wall time and of page"
          " faults (the child's rusage); instructions from callgrind, one run.\n"
          "A loop row adds up one process per locale.")


if __name__ == "__main__":
    main()
