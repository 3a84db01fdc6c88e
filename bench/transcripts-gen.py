#!/usr/bin/env python3
"""Transcripts the size of a heavy user's: about SIZE_MB of Claude Code's projects/ folder, in
tens of thousands of files, with a realistic mix of line kinds and sizes (user lines carrying
whole files, some a megabyte and more; replies with and without tool calls; attachments,
snapshots, system lines), streamed replies written twice, sub-agents' files, and copies of
earlier replies in resumed sessions. Prints the totals the index must find.
  transcripts-gen.py DIR [SIZE_MB]
"""
import json
import os
import random
import sys
import time
import uuid

root, size_mb = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 1024
rng = random.Random(7)
budget = size_mb << 20
written = 0
replies = {}  # id -> largest counts, for the totals
text = "lorem ipsum dolor sit amet, consectetur adipiscing elit " * 40


NOW = time.time()


def stamp(i):  # over the last week, a reply every few seconds of it
    t = NOW - (i * 37) % (7 * 86400)
    return time.strftime("%Y-%m-%dT%H:%M:%S.000Z", time.gmtime(t))


def common(cwd, session, i):
    return {"parentUuid": str(uuid.UUID(int=rng.getrandbits(128))), "isSidechain": False,
            "userType": "external", "cwd": cwd, "sessionId": session, "version": "2.1.337",
            "gitBranch": "main", "uuid": str(uuid.UUID(int=rng.getrandbits(128))),
            "timestamp": stamp(i)}


def user(cwd, session, i):
    # Most are short prompts or small tool results; a few carry whole files.
    size = int(rng.lognormvariate(7.5, 1.4))
    if rng.random() < 0.002:
        size = rng.randint(1 << 20, 3 << 20)
    body = (text * (size // len(text) + 1))[:size]
    d = common(cwd, session, i)
    d.update({"type": "user", "message": {"role": "user", "content": [
        {"tool_use_id": "toolu_x", "type": "tool_result", "content": body}]}})
    return d


def reply(cwd, session, i, mid, counts):
    d = {"parentUuid": None, "isSidechain": False, "message": {
        "id": mid, "type": "message", "role": "assistant",
        "model": rng.choice(["claude-opus-4-5", "claude-sonnet-4-5", "claude-haiku-4-5"]),
        "content": [{"type": "text", "text": text[:rng.randint(50, 1500)]}] +
        ([{"type": "tool_use", "id": "toolu_x", "name": "Write",
           "input": {"file_path": "/x", "content": text * rng.randint(1, 10)}}]
         if rng.random() < 0.3 else []),
        "stop_reason": "end_turn", "usage": counts}, "requestId": "req_" + mid[4:],
        "type": "assistant"}
    d.update({k: v for k, v in common(cwd, session, i).items() if k not in d})
    return d


def other(session, i):
    kind = rng.choice(["attachment", "file-history-snapshot", "system", "summary"])
    return {"type": kind, "sessionId": session, "snapshot": {"files": text[:rng.randint(100, 4000)]},
            "timestamp": stamp(i)}


projects = [f"/home/me/src/project{p}" for p in range(40)]
n = 0
earlier = []
while written < budget:
    cwd = rng.choice(projects)
    session = str(uuid.UUID(int=rng.getrandbits(128)))
    folder = os.path.join(root, cwd.replace("/", "-"))
    sub = rng.random() < 0.2
    path = os.path.join(folder, session, "subagents", "agent-1.jsonl") if sub else \
        os.path.join(folder, session + ".jsonl")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    lines = []
    if earlier and rng.random() < 0.1:  # a resumed session repeats earlier replies
        lines += rng.sample(earlier, min(5, len(earlier)))
    for _ in range(rng.randint(3, 15)):
        n += 1
        r = rng.random()
        if r < 0.45:
            lines.append(json.dumps(user(cwd, session, n), separators=(",", ":")))
        elif r < 0.8:
            mid = "msg_" + uuid.UUID(int=rng.getrandbits(128)).hex[:24]
            counts = {"input_tokens": rng.randint(1, 5000), "output_tokens": rng.randint(1, 4000),
                      "cache_creation_input_tokens": rng.randint(0, 20000),
                      "cache_read_input_tokens": rng.randint(0, 200000)}
            if rng.random() < 0.3:  # streamed: written first with fewer output tokens
                lines.append(json.dumps(reply(cwd, session, n, mid, dict(counts, output_tokens=1)),
                                        separators=(",", ":")))
            line = json.dumps(reply(cwd, session, n, mid, counts), separators=(",", ":"))
            lines.append(line)
            replies[mid] = counts
            if rng.random() < 0.05:
                earlier.append(line)
        else:
            lines.append(json.dumps(other(session, n), separators=(",", ":")))
    data = ("\n".join(lines) + "\n").encode()
    with open(path, "ab") as f:
        f.write(data)
    written += len(data)

files = sum(len(f) for _, _, f in os.walk(root))
totals = {k: sum(c[k] for c in replies.values()) for k in
          ["input_tokens", "output_tokens", "cache_creation_input_tokens", "cache_read_input_tokens"]}
print(json.dumps({"bytes": written, "files": files, "replies": len(replies), **totals}))
