#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Start-up cost of locale-probe against the same job done other ways.

Builds the default and static presets, builds the plain-C floor with the
default build's compiler and flags, checks that every peer gives the right
answer, then runs them interleaved (A B C ... A B C ...) and prints, for the
C and C.UTF-8 locales, each peer's median wall time and page faults per run
and the user-space instructions of one run under callgrind, with ratios to
locale-probe.  Run from anywhere:  bench/startup.py [--runs N]
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
LOCALES = {"C": "1", "C.UTF-8": "6"}
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
        elif (w.startswith("-") and w not in ("-c", "-MD") + CXX_ONLY
              and not w.startswith(("-std=", "-I"))):
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


def check(label, argv, env, expected):
    got = subprocess.run(argv, env=env, capture_output=True, text=True).stdout
    if got != expected:
        sys.exit(f"startup: {label} printed {got!r}, not {expected!r}")


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


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--runs", type=int, default=500, help="runs of each peer per locale")
    args = ap.parse_args()

    default = build("default")
    static = build("static")
    floor = build_floor(default)
    table = peers(default, static, floor)
    shuffle = random.Random(1).shuffle

    rows = []
    for loc, value in LOCALES.items():
        # Every peer gets the same environment: LC_ALL for the peers that
        # read the locale there; locale-probe and the floor take the argument.
        env = {"LC_ALL": loc}
        for label, argv, out in table:
            check(label, argv(loc), env, out.format(value))
        runs = {label: [] for label, _, _ in table}
        order = list(table)
        for _ in range(args.runs):
            # Interleaved, in a new order each round: a run after perl finds
            # the caches cold, and no peer should always be the one that pays.
            shuffle(order)
            for label, argv, _ in order:
                runs[label].append(one_run(argv(loc), env))
        for label, argv, _ in table:
            times, faults = zip(*runs[label])
            rows.append((label, loc, statistics.median(times) / 1000,
                         statistics.median(faults), instructions(argv(loc), env)))

    print(f"{'peer':<20} {'locale':<8} {'median us':>10} {'x probe':>8}"
          f" {'faults':>7} {'instructions':>13} {'x probe':>8}")
    base = {loc: (us, ins) for label, loc, us, _, ins in rows if label == "locale-probe"}
    for label, loc, us, faults, ins in rows:
        bus, bins = base[loc]
        ins_text = f"{ins:>13,}" if ins else f"{'n/a':>13}"
        ratio = f"{ins / bins:>8.3f}" if ins and bins else f"{'n/a':>8}"
        print(f"{label:<20} {loc:<8} {us:>10.0f} {us / bus:>8.2f} {faults:>7.0f}"
              f" {ins_text} {ratio}")
    print(f"\n{args.runs} interleaved runs of each: medians of wall time and of page"
          " faults (the child's rusage); instructions from callgrind, one run.")


if __name__ == "__main__":
    main()
