#!/usr/bin/env python3
"""Claude's API, made up, on loopback: a proxy that answers CONNECT for api.anthropic.com
itself, ends TLS with a certificate from a scratch CA, and answers what the tool asks.

Every answer comes from a state file read at each request, so a run can change the figures
between two readings. Every request is logged; a CONNECT to any other host is refused.
  fakeapi.py PORT CERT KEY STATE LOG
"""
import http.server
import json
import socketserver
import ssl
import sys
import time
import uuid

HOST = "api.anthropic.com"
port, cert, key, state_path, log_path = sys.argv[1:6]
tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
tls.load_cert_chain(cert, key)
tls.set_alpn_protocols(["http/1.1"])


def log(line):
    with open(log_path, "a") as f:
        f.write(line + "\n")


def state():
    with open(state_path) as f:
        return json.load(f)


def profile(plan):
    pro = plan == "pro"
    return {
        "account": {"uuid": "00000000-0000-4000-8000-000000000001", "email": "person@example.com",
                    "full_name": "A Person", "display_name": "A Person",
                    "has_claude_max": not pro, "has_claude_pro": pro},
        "organization": {"uuid": "00000000-0000-4000-8000-000000000002", "name": "Example",
                         "organization_type": "claude_pro" if pro else "claude_max",
                         "billing_type": "stripe_subscription",
                         "rate_limit_tier": "default_claude_pro" if pro
                         else "default_claude_max_20x"},
    }


def events(reply, usage):
    """A streamed reply: the events of one text block, with the usage it reports."""
    msg = "msg_" + uuid.uuid4().hex[:24]
    start = dict(usage, output_tokens=1)
    out = [
        ("message_start", {"type": "message_start", "message": {
            "id": msg, "type": "message", "role": "assistant", "model": "claude-sonnet-4-5",
            "content": [], "stop_reason": None, "stop_sequence": None, "usage": start}}),
        ("content_block_start", {"type": "content_block_start", "index": 0,
                                 "content_block": {"type": "text", "text": ""}}),
        ("content_block_delta", {"type": "content_block_delta", "index": 0,
                                 "delta": {"type": "text_delta", "text": reply}}),
        ("content_block_stop", {"type": "content_block_stop", "index": 0}),
        ("message_delta", {"type": "message_delta",
                           "delta": {"stop_reason": "end_turn", "stop_sequence": None},
                           "usage": {"output_tokens": usage["output_tokens"]}}),
        ("message_stop", {"type": "message_stop"}),
    ]
    return "".join(f"event: {name}\ndata: {json.dumps(data)}\n\n" for name, data in out).encode()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send(self, status, body, kind="application/json", headers=()):
        data = body if isinstance(body, bytes) else json.dumps(body).encode()
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(data)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)
        self.wfile.flush()

    def do_CONNECT(self):
        host = self.path.rsplit(":", 1)[0]
        if host != HOST:
            log(f"REFUSED CONNECT {self.path}")
            self.send(403, {"error": "only " + HOST})
            self.close_connection = True
            return
        self.send_response(200, "Connection established")
        self.end_headers()
        self.wfile.flush()
        try:
            self.connection = tls.wrap_socket(self.connection, server_side=True)
        except (ssl.SSLError, OSError) as e:
            log(f"TLS failed: {e}")
            self.close_connection = True
            return
        self.rfile = self.connection.makefile("rb")
        self.wfile = self.connection.makefile("wb")
        self.tunnelled = True
        self.close_connection = False

    def answer(self):
        if not getattr(self, "tunnelled", False):
            log(f"REFUSED {self.command} {self.path}")
            return self.send(403, {"error": "only through CONNECT"})
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        path = self.path.split("?")[0]
        log(f"{self.command} {path}")
        s = state()
        if path == "/api/oauth/usage":
            if s.get("usageStatus", 200) != 200:
                return self.send(s["usageStatus"], {"type": "error", "error": {
                    "type": "rate_limit_error", "message": "Rate limited"}})
            return self.send(200, s["usage"])
        if path == "/api/oauth/profile":
            return self.send(200, profile(s.get("plan", "max")))
        if path == "/api/oauth/claude_cli/roles":
            return self.send(200, {"organization_role": "admin", "workspace_role": None,
                                   "organization_name": "Example"})
        if path == "/v1/messages/count_tokens":
            return self.send(200, {"input_tokens": 12})
        if path == "/v1/messages":
            limits = s.get("ratelimit", {})
            headers = [("request-id", "req_" + uuid.uuid4().hex[:24])]
            for window, (used, reset) in limits.items():
                headers += [(f"anthropic-ratelimit-unified-{window}-utilization", str(used)),
                            (f"anthropic-ratelimit-unified-{window}-reset", str(int(reset)))]
            if limits:
                headers.append(("anthropic-ratelimit-unified-status", "allowed"))
            usage = s.get("tokens", {"input_tokens": 10, "output_tokens": 5,
                                     "cache_creation_input_tokens": 0,
                                     "cache_read_input_tokens": 0})
            try:
                streamed = json.loads(body or b"{}").get("stream", False)
            except ValueError:
                streamed = False
            reply = s.get("reply", "Done.")
            if streamed:
                return self.send(200, events(reply, usage), "text/event-stream", headers)
            return self.send(200, {
                "id": "msg_" + uuid.uuid4().hex[:24], "type": "message", "role": "assistant",
                "model": "claude-sonnet-4-5", "content": [{"type": "text", "text": reply}],
                "stop_reason": "end_turn", "stop_sequence": None, "usage": usage}, headers=headers)
        return self.send(404, {"type": "error", "error": {"type": "not_found_error",
                                                          "message": "not here"}})

    do_GET = do_POST = do_PUT = do_DELETE = do_PATCH = do_HEAD = answer


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


log(f"started {time.time()}")
Server(("127.0.0.1", int(port)), Handler).serve_forever()
