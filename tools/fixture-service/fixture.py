#!/usr/bin/env python3
"""Loopback fixture of the Velmora web and data service (Python 3 standard library only).

    python3 fixture.py [--port 0] [--seed 1] [--now EPOCH|"YYYY-MM-DD HH:MM"] [--log FILE] ...

Prints "PORT <n>" on its first line of output once it listens. See README.md for the switches.
"""
import argparse
import base64
import json
import os
import random
import socket
import socketserver
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import advice  # noqa: E402
import marketdata  # noqa: E402
import sectorfeed  # noqa: E402
import scale  # noqa: E402
import rankings  # noqa: E402

HEAD_LIMIT = 64 * 1024
CONTROL = "/__fixture/"
REDIRECTED = "/__redirected"


class Reply:
    def __init__(self, status=200, body=b"", ctype="application/octet-stream"):
        self.status, self.body, self.ctype = status, body, ctype


REASONS = {200: "OK", 301: "Moved Permanently", 302: "Found", 303: "See Other", 307: "Temporary Redirect",
           404: "Not Found", 500: "Internal Server Error", 405: "Method Not Allowed", 502: "Bad Gateway"}


def parse_opts(text):
    """"mode=404,framing=chunked" (or a query string) -> dict."""
    opts = {}
    for part in text.replace("&", ",").split(","):
        if part:
            k, _, v = part.partition("=")
            opts[urllib.parse.unquote(k)] = urllib.parse.unquote(v)
    return opts


