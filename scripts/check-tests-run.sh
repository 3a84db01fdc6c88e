#!/usr/bin/env bash
# Every test in the tree runs in the suite: each GoogleTest binary's tests, listed by the
# binary itself, against the filters of the ctest entries that run it. A test no entry's
# filter matches would never run.
#   scripts/check-tests-run.sh [BUILD]   default build/
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
ctest --test-dir "$build" --show-only=json-v1 >"$build/tests.json"
python3 - "$build" <<'PY'
import fnmatch, json, os, subprocess, sys
build = sys.argv[1]
entries, envs = {}, {}
for t in json.load(open(f"{build}/tests.json"))["tests"]:
    cmd = t["command"]
    flt = next((a.split("=", 1)[1] for a in cmd[1:] if a.startswith("--gtest_filter=")), "*")
    entries.setdefault(cmd[0], []).append(flt)
    for p in t.get("properties", []):
        if p["name"] == "ENVIRONMENT":
            envs[cmd[0]] = dict(v.split("=", 1) for v in p["value"])

def matches(name, flt):
    pos, _, neg = flt.partition("-")
    hit = lambda pats: any(fnmatch.fnmatchcase(name, p) for p in pats.split(":") if p)
    return hit(pos or "*") and not hit(neg)

missing = []
for exe, filters in sorted(entries.items()):
    out = subprocess.run([exe, "--gtest_list_tests"], capture_output=True, text=True,
                         check=True, env={**os.environ, **envs.get(exe, {})}).stdout
    suite = ""
    for line in out.splitlines():
        if not line.startswith(" "):
            suite = line.split("#")[0].strip()
        else:
            name = suite + line.split("#")[0].strip()
            if not any(matches(name, f) for f in filters):
                missing.append(f"{exe.rsplit('/', 1)[-1]}: {name}")
if missing:
    print("tests no ctest entry runs:\n  " + "\n  ".join(missing))
    sys.exit(1)
print(f"every test runs: {sum(len(f) for f in entries.values())} ctest entries over "
      f"{len(entries)} binaries")
PY
