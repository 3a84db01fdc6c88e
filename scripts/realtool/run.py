#!/usr/bin/env python3
"""The real claude tool as a plan subscriber, against the fake API, inside a network namespace
that holds loopback alone (run by scripts/real-tool-subscriber.sh, which makes it).

For each tool given: every case of the table printed by the tool itself, read by
`brimwatch --parse`, and compared with what the fake served; the header-only screens through
`brimwatch --check`; then the running app end to end (usage.json, --status), and the real
interactive tool in tmux with Brimwatch as its status line.
  run.py BRIMWATCH KEEP_DIR TOOL...        (TOOL: VERSION=/path/to/claude.exe)
"""
import datetime as dt
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time
from zoneinfo import ZoneInfo

brimwatch, keep = sys.argv[1], sys.argv[2]
tools = [arg.split("=", 1) for arg in sys.argv[3:]]
here = os.path.dirname(os.path.abspath(__file__))
work = tempfile.mkdtemp(prefix="brimwatch-realtool-")
failures = []
PORT = 8443
HEADER = "You are currently using your subscription to power your Claude Code usage"
UTC = dt.timezone.utc


def sh(*args, **kw):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kw)


# Loopback alone, and nothing else: a request to any other address can't leave.
sh("ip", "link", "set", "lo", "up")
routes = sh("ip", "-o", "link").stdout.strip().splitlines()
if len(routes) != 1 or ": lo:" not in routes[0]:
    sys.exit("run.py must run in a network namespace of its own: " + "; ".join(routes))

# A scratch CA made now, and a certificate for the API's host signed by it.
ca, ca_key = f"{work}/ca.pem", f"{work}/ca.key"
cert, key = f"{work}/host.pem", f"{work}/host.key"
sh("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca_key, "-out", ca,
   "-days", "1", "-subj", "/CN=Brimwatch scratch CA",
   "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign")
sh("openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", f"{work}/host.csr",
   "-subj", "/CN=api.anthropic.com")
with open(f"{work}/ext", "w") as f:
    f.write("subjectAltName=DNS:api.anthropic.com\nextendedKeyUsage=serverAuth\n")
sh("openssl", "x509", "-req", "-in", f"{work}/host.csr", "-CA", ca, "-CAkey", ca_key,
   "-CAcreateserial", "-out", cert, "-days", "1", "-extfile", f"{work}/ext")

state_path, log_path = f"{work}/state.json", f"{work}/requests.log"


def serve(state):
    with open(state_path + ".new", "w") as f:
        json.dump(state, f)
    os.replace(state_path + ".new", state_path)


serve({})
fake = subprocess.Popen([sys.executable, f"{here}/fakeapi.py", str(PORT), cert, key, state_path,
                         log_path])
time.sleep(0.5)


def config_dir(name, plan="max", env=None):
    """A config folder of the tool's own: made-up credentials, and the way to the fake API."""
    d = f"{work}/{name}"
    os.makedirs(d)
    expires = int((time.time() + 90 * 86400) * 1000)
    with open(f"{d}/.credentials.json", "w") as f:
        json.dump({"claudeAiOauth": {
            "accessToken": "sk-ant-oat01-made-up", "refreshToken": "sk-ant-ort01-made-up",
            "expiresAt": expires,
            "scopes": ["user:inference", "user:profile", "user:sessions:claude_code"],
            "subscriptionType": plan,
            "rateLimitTier": "default_claude_pro" if plan == "pro" else "default_claude_max_20x"}},
            f)
    os.chmod(f"{d}/.credentials.json", 0o600)
    settings = {"env": {"HTTPS_PROXY": f"http://127.0.0.1:{PORT}", "NODE_EXTRA_CA_CERTS": ca,
                        "DISABLE_TELEMETRY": "1", "DISABLE_AUTOUPDATER": "1"}}
    settings["env"].update(env or {})
    with open(f"{d}/settings.json", "w") as f:
        json.dump(settings, f, indent=2)
    return d


def clean_env(home, **extra):
    env = {"HOME": home, "PATH": "/usr/bin:/bin", "LANG": "en_US.UTF-8",
           "USER": os.environ.get("USER", "root")}
    env.update(extra)
    return env


# ---- the case table --------------------------------------------------------------------

