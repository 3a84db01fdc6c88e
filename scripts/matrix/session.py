"""A desktop session of the matrix's own: a temporary home, private D-Bus buses that start only
the services a host names, a fake `claude` that prints what the matrix tells it, and the
Brimwatch under test. Hosts (hosts.py) add a display server and a panel to it."""

import json
import os
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUS_CONF = ROOT / "tests/data/private-bus.conf"
SERVICES = Path("/usr/share/dbus-1/services")

TOOL = """#!/bin/sh
echo "Current session: $(cat "${CLAUDE_CONFIG_DIR:-$HOME}/percent")% used · resets $(cat "$HOME/reset") (UTC)"
echo "Current week (all models): 41% used · resets $(date -u -d '+3 days' '+%b %-d at %-I%P') (UTC)"
"""


def until(condition, timeout=10.0, every=0.1):
    """Polls condition until it gives something true or the time is up; returns the last
    thing it gave."""
    deadline = time.monotonic() + timeout
    while True:
        got = condition()
        if got or time.monotonic() >= deadline:
            return got
        time.sleep(every)


def transcripts(folder, projects):
    """Claude Code's transcripts of a few replies a minute old, in the projects given with
    their input tokens: what used the session, for the panel to say."""
    stamp = time.strftime("%Y-%m-%dT%H:%M:%S.000Z", time.gmtime(time.time() - 60))
    for n, (cwd, tokens) in enumerate(projects.items()):
        f = Path(folder) / "projects" / cwd.replace("/", "-") / f"s{n}.jsonl"
        f.parent.mkdir(parents=True, exist_ok=True)
        f.write_text(json.dumps({
            "cwd": cwd, "sessionId": f"s{n}", "message": {
                "id": f"msg_{n}", "model": "claude-sonnet-4-5",
                "usage": {"input_tokens": tokens, "output_tokens": 0}},
            "requestId": f"req_{n}", "type": "assistant", "timestamp": stamp},
            separators=(",", ":")) + "\n")


class Session:
    def __init__(self, brimwatch, services=(), system_bus=False, owner=None):
        self.brimwatch = str(brimwatch)
        self.dir = Path(tempfile.mkdtemp(prefix="bw-matrix-"))
        self.home = self.dir / "home"
        self.runtime = self.dir / "run"
        self.processes = []
        self.owner = owner  # (uid, gid) to run the session as, for hosts that refuse root
        for d in (self.home / ".local/bin", self.runtime, self.dir / "services"):
            d.mkdir(parents=True)
        self.runtime.chmod(0o700)
        tool = self.home / ".local/bin/claude"
        tool.write_text(TOOL)
        tool.chmod(0o755)
        transcripts(self.home / ".claude", {"/home/me/src/brimwatch": 200,
                                            "/home/me/src/website": 100})
        for name in services:
            shutil.copy(SERVICES / f"{name}.service", self.dir / "services")
        self.env = {
            "HOME": str(self.home),
            "PATH": "/usr/local/bin:/usr/bin:/bin",
            "USER": os.environ.get("USER", "root"),
            "LANG": "en_US.UTF-8",
            "TZ": "UTC",
            "XDG_RUNTIME_DIR": str(self.runtime),
            "XDG_CONFIG_HOME": str(self.home / ".config"),
            "XDG_DATA_HOME": str(self.home / ".local/share"),
            "XDG_CACHE_HOME": str(self.home / ".cache"),
            "NO_AT_BRIDGE": "0",
        }
        if owner:
            subprocess.run(["chown", "-R", f"{owner[0]}:{owner[1]}", str(self.dir)], check=True)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self._bus("session", self.dir / "services")
        if system_bus:
            empty = self.dir / "system-services"
            empty.mkdir()
            self.env["DBUS_SYSTEM_BUS_ADDRESS"] = self._bus("system", empty)

    def _bus(self, kind, services):
        conf = self.dir / f"{kind}-bus.conf"
        conf.write_text(BUS_CONF.read_text().replace("@DIR@", str(services)))
        if self.owner:
            os.chown(conf, *self.owner)
            os.chown(services, *self.owner)
        p = self.start(["dbus-daemon", f"--config-file={conf}", "--nofork", "--print-address=1"],
                       stdout=subprocess.PIPE)
        return p.stdout.readline().decode().strip()

    def start(self, argv, env=None, stdout=None, log=None):
        """Starts a program of the session; it is ended with the session."""
        full = dict(self.env, **(env or {}))
        out = stdout if stdout is not None else open(self.dir / f"{log or Path(argv[0]).name}.log", "ab")
        preexec = None
        if self.owner:
            uid, gid = self.owner

            def preexec():
                os.setgid(gid)
                os.setgroups([])
                os.setuid(uid)
        p = subprocess.Popen(argv, env=full, stdout=out, stderr=subprocess.STDOUT,
                             stdin=subprocess.DEVNULL, preexec_fn=preexec, start_new_session=True)
        self.processes.append(p)
        return p

    def run(self, argv, env=None, timeout=20):
        """Runs a command in the session; returns what it printed."""
        full = dict(self.env, **(env or {}))
        preexec = None
        if self.owner:
            uid, gid = self.owner

            def preexec():
                os.setgid(gid)
                os.setgroups([])
                os.setuid(uid)
        r = subprocess.run(argv, env=full, capture_output=True, timeout=timeout,
                           preexec_fn=preexec)
        return r.stdout.decode(errors="replace")

    def set_reading(self, percent, reset):
        (self.home / "percent").write_text(str(percent))
        (self.home / "reset").write_text(reset)
        if self.owner:
            for f in ("percent", "reset"):
                os.chown(self.home / f, *self.owner)

    def launch_app(self, env=None):
        return self.start([self.brimwatch], env=dict({"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"},
                                                      **(env or {})), log="brimwatch")

    def app_log(self):
        path = self.dir / "brimwatch.log"
        return path.read_text(errors="replace") if path.exists() else ""

    def close(self):
        for p in reversed(self.processes):
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
        for p in reversed(self.processes):
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                try:
                    os.killpg(p.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        shutil.rmtree(self.dir, ignore_errors=True)
