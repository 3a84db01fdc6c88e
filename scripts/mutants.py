#!/usr/bin/env python3
"""Mutation testing of what changed: plants one small fault at a time in the lines of FILEs that
changed since a base revision, rebuilds, runs the suite, and says which faults no test caught.

  scripts/mutants.py FILE... [--base REV] [--sample N] [--seed S] [--build DIR] [--tests REGEX]
                             [--target T]...

Operators: a flipped comparison, a moved boundary (< to <=), a constant plus or minus one,
&& to || and back, a negated condition, a dropped call statement. A mutant that does not compile
counts for nothing. The file is restored after every mutant, even when interrupted."""

import argparse
import random
import re
import signal
import subprocess
import sys
from pathlib import Path

# Operators stand between spaces (clang-format sees to it); template brackets do not.
SWAPS = [(r" <= ", " > "), (r" >= ", " < "), (r" == ", " != "), (r" != ", " == "),  # flipped
         (r" < ", " > "), (r" > ", " < "),
         (r" < ", " <= "), (r" > ", " >= "),  # moved boundaries
         (r" && ", " || "), (r" \|\| ", " && ")]
CALL = re.compile(r"^\s*[\w:.>\-]+\s*(<[^;]*>)?\([^;]*\);\s*$")  # a statement that is one call


def changed_lines(path, base):
    diff = subprocess.run(["git", "diff", "-U0", base, "--", path], capture_output=True,
                          text=True, check=True).stdout
    lines = set()
    for m in re.finditer(r"^@@ -\S+ \+(\d+)(?:,(\d+))? @@", diff, re.M):
        start, count = int(m.group(1)), int(m.group(2) or 1)
        lines.update(range(start, start + count))
    return lines


def code_spans(line):
    """The parts of a line outside string and character literals and comments."""
    spans, i, start = [], 0, 0
    while i < len(line):
        if line.startswith("//", i):
            break
        if line[i] in "\"'":
            spans.append((start, i))
            quote, i = line[i], i + 1
            while i < len(line) and line[i] != quote:
                i += 2 if line[i] == "\\" else 1
            start = i + 1
        i += 1
    spans.append((start, min(i, len(line))))
    return spans


def mutants_of(line):
    text = line.rstrip("\n")
    stripped = text.strip()
    if not stripped or stripped.startswith(("#", "//", "*", "/*")):
        return []
    out = []
    for a, b in code_spans(text):
        part = text[a:b]
        for pattern, replacement in SWAPS:
            for m in re.finditer(pattern, part):
                out.append(text[:a + m.start()] + replacement + text[a + m.end():])
        for m in re.finditer(r"(?<![\w.])(\d+)(?![\w.])", part):
            n = int(m.group(1))
            for v in (n + 1, n - 1):
                if v >= 0:
                    out.append(text[:a + m.start()] + str(v) + text[a + m.end():])
    cond = re.match(r"^(\s*(?:\} else )?(?:if|while) \()(.*)(\)\s*\{?)$", text)
    if cond:
        out.append(f"{cond.group(1)}!({cond.group(2)}){cond.group(3)}")
    if CALL.match(text) and not re.match(r"^\s*(return|delete|throw)\b", text):
        out.append("")  # the call dropped
    return [m + "\n" for m in out if m != text]


def run(cmd):
    return subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("files", nargs="+")
    ap.add_argument("--base", default="HEAD")
    ap.add_argument("--sample", type=int, default=30)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--build", default="build")
    ap.add_argument("--tests", default="", help="only the CTest entries matching this")
    ap.add_argument("--target", action="append", default=[],
                    help="build only this target (and what it needs); repeatable")
    args = ap.parse_args()
    candidates = []
    for f in args.files:
        lines = Path(f).read_text().splitlines(keepends=True)
        for n in sorted(changed_lines(f, args.base)):
            if n <= len(lines):
                candidates += [(f, n, lines[n - 1], m) for m in mutants_of(lines[n - 1])]
    random.Random(args.seed).shuffle(candidates)
    chosen = candidates[:args.sample]
    print(f"{len(candidates)} mutants of the changed lines; trying {len(chosen)}", flush=True)
    test = ["ctest", "--test-dir", args.build, "-j4", "--timeout", "300"] + \
        (["-R", args.tests] if args.tests else [])
    build = ["cmake", "--build", args.build] + [x for t in args.target for x in ("--target", t)]
    killed, survived, stillborn = 0, [], 0
    for i, (f, n, original, mutant) in enumerate(chosen, 1):
        path = Path(f)
        saved = path.read_text()
        restore = lambda *_: path.write_text(saved)  # noqa: E731
        old = {sig: signal.signal(sig, lambda *a: (restore(), sys.exit(130)))
               for sig in (signal.SIGINT, signal.SIGTERM)}
        try:
            lines = saved.splitlines(keepends=True)
            lines[n - 1] = mutant
            path.write_text("".join(lines))
            if run(build) != 0:
                stillborn += 1
                verdict = "does not build"
            elif run(test) != 0:
                killed += 1
                verdict = "killed"
            else:
                survived.append((f, n, original.strip(), mutant.strip() or "(dropped)"))
                verdict = "SURVIVED"
        finally:
            restore()
            for sig, handler in old.items():
                signal.signal(sig, handler)
        print(f"[{i}/{len(chosen)}] {f}:{n}: {verdict}", flush=True)
    run(["cmake", "--build", args.build])
    tried = killed + len(survived)
    rate = 100 * killed / tried if tried else 100
    print(f"\nkilled {killed} of {tried} ({rate:.0f}%), {stillborn} did not build")
    for f, n, a, b in survived:
        print(f"survived {f}:{n}\n    {a}\n  → {b}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