def minute(t):
    return dt.datetime.fromtimestamp(int(t) // 60 * 60, UTC)


def iso(t):
    return None if t is None else t.isoformat()


def local(zone):
    return ZoneInfo(zone) if zone else dt.datetime.now().astimezone().tzinfo


def resets(zone):
    """The resets of the table, as instants, for a tool printing in this zone."""
    now = time.time()
    tz = local(zone)
    today = dt.datetime.now(tz)
    midnight = (today + dt.timedelta(days=1)).replace(hour=0, minute=0, second=0, microsecond=0)
    later = minute((now + 3900 + midnight.timestamp()) / 2) if midnight.timestamp() - now > 7200 \
        else minute(now + 2400)
    tomorrow = (today + dt.timedelta(days=1)).replace(hour=9, minute=5, second=0, microsecond=0)
    whole = (today + dt.timedelta(hours=3)).replace(minute=0, second=0, microsecond=0)
    # In July next year: across the change to summer time wherever the zone has one.
    year = dt.datetime(today.year + 1, 7, 15, 18, 30, tzinfo=tz)
    return {"within the hour": minute(now + 17 * 60), "later today": later,
            "tomorrow": tomorrow.astimezone(UTC), "in six days": minute(now + 6 * 86400 + 611),
            "at a whole hour": whole.astimezone(UTC), "next year": year.astimezone(UTC),
            "none": None}


# Each case: its name, the zone the tool prints in (None: the system's), the plan, and the
# windows served: (field, percent, reset name) and, for the server's model rows, ("Fable", ...).
CASES = [
    ("levels 0 · 37.5 · 79.9", "UTC", "max",
     [("five_hour", 0, "within the hour"), ("seven_day", 37.5, "in six days"),
      ("seven_day_sonnet", 79.9, "in six days")]),
    ("levels 80 · 94.9 · 95", "Asia/Kolkata", "max",
     [("five_hour", 80, "later today"), ("seven_day", 94.9, "tomorrow"),
      ("seven_day_sonnet", 95, "tomorrow")]),
    ("levels 99.9 · 100", "America/Los_Angeles", "max",
     [("five_hour", 99.9, "at a whole hour"), ("seven_day", 100, "in six days")]),
    ("decimals everywhere", "Europe/Berlin", "max",
     [("five_hour", 12.34, "within the hour"), ("seven_day", 0.5, "later today"),
      ("seven_day_sonnet", 66.66, "in six days")]),
    ("a reset next year, across summer time", "Europe/Berlin", "max",
     [("five_hour", 3, "within the hour"), ("seven_day", 41.5, "next year")]),
    ("no resets", "UTC", "max",
     [("five_hour", 0, "none"), ("seven_day", 0, "none")]),
    ("the system's zone", None, "max",
     [("five_hour", 45, "later today"), ("seven_day", 61.2, "tomorrow"),
      ("seven_day_sonnet", 7, "tomorrow")]),
    ("a model's own week", "Asia/Kolkata", "max",
     [("five_hour", 20, "within the hour"), ("seven_day", 50, "in six days"),
      ("Fable", 33.3, "in six days")]),
    ("the pro plan", "America/Los_Angeles", "pro",
     [("five_hour", 88.8, "later today"), ("seven_day", 14, "in six days"),
      ("seven_day_sonnet", 9, "in six days")]),
]

TITLES = {"five_hour": "Session", "seven_day": "Week · all models",
          "seven_day_sonnet": "Week · Sonnet only"}


def usage_answer(windows, at):
    answer = {"five_hour": None, "seven_day": None, "seven_day_oauth_apps": None,
              "seven_day_opus": None, "seven_day_sonnet": None,
              "extra_usage": {"is_enabled": False, "monthly_limit": None, "used_credits": None,
                              "utilization": None}}
    rows = []
    for field, percent, reset in windows:
        window = {"utilization": percent, "resets_at": iso(at[reset])}
        if field in TITLES:
            answer[field] = window
        else:
            rows.append({"kind": "weekly_scoped", "group": "weekly", "percent": percent,
                         "resets_at": iso(at[reset]), "scope": {"model": {"display_name": field}},
                         "severity": "normal", "is_active": False})
    if rows:
        answer["limits"] = rows
    return answer


# The server's own model rows (its "limits" list) are printed since 2.1.3xx; 2.1.197 leaves
# them out.
MODEL_ROWS_SINCE = (2, 1, 300)


def expected_rows(windows, at, plan, version="9.9.9"):
    rows = []
    for field, percent, reset in windows:
        if field == "seven_day_sonnet" and plan == "pro":
            continue  # the tool shows Sonnet's own week on max and team plans only
        if field not in TITLES and tuple(map(int, version.split("."))) < MODEL_ROWS_SINCE:
            continue
        title = TITLES.get(field, "Week · " + field)
        when = at[reset]
        rows.append((title, float(math.floor(percent)),
                     when.strftime("%Y-%m-%d %H:%M:%S +0000") if when else None))
    return rows


def parsed_rows(text):
    """`brimwatch --parse` lines as (title, percent, UTC reset or None)."""
    rows = []
    for line in text.splitlines():
        title, percent, reset = line.split(" | ")
        when = reset[reset.index("(") + 1:-1] if reset.startswith("in ") else None
        rows.append((title, float(percent.rstrip("%")), when))
    return rows


def run_tool(exe, cfg, zone, home):
    """The tool run as the app runs it (cfg None: its default folder), both streams as one."""
    env = clean_env(home, NO_COLOR="1")
    if cfg:
        env["CLAUDE_CONFIG_DIR"] = cfg
    if zone:
        env["TZ"] = zone
    return subprocess.run([exe, "-p", "/usage", "--model", "usage-check-only",
                           "--no-session-persistence", "--strict-mcp-config"],
                          env=env, cwd=home, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, timeout=60).stdout


def fail(what):
    failures.append(what)
    print("  FAILED " + what)


def keep_screen(name, screen, windows, at, plan, version):
    """The screen verbatim, and what the unit tests expect of it: the moment it was read, then
    "title | percent | reset text | UTC instant" per row."""
    with open(f"{keep}/{name}.txt", "w") as f:
        f.write(screen)
    texts = [line.split(" · resets ", 1)[1] if " · resets " in line else "-"
             for line in screen.splitlines() if "% used" in line]
    rows = expected_rows(windows, at, plan, version)
    with open(f"{keep}/{name}.expected", "w") as f:
        f.write(dt.datetime.now(UTC).strftime("now: %Y-%m-%dT%H:%M:%SZ\n"))
        for (title, percent, when), text in zip(rows, texts):
            instant = when.replace(" +0000", "Z").replace(" ", "T") if when else "-"
            f.write(f"{title} | {percent:g} | {text} | {instant}\n")


def check_screens(version, exe):
    home = f"{work}/home-{version}"
    os.makedirs(home)
    for n, (name, zone, plan, windows) in enumerate(CASES):
        at = resets(zone)
        serve({"plan": plan, "usage": usage_answer(windows, at)})
        cfg = config_dir(f"{version}-case{n}", plan)
        screen = run_tool(exe, cfg, zone, home)
        keep_screen(f"{version}-{n:02d}", screen, windows, at, plan, version)
        parsed = subprocess.run([brimwatch, "--parse"], input=screen, capture_output=True,
                                text=True, env=clean_env(home, TZ="Pacific/Auckland")).stdout
        want = expected_rows(windows, at, plan, version)
        got = parsed_rows(parsed) if not parsed.startswith("no rows") else []
        verdict = "ok" if got == want else "FAILED"
        print(f"  {verdict:6} {name} ({zone or 'system zone'}, {plan})")
        if got != want:
            fail(f"{version} {name}: served {want}, read {got}\n    the tool printed: "
                 + screen.replace("\n", "\n    "))


def check_header_only(version, exe):
    """The tool prints its subscription line alone: Brimwatch says why, in each situation."""
    cases = [("the usage request fails (429)", {"usageStatus": 429}, {}, "this time"),
             ("the usage request fails (500)", {"usageStatus": 500}, {}, "this time"),
             ("nonessential traffic is off", {}, {"CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC": "1"},
              "CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC")]
    for n, (name, state, env, needle) in enumerate(cases):
        at = resets("UTC")
        serve(dict({"plan": "max", "usage": usage_answer([("five_hour", 5, "within the hour")],
                                                         at)}, **state))
        home = f"{work}/home-{version}-header{n}"
        os.makedirs(f"{home}/.local/bin")
        os.symlink(exe, f"{home}/.local/bin/claude")
        cfg = config_dir(f"{version}-header{n}", env=env)
        os.rename(cfg, f"{home}/.claude")
        screen = run_tool(exe, None, "UTC", home)
        with open(f"{keep}/{version}-header-only-{n}.txt", "w") as f:
            f.write(screen)
        said = subprocess.run([brimwatch, "--check"], capture_output=True, text=True,
                              env=clean_env(home)).stdout.strip()
        parsed = subprocess.run([brimwatch, "--parse"], input=screen, capture_output=True,
                                text=True, env=clean_env(home)).stdout.strip()
        ok = (HEADER in screen.splitlines() and needle in said and HEADER not in said
              and "this time" in parsed and "CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC" in parsed)
        print(f"  {'ok' if ok else 'FAILED':6} {name}: {said}")
        if not ok:
            fail(f"{version} {name}: the tool printed {screen!r}; --check said {said!r}; "
                 f"--parse said {parsed!r}")


def wait(what, test, seconds=60):
    end = time.time() + seconds
    while time.time() < end:
        got = test()
        if got:
            return got
        time.sleep(0.25)
    fail("waited in vain for " + what)
    return None


def usage_json(home):
    try:
        with open(f"{home}/.local/share/Brimwatch/usage.json") as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def rows_of(doc):
    return [(l["title"], float(l["percent"]), l.get("resetsAt")) for l in doc.get("limits", [])]


# What the fake reports for every reply: what the transcripts must hold, and the breakdown sum.
TOKENS = {"input_tokens": 120, "output_tokens": 45, "cache_creation_input_tokens": 300,
          "cache_read_input_tokens": 2000}


def check_transcripts(version, home, project, env, app_too):
    """What the real tool wrote of its replies, as --breakdown and the app count it."""
    replies = {}
    for folder, _, names in os.walk(f"{home}/.claude/projects"):
        for name in names:
            for line in open(os.path.join(folder, name)):
                d = json.loads(line)
                if d.get("type") == "assistant":
                    usage = d["message"]["usage"]
                    counts = replies.setdefault(d["message"]["id"], dict.fromkeys(TOKENS, 0))
                    for k in TOKENS:
                        counts[k] = max(counts[k], usage.get(k, 0))
    served = all(c == TOKENS for c in replies.values()) and replies
    r = subprocess.run([brimwatch, "--breakdown", "--json", "--window", "1d"], env=env,
                       capture_output=True, text=True)
    rows = json.loads(r.stdout)["rows"] if r.returncode == 0 else []
    want = [{"key": project, "messages": len(replies),
             **{k: v * len(replies) for k, v in zip(
                 ["inputTokens", "outputTokens", "cacheWriteTokens", "cacheReadTokens"],
                 TOKENS.values())}}]
    got = [{k: row[k] for k in want[0]} for row in rows]
    ok = served and got == want
    print(f"  {'ok' if ok else 'FAILED':6} --breakdown of its transcripts: {len(replies)} "
          f"replies, {got}")
    if not ok:
        fail(f"{version} the transcripts held {replies}; --breakdown said {r.stdout!r} "
             f"{r.stderr!r}")
    if app_too:  # the app's own update follows its readings, a minute apart at most
        doc = wait("the app's projects in usage.json",
                   lambda: (d := usage_json(home)) and d.get("projects", {}).get("session"), 90)
        ok = bool(doc) and doc[0]["path"] == project and doc[0]["share"] == 1
        print(f"  {'ok' if ok else 'FAILED':6} the app's projects: {doc}")
        if not ok:
            fail(f"{version} usage.json's projects: {doc}")


def check_app(version, exe, last=False):
    """The running app end to end: the tool's reading into usage.json and --status; then the
    real interactive tool, with Brimwatch as its status line, answering a prompt."""
    home = f"{work}/app-{version}"
    project = f"{home}/project"
    os.makedirs(f"{home}/.local/bin")
    os.makedirs(project)
    os.makedirs(f"{home}/run", mode=0o700)
    os.symlink(exe, f"{home}/.local/bin/claude")
    os.rename(config_dir(f"app-config-{version}"), f"{home}/.claude")
    with open(f"{home}/.claude.json", "w") as f:  # past the first start's questions
        json.dump({"hasCompletedOnboarding": True, "theme": "dark", "numStartups": 3,
                   "projects": {project: {"hasTrustDialogAccepted": True,
                                          "hasCompletedProjectOnboarding": True}}}, f)
    at = resets(None)
    windows = [("five_hour", 37.5, "later today"), ("seven_day", 62.25, "in six days"),
               ("seven_day_sonnet", 8, "in six days")]
    now = time.time()
    session_reset, week_reset = int(now + 3 * 3600), int(now + 5 * 86400)
    serve({"plan": "max", "usage": usage_answer(windows, at),
           "ratelimit": {"5h": [0.999, session_reset], "7d": [0.415, week_reset]},
           "tokens": TOKENS})
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    address = bus.stdout.readline().strip()
    env = clean_env(home, DBUS_SESSION_BUS_ADDRESS=address, XDG_RUNTIME_DIR=f"{home}/run",
                    QT_QPA_PLATFORM="offscreen")
    app = subprocess.Popen([brimwatch], env=env, cwd=home, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
    tmux = ["tmux", "-L", f"brimwatch-{version}"]
    try:
        want = [(t, p, w.replace(" +0000", "Z").replace(" ", "T") if w else None)
                for t, p, w in expected_rows(windows, at, "max")]
        doc = wait("the app's first reading", lambda: usage_json(home))
        got = rows_of(doc) if doc else []
        status = subprocess.run([brimwatch, "--status"], env=env, capture_output=True,
                                text=True).stdout
        ok = [(t, p) for t, p, _ in got] == [(t, p) for t, p, _ in want] \
            and [w for *_, w in got] == [w for *_, w in want] and status.startswith("Session | 37.0% | in ")
        print(f"  {'ok' if ok else 'FAILED':6} the app's reading: {status.splitlines()[:1]}")
        if not ok:
            fail(f"{version} the app read {got}, served {want}; --status said {status!r}")

        # Brimwatch as the status line of the real interactive tool, from an installed
        # command: --force, since this one is in a build tree.
        refused = subprocess.run([brimwatch, "--statusline", "--install"], env=env,
                                 capture_output=True, text=True)
        installed = subprocess.run([brimwatch, "--statusline", "--install", "--force"], env=env,
                                   capture_output=True, text=True)
        if refused.returncode != 1 or "--force" not in refused.stderr or installed.returncode:
            fail(f"{version} --statusline --install: {refused.stderr!r}, then {installed!r}")
        tool_env = " ".join(f"{k}={v}" for k, v in dict(env, TERM="xterm-256color").items()
                            if k != "QT_QPA_PLATFORM")
        subprocess.run(tmux + ["new-session", "-d", "-x", "150", "-y", "40", "-c", project,
                               f"env -i {tool_env} {exe}"], check=True)
        pane = lambda: subprocess.run(tmux + ["capture-pane", "-p"], capture_output=True,
                                      text=True).stdout
        wait("the interactive tool's prompt", lambda: "❯" in pane())
        subprocess.run(tmux + ["send-keys", "say hello"], check=True)
        time.sleep(0.5)
        subprocess.run(tmux + ["send-keys", "Enter"], check=True)
        line = wait("the status line with the server's figures",
                    lambda: next((l.strip() for l in pane().splitlines() if "week 41%" in l), None))
        doc = wait("the app's reading from the status line",
                   lambda: (d := usage_json(home)) and rows_of(d)[:2] == [
                       ("Session", 99.0, iso(dt.datetime.fromtimestamp(session_reset, UTC))
                        .replace("+00:00", "Z")),
                       ("Week · all models", 41.0,
                        iso(dt.datetime.fromtimestamp(week_reset, UTC)).replace("+00:00", "Z"))]
                   and d)
        status = subprocess.run([brimwatch, "--status"], env=env, capture_output=True,
                                text=True).stdout
        ok = bool(line and line.startswith("◔ 99% · ") and doc and status.startswith("Session | 99.0% | in "))
        print(f"  {'ok' if ok else 'FAILED':6} the status line: {line!r}; "
              f"--status: {status.splitlines()[:1]}")
        if not ok:
            fail(f"{version} the status line: {line!r}, usage.json {doc}, --status {status!r}\n"
                 + pane())
        check_transcripts(version, home, project, env, last)
    finally:
        subprocess.run(tmux + ["kill-server"], capture_output=True)
        app.terminate()
        app.wait(10)
        bus.kill()


for version, exe in tools:
    print(f"claude {version}, as a plan subscriber:")
    check_screens(version, exe)
    check_header_only(version, exe)
    check_app(version, exe, version == tools[-1][0])

with open(log_path) as f:
    refused = sorted({line.split()[-1] for line in f if line.startswith("REFUSED")})
if refused:  # the interactive tool's extras (plugins, downloads): refused, and no way out
    print("refused, as everything but Claude's API: " + ", ".join(refused))
fake.kill()
shutil.rmtree(work)
print("all cases read exactly" if not failures else f"{len(failures)} failed")
sys.exit(1 if failures else 0)