def static_body(n, seed=0):
    """n deterministic bytes with NULs and every byte value."""
    block = bytes((i * 7 + seed + (i >> 8)) & 0xFF for i in range(65536))
    return (block * (n // 65536 + 1))[:n]


class State:
    def __init__(self, args):
        self.args = args
        self.lock = threading.Lock()
        self.data = marketdata.MarketData(args.seed, args.now, args.scale)
        self.flag = args.market_flag
        self.version = args.version
        self.password = args.password
        self.update_file = args.update_file
        self.rules = []  # (path prefix, opts)
        for r in args.fault or []:
            prefix, _, opts = r.partition("=")
            self.rules.append((prefix, parse_opts(opts)))
        self.log = []
        self.log_file = open(args.log, "a", encoding="utf-8") if args.log else None
        self.port = 0
        self.static_cache = {}

    def password_ok(self, encoded):
        """The login's p= (URL-form base64) against --password; any password when none is set."""
        if not self.password:
            return True
        raw = encoded.replace("!", "+").replace("_", "/").replace("-", "=")
        try:
            return base64.b64decode(raw + "=" * (-len(raw) % 4)) == self.password.encode("gbk")
        except ValueError:
            return False

    def market_flag(self):
        return self.data.market_open() if self.flag is None else self.flag

    def record(self, method, target, headers, raw, proxied):
        entry = {"method": method, "path": target, "headers": headers, "proxy": proxied,
                 "raw": raw.decode("latin-1")}
        with self.lock:
            self.log.append(entry)
            if self.log_file:
                self.log_file.write(json.dumps(entry, ensure_ascii=True) + "\n")
                self.log_file.flush()

    def rule_for(self, path):
        with self.lock:
            best = None
            for rule in self.rules:
                if path.startswith(rule[0]) and (best is None or len(rule[0]) >= len(best[0])):
                    best = rule
            if best is None:
                return {}
            opts = best[1]
            # A rule with times=N answers N requests, then the path is served well again.
            if "times" in opts:
                left = int(opts["times"]) - 1
                if left <= 0:
                    self.rules.remove(best)
                else:
                    opts["times"] = str(left)
            return dict(opts)

    def static(self, n):
        with self.lock:
            if n not in self.static_cache:
                if len(self.static_cache) > 8:
                    self.static_cache.clear()
                self.static_cache[n] = static_body(n)
            return self.static_cache[n]


def route(state, path, query, host):
    """Path (without the leading "/") -> Reply."""
    d = state.data
    site_root = "http://%s/" % host
    q = urllib.parse.parse_qs(query, keep_blank_values=True)
    if path.startswith("login/login.") and path.endswith(".php") and path != "login/login.php":
        if "u" not in q or "p" not in q or not state.password_ok(q["p"][0]):
            return Reply(200, "F|0|0||".encode("utf-8"), "text/plain")
        data_host = state.args.data_host or host
        text = "T|%d|%d|%s|%s" % (d.now, state.market_flag(), state.version, data_host)
        return Reply(200, text.encode("utf-8"), "text/plain")
    if path == "login/login.php":
        return Reply(200, ("%d|%d" % (d.now, state.market_flag())).encode("utf-8"), "text/plain")
    if path == "velmora/update.php":
        if state.update_file:
            with open(state.update_file, "rb") as f:
                body = f.read()
        else:
            body = d.update_exe()
        if state.args.update_once:
            # The client that comes back after the update is the current one.
            state.version = ""
        return Reply(200, body)
    if path == "plus/rollnews.php":
        return Reply(200, d.news(site_root), "text/plain; charset=utf-8")
    advice_body = advice.route(d, path, q)
    if advice_body is not None:
        return Reply(200, advice_body, "text/plain; charset=utf-8")
    sector_reply = sectorfeed.route(state, path, site_root, Reply)
    if sector_reply is not None:
        return sector_reply
    if path == "data/blank/" or path == "data/blank":
        lines = ["%s-%s-%sdata/group/%s" % (c, g, site_root, f) for c, g, f, _ in d.sectors()]
        text = "\r\n".join(lines) + "\r\n"
        return Reply(200, text.encode("utf-8" if state.args.sector_utf8 else "gbk"), "text/plain")
    if path.startswith("data/group/"):
        name = path[len("data/group/"):]
        for c, g, f, members in d.sectors():
            if f == name:
                return Reply(200, d.sector_file(members))
        return Reply(404)
    if path == "hqdatagzip/codelist/codelist.ldt":
        return Reply(200, marketdata.gz(d.codelist()))
    if path.startswith("hqdatagzip/"):
        return data_file(d, path[len("hqdatagzip/"):])
    if path == "hqdata/makestatusinfo.php":
        return Reply(200, d.status_text(), "text/plain; charset=gbk")
    if path.startswith("hqdata/calc/"):
        body = rankings.serve(d, path[len("hqdata/calc/"):])
        return Reply(404) if body is None else Reply(200, body)
    if path.startswith(("php/", "tip/", "html/", "company/", "member/", "apply")) or path == "":
        title = path or "index"
        return Reply(200, ("<html><head><meta charset=\"utf-8\"><title>%s</title></head>"
                           "<body><p>%s</p></body></html>" % (title, title)).encode("utf-8"), "text/html")
    return Reply(404)


def data_file(d, rest):
    folder, _, name = rest.partition("/")
    if folder == "min":
        market, _, name = name.partition("/")
        code, ext = os.path.splitext(name)
        s = d.find(market, code)
        return Reply(200, marketdata.gz(d.min_file(s))) if s and ext == ".min" else Reply(404)
    prefix, code, ext = name[:2], os.path.splitext(name[2:])[0], os.path.splitext(name)[1]
    s = d.find(prefix, code)
    if s is None:
        return Reply(404)
    if folder == "sday" and ext == ".ldy" and prefix in ("SH", "SZ"):
        return Reply(200, marketdata.gz(d.day_file(s)))
    if folder == "F10" and ext == ".txt":
        return Reply(200, marketdata.gz(d.company_text(s)))
    if folder == "macd" and ext == ".sgn":
        return Reply(200, marketdata.gz(d.signal_file(s)))
    if folder == "fenbi" and ext in (".fbs", ".fbl"):
        return Reply(200, d.tick_file(s))  # served uncompressed: the client queues ticks without gzip
    return Reply(404)


class Handler(socketserver.BaseRequestHandler):
    def setup(self):
        self.request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.buf = b""

    def read_head(self):
        while b"\r\n\r\n" not in self.buf:
            if len(self.buf) > HEAD_LIMIT:
                return None
            try:
                chunk = self.request.recv(65536)
            except OSError:
                return None
            if not chunk:
                return None
            self.buf += chunk
        head, _, self.buf = self.buf.partition(b"\r\n\r\n")
        return head + b"\r\n\r\n"

    def read_body(self, n):
        while len(self.buf) < n:
            chunk = self.request.recv(65536)
            if not chunk:
                break
            self.buf += chunk
        body, self.buf = self.buf[:n], self.buf[n:]
        return body

    def handle(self):
        state = self.server.state
        while True:
            head = self.read_head()
            if head is None:
                return
            lines = head.decode("latin-1").split("\r\n")
            parts = lines[0].split(" ")
            if len(parts) != 3:
                self.send_raw(b"HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
                return
            method, target, version = parts
            headers = []
            for line in lines[1:]:
                if line:
                    k, _, v = line.partition(":")
                    headers.append([k, v.strip()])
            hmap = {k.lower(): v for k, v in headers}
            body = b""
            if hmap.get("content-length", "").isdigit():
                body = self.read_body(int(hmap["content-length"]))
            proxied = target.lower().startswith("http://")
            if not target.startswith(CONTROL):
                state.record(method, target, headers, head + body, proxied)
            keep = version == "HTTP/1.1" and hmap.get("connection", "").lower() != "close" \
                and hmap.get("proxy-connection", "").lower() != "close"
            if not self.serve(state, method, target, hmap, proxied, keep):
                return
            if not keep:
                return

    def send_raw(self, data, piece=0, pause=0.0):
        try:
            if piece <= 0:
                self.request.sendall(data)
                return True
            for i in range(0, len(data), piece):
                self.request.sendall(data[i:i + piece])
                if pause:
                    time.sleep(pause)
            return True
        except OSError:
            return False

    def serve(self, state, method, target, hmap, proxied, keep):
        """Answers one request; returns False when the connection must end."""
        if method == "CONNECT":
            self.send_raw(b"HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n")
            return False
        if proxied:
            u = urllib.parse.urlsplit(target)
            local = u.hostname in ("127.0.0.1", "localhost") and (u.port or 80) == state.port
            if not local:
                return self.forward(u, method, hmap)
            host = u.netloc
            target = u.path + ("?" + u.query if u.query else "")
        else:
            host = hmap.get("host", "")
            if ":" not in host:
                host = "%s:%d" % (state.args.host, state.port)
        path, _, query = target.partition("?")
        if path.startswith(CONTROL):
            return self.control(state, path[len(CONTROL):], query)
        faults = True
        if path.startswith(REDIRECTED):
            path, faults = path[len(REDIRECTED):], False
        if path.startswith("/__static/"):
            opts = parse_opts(query)
            try:
                n = int(path[len("/__static/"):])
            except ValueError:
                n = -1
            reply = Reply(200, state.static(n)) if 0 <= n <= 256 * 1024 * 1024 else Reply(404)
        else:
            opts = state.rule_for(path) if faults else {}
            reply = route(state, path.lstrip("/"), query, host)
        return self.answer(state, reply, opts, method, path, query, host, keep)

    def answer(self, state, reply, opts, method, path, query, host, keep):
        delay = float(opts.get("delay", 0)) / 1000.0
        if delay:
            time.sleep(delay)
        mode = opts.get("mode", "")
        redirect = opts.get("redirect", "")
        if mode == "silent":
            # Hold the connection without a byte until the client gives up (or a bound passes).
            self.request.settimeout(float(opts.get("hold", 60000)) / 1000.0)
            try:
                while self.request.recv(4096):
                    pass
            except OSError:
                pass
            return False
        if mode == "reset":
            return False
        if redirect:
            hops = int(opts.get("hops", 1))
            if path.startswith("/__static/"):
                rest = {k: v for k, v in parse_opts(query).items() if k not in ("redirect", "hops", "loc")}
                if hops > 1 or opts.get("loop"):
                    rest.update(redirect=redirect, loc=opts.get("loc", "abs"), hops=str(hops - 1))
                    if opts.get("loop"):
                        rest["loop"] = "1"
                target = path + ("?" + "&".join("%s=%s" % kv for kv in rest.items()) if rest else "")
            else:
                target = REDIRECTED + path + ("?" + query if query else "")
            loc = target if opts.get("loc", "abs") == "rel" else "http://%s%s" % (host, target)
            if mode == "nolocation":
                extra = ""
            else:
                extra = "Location: %s\r\n" % loc
            note = b"<html>moved</html>"
            head = "HTTP/1.1 %s %s\r\n%sContent-Type: text/html\r\nContent-Length: %d\r\n" \
                   "Connection: close\r\n\r\n" % (redirect, REASONS.get(int(redirect), "Moved"), extra, len(note))
            self.send_raw(head.encode("latin-1") + note)
            return False
        status, body = reply.status, reply.body
        if mode in ("404", "500"):
            status = int(mode)
        if status != 200:
            body = ("<html><body>%d</body></html>" % status).encode()
        if mode == "empty":
            body = b""
        elif mode == "garbage":
            rng = random.Random("garbage:" + path)
            body = bytes(rng.getrandbits(8) for _ in range(int(opts.get("size", 777))))
        framing = opts.get("framing", "length")
        if method == "HEAD":
            framing = "length"
        version = "HTTP/1.1"
        if mode == "badversion":
            version = opts.get("version", "HTTP/2.5")
        head = ["%s %d %s" % (version, status, REASONS.get(status, "Unknown")),
                "Content-Type: %s" % reply.ctype, "Server: velmora-fixture"]
        if mode == "bighead":
            filler = "x" * 1000
            for i in range(int(opts.get("kb", 70))):
                head.append("X-Filler-%d: %s" % (i, filler))
        chunked = framing in ("chunked", "chunked1")
        if framing == "length" or (mode == "cut" and not chunked):
            head.append("Content-Length: %d" % len(body))
        elif chunked:
            head.append("Transfer-Encoding: chunked")
        if not keep or framing == "close" or mode == "cut":
            head.append("Connection: close")
        data = ("\r\n".join(head) + "\r\n\r\n").encode("latin-1")
        if method != "HEAD":
            if mode == "cut":
                body = body[:len(body) // 2]
            if chunked:
                size = 1 if framing == "chunked1" else int(opts.get("chunk", 4096))
                pieces = [b"%x\r\n%s\r\n" % (len(body[i:i + size]), body[i:i + size])
                          for i in range(0, len(body), size)]
                if mode == "cut":
                    # Whole chunks of the first half, then a chunk cut short, and no last chunk.
                    body = b"".join(pieces) + b"%x\r\n%s" % (size, static_body(size)[:size // 2])
                else:
                    body = b"".join(pieces) + b"0\r\n\r\n"
            data += body
        piece = int(opts.get("split", 0))
        pause = float(opts.get("slow", 0)) / 1000.0
        if pause and not piece:
            piece = 512
        ok = self.send_raw(data, piece, pause)
        return ok and keep and framing != "close" and mode != "cut"

    def control(self, state, what, query):
        q = parse_opts(query)
        body = b"ok"
        if what == "fault":
            with state.lock:
                state.rules.append((q.pop("prefix", "/"), q))
        elif what == "clear":
            with state.lock:
                state.rules = []
                state.log = []
            state.sector_edition = 1
        elif what == "set":
            if "now" in q:
                state.data.set_now(parse_now(q["now"]))
            if "flag" in q:
                state.flag = None if q["flag"] == "" else int(q["flag"])
            if "version" in q:
                state.version = q["version"]
            if "password" in q:
                state.password = q["password"]
            if "update" in q:
                state.update_file = q["update"]
        elif what == "sectors":
            body = sectorfeed.control(state, q)
        elif what == "log":
            with state.lock:
                body = "".join(json.dumps(e) + "\n" for e in state.log).encode()
        elif what == "last":
            with state.lock:
                body = state.log[-1]["raw"].encode("latin-1") if state.log else b""
        elif what == "quit":
            self.send_raw(b"HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok")
            threading.Thread(target=self.server.shutdown, daemon=True).start()
            return False
        else:
            body = b"unknown"
        self.send_raw(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % len(body) + body)
        return False

    def forward(self, u, method, hmap):
        """Plain HTTP proxy for other hosts: relays the reply until the origin closes."""
        try:
            with socket.create_connection((u.hostname, u.port or 80), timeout=30) as up:
                path = u.path or "/"
                if u.query:
                    path += "?" + u.query
                lines = ["%s %s HTTP/1.0" % (method, path), "Host: %s" % u.netloc, "Connection: close"]
                lines += ["%s: %s" % (k, v) for k, v in hmap.items()
                          if k not in ("host", "connection", "proxy-connection", "proxy-authorization")]
                up.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))
                while True:
                    chunk = up.recv(65536)
                    if not chunk:
                        break
                    self.request.sendall(chunk)
        except OSError:
            self.send_raw(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
        return False


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 128


def parse_now(text):
    if text is None or text == "":
        return int(time.time())
    if text.lstrip("-").isdigit():
        return int(text)
    date, _, hm = text.partition(" ")
    y, m, d = (int(x) for x in date.split("-"))
    hh, mm = (int(x) for x in (hm or "15:00").split(":")[:2])
    # Days from civil (the inverse of marketdata.civil_from_days).
    y2 = y - (1 if m <= 2 else 0)
    era = (y2 if y2 >= 0 else y2 - 399) // 400
    yoe = y2 - era * 400
    doy = (153 * (m + (-3 if m > 2 else 9)) + 2) // 5 + d - 1
    doe = yoe * 365 + yoe // 4 - yoe // 100 + doy
    days = era * 146097 + doe - 719468
    return days * 86400 + hh * 3600 + mm * 60 - marketdata.BEIJING


def make_server(args):
    state = State(args)
    server = Server((args.host, args.port), Handler)
    server.state = state
    state.port = server.server_address[1]
    return server


def parse_args(argv):
    p = argparse.ArgumentParser(description="Velmora loopback fixture service")
    p.add_argument("--port", type=int, default=0, help="port to listen on; 0 picks a free one")
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--now", type=parse_now, default=None, help="epoch seconds or 'YYYY-MM-DD HH:MM' (Beijing)")
    p.add_argument("--log", help="append the request log (JSON lines) to this file")
    p.add_argument("--port-file", help="write the port number to this file once listening")
    p.add_argument("--fault", action="append", help="PATH-PREFIX=key=value,... (see README)")
    p.add_argument("--market-flag", type=int, default=None, help="market flag of login and heartbeat")
    p.add_argument("--version", default="", help="version field of the login reply")
    p.add_argument("--update-file", default="", help="serve this file as the update (default: a stand-in that is no program)")
    p.add_argument("--update-once", action="store_true",
                   help="announce the version only until the update has been served once")
    p.add_argument("--password", default="", help="the one password the login accepts (default: any)")
    p.add_argument("--data-host", default="", help="data host of the login reply (default: this server)")
    p.add_argument("--sector-utf8", action="store_true", help="send the sector list in UTF-8, not GBK")
    p.add_argument("--scale", type=scale.parse, default="small", help="small (default), full (the whole market) or a number of A shares")
    p.add_argument("--max-seconds", type=float, default=0, help="exit after this long (0: never)")
    args = p.parse_args(argv)
    if args.now is None:
        args.now = int(time.time())
    return args


def main(argv=None):
    args = parse_args(argv)
    server = make_server(args)
    port = server.server_address[1]
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % port)
        os.replace(tmp, args.port_file)
    print("PORT %d" % port, flush=True)
    if args.max_seconds > 0:
        timer = threading.Timer(args.max_seconds, server.shutdown)
        timer.daemon = True
        timer.start()
    try:
        server.serve_forever(poll_interval=0.1)
    except KeyboardInterrupt:
        pass
    server.server_close()


if __name__ == "__main__":
    main()
