#!/usr/bin/env bash
# What used the plan, at a heavy user's size: about 1 GB of Claude Code's transcripts in tens
# of thousands of files (bench/transcripts-gen.py), read through `brimwatch --breakdown`:
#   - the first indexing: time and peak memory (budget: 4 s, 120 MB)
#   - an unchanged index answering for the session (budget: 0.3 s)
#   - one reply appended: counted at the next call
#   - the app's resident memory with the index in use, against the same app without
#     transcripts (budget: 5 MB more)
#   bench/transcripts.sh [BUILD_DIR] [SIZE_MB] [CACHE_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
size=${2:-1024}
cache=${3:-/tmp/brimwatch-transcripts-$size}
exe=$build/src/app/brimwatch
work=$(mktemp -d)
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

if [[ ! -f $cache/totals.json ]]; then # made once, kept for the next run
    rm -rf "$cache"
    mkdir -p "$cache"
    /usr/bin/python3 bench/transcripts-gen.py "$cache/projects" "$size" > "$cache/totals.json.new"
    mv "$cache/totals.json.new" "$cache/totals.json"
fi
mkdir -p "$work/home/.claude"
cp -r "$cache/projects" "$work/home/.claude/projects" # a copy: appends go there
export HOME=$work/home XDG_RUNTIME_DIR=$work/run TZ=UTC
unset XDG_CONFIG_HOME XDG_DATA_HOME
mkdir -m 700 "$work/run"
sync
find "$work/home/.claude/projects" -type f -exec cat {} + >/dev/null # the page cache, warm

measure() { /usr/bin/time -f "%e %M" "$exe" --breakdown "$@" 2>&1 >"$work/out" | tail -1; }
read -r first peak < <(measure --window 30d --json)
cp "$work/out" "$work/first.json"
files=$(find "$work/home/.claude/projects" -type f | wc -l)
bytes=$(du -sb "$work/home/.claude/projects" | cut -f1)
read -r again _ < <(measure)
read -r week _ < <(measure --window week)
echo "transcripts: $files files, $((bytes >> 20)) MB; expected $(cat "$cache/totals.json")"
/usr/bin/python3 - "$work/first.json" "$cache/totals.json" <<'PY'
import json, sys
rows = json.load(open(sys.argv[1]))["rows"]
want = json.load(open(sys.argv[2]))
got = {"replies": sum(r["messages"] for r in rows),
       "input_tokens": sum(r["inputTokens"] for r in rows),
       "output_tokens": sum(r["outputTokens"] for r in rows),
       "cache_creation_input_tokens": sum(r["cacheWriteTokens"] for r in rows),
       "cache_read_input_tokens": sum(r["cacheReadTokens"] for r in rows)}
print("counted exactly" if all(got[k] == want[k] for k in got) else f"MISCOUNTED: {got}")
PY
echo "first indexing:       ${first} s, peak $((peak / 1024)) MB (budget 4 s, 120 MB)"
echo "unchanged, session:   ${again} s (budget 0.3 s)"
echo "unchanged, week:      ${week} s"

# One reply appended: counted at the next call.
file=$(find "$work/home/.claude/projects" -name '*.jsonl' -print -quit)
stamp=$(date -u +%Y-%m-%dT%H:%M:%S.000Z)
printf '{"cwd":"/bench/appended","sessionId":"s","message":{"id":"msg_appended","model":"claude-sonnet-4-5","usage":{"input_tokens":7,"output_tokens":3}},"requestId":"r","type":"assistant","timestamp":"%s"}\n' "$stamp" >> "$file"
read -r appended _ < <(measure --json)
grep -q '"/bench/appended"' "$work/out" && echo "one appended reply:   counted, ${appended} s" ||
    echo "one appended reply:   NOT COUNTED"

# The app, with and without transcripts to index: its resident memory once the index is in use.
rss_of() { # HOME, then what to wait for
    local home=$1
    mkdir -p "$home/.local/bin"
    printf '#!/bin/sh\necho "Current session: 42%% used · resets %s (UTC)"\n' \
        "$(date -u -d '+3 hours' '+%-I:%M%P')" > "$home/.local/bin/claude"
    chmod +x "$home/.local/bin/claude"
    local bus
    bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
    pids+=("${bus##*$'\n'}")
    HOME=$home QT_QPA_PLATFORM=offscreen DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*} \
        "$exe" >/dev/null 2>&1 &
    local app=$!
    pids+=($app)
    local usage=$home/.local/share/Brimwatch/usage.json
    for _ in $(seq 600); do
        if [[ $2 == projects ]]; then
            grep -q '"session":\[{' "$usage" 2>/dev/null && break
        else
            [[ -f $usage ]] && break
        fi
        sleep 0.1
    done
    sleep 5
    awk '/VmRSS/ {print $2}' "/proc/$app/status"
    kill "$app" "${bus##*$'\n'}" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
}
mkdir -p "$work/bare/.claude"
bare=$(rss_of "$work/bare" reading)
with=$(rss_of "$work/home" projects)
echo "the app:              $((bare / 1024)) MB without transcripts, $((with / 1024)) MB with the index in use: $(((with - bare) / 1024)) MB more (budget 5 MB)"
