#!/usr/bin/env python3
"""Checks the fixture service's formats byte by byte over a real loopback connection."""
import gzip
import os
import socket
import struct
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fixture  # noqa: E402
import marketdata  # noqa: E402
import scale  # noqa: E402

NOW = "2026-12-10 14:00"  # a Thursday, during the afternoon session


def fetch(port, path, extra=""):
    """Raw GET; returns (status line, header dict, raw body bytes as sent)."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
        s.sendall(("GET %s HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nUser-Agent: Pirandel\r\nAccept: */*\r\n"
                   "Connection: close\r\n%s\r\n" % (path, port, extra)).encode("latin-1"))
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = {}
    for line in lines[1:]:
        k, _, v = line.partition(":")
        headers[k.lower()] = v.strip()
    return lines[0], headers, body


class FixtureTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        started = time.time()
        cls.server = fixture.make_server(fixture.parse_args(["--seed", "7", "--now", NOW]))
        cls.port = cls.server.server_address[1]
        cls.thread = threading.Thread(target=cls.server.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True)
        cls.thread.start()
        cls.startup = time.time() - started
        cls.data = cls.server.state.data

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()
        cls.server.server_close()

    def get(self, path, extra=""):
        status, headers, body = fetch(self.port, path, extra)
        self.assertEqual("HTTP/1.1 200 OK", status, path)
        self.assertEqual(str(len(body)), headers.get("content-length"), path)
        return body

    def test_starts_fast(self):
        self.assertLess(self.startup, 2.0)

    def test_code_list_records(self):
        raw = gzip.decompress(self.get("/hqdatagzip/codelist/codelist.ldt", "Accept-Encoding: gzip, deflate\r\n"))
        self.assertEqual(0, len(raw) % 68)
        self.assertGreaterEqual(len(raw) // 68, 300)
        self.assertEqual(b"SH\0\0" + b"1A0001\0\0\0\0" + "上证指数".encode("gbk"), raw[:4 + 10 + 8])
        recs = [raw[i:i + 68] for i in range(0, len(raw), 68)]
        keys = [(r[:2], r[4:14].rstrip(b"\0")) for r in recs]
        self.assertIn((b"SZ", b"399001"), keys)
        self.assertIn((b"SH", b"000016"), keys)
        self.assertIn((b"SZ", b"000016"), keys)  # equal six digits in both markets
        self.assertTrue(any(k[0] == b"SH" and k[1].startswith(b"9") for k in keys))  # B shares
        self.assertTrue(any(k[0] == b"SZ" and k[1].startswith(b"2") for k in keys))
        shorts = [r[48:68].rstrip(b"\0") for r in recs]
        self.assertIn(b"*ST(C|Z)(C|Z)", shorts)
        self.assertEqual(len(shorts), len(set(k for k in keys)))
        for r in recs:
            r[14:48].rstrip(b"\0").decode("gbk")  # every name is GBK
            self.assertEqual(b"\0", r[47:48])

    def test_day_file_walks_within_limits(self):
        raw = gzip.decompress(self.get("/hqdatagzip/sday/SH600000.ldy"))
        self.assertEqual(0, len(raw) % 32)
        bars = [struct.unpack("<i6fi", raw[i:i + 32]) for i in range(0, len(raw), 32)]
        self.assertGreater(len(bars), 2300)  # ten years, less suspended days
        times = [b[0] for b in bars]
        self.assertEqual(sorted(set(times)), times)
        for b in bars:
            self.assertLessEqual(b[3], min(b[1], b[4]) + 1e-4)
            self.assertGreaterEqual(b[2], max(b[1], b[4]) - 1e-4)
            self.assertEqual(15 * 3600 - 8 * 3600, b[0] % 86400)
        # Today's bar ends the file and agrees with the minute file.
        self.assertEqual(marketdata.MarketData.day_time(self.data.session_day), bars[-1][0])
        m = gzip.decompress(self.get("/hqdatagzip/min/sh/600000.min"))
        self.assertEqual(8314, len(m))
        prev, open_, high, low, last, vol = struct.unpack("<6f", m[8:32])
        self.assertAlmostEqual(bars[-1][1], open_, places=3)
        self.assertAlmostEqual(bars[-1][2], high, places=3)
        self.assertAlmostEqual(bars[-1][3], low, places=3)
        self.assertAlmostEqual(bars[-1][4], last, places=3)
        self.assertAlmostEqual(bars[-1][5], vol, delta=1)
        # 14:00 fills the slots up to 14:00; the rest stay empty.
        recs = [struct.unpack("<H8f", m[120 + i * 34:154 + i * 34]) for i in range(241)]
        self.assertEqual([930, 931, 1130, 1301, 1500], [recs[0][0], recs[1][0], recs[120][0], recs[121][0], recs[240][0]])
        filled = [r for r in recs if r[1] > 0]
        self.assertEqual(1400, filled[-1][0])
        self.assertAlmostEqual(last, filled[-1][1], places=3)
        self.assertAlmostEqual(vol, filled[-1][3], delta=1)
        # Ticks: 20-byte records, uncompressed, their volumes summing to the day's.
        ticks = self.get("/hqdatagzip/fenbi/sh600000.fbs")
        self.assertEqual(0, len(ticks) % 20)
        recs = [struct.unpack("<i3fi", ticks[i:i + 20]) for i in range(0, len(ticks), 20)]
        self.assertAlmostEqual(vol, sum(r[3] for r in recs), delta=1)
        self.assertTrue(all(r[4] in (1, 2) for r in recs))

    def test_limits_and_gaps(self):
        d = self.data
        gaps = 0
        for s in d.stocks:
            if not s.is_a_share:
                continue
            bars = d.bars(s)
            for newer, older in zip(bars, bars[1:]):
                ref = newer[7]
                self.assertLessEqual(newer[4], round(ref * (1 + s.limit), 2) + s.tick + 1e-6)
                self.assertGreaterEqual(newer[4], round(ref * (1 - s.limit), 2) - s.tick - 1e-6)
                if abs(older[4] - ref) > s.tick * 2:
                    gaps += 1
            if gaps > 5:
                break
        self.assertGreater(gaps, 0)

    def test_every_share_has_recent_ex_rights_days(self):
        # A gap down of more than 13 % within the last year: above the 11 % the chart takes for an
        # ex-rights day, so that its ex-rights modes show it.
        d = self.data
        for s in d.stocks:
            if s.is_index:
                continue
            bars = d.bars(s)
            self.assertGreater(len(bars), 2000, s.code)
            recent = [newer for newer, older in zip(bars[:250], bars[1:251]) if newer[1] < older[4] * 0.87]
            self.assertTrue(recent, s.code)

    def test_texts(self):
        login = self.get("/login/login.5.php?id=5&u=dXNlcg--&p=cGFzcw--").decode("utf-8").split("|")
        self.assertEqual(["T", str(fixture.parse_now(NOW)), "1", "", "127.0.0.1:%d" % self.port], login)
        self.assertEqual("%d|1" % fixture.parse_now(NOW), self.get("/login/login.php?t=").decode())
        status = self.get("/hqdata/makestatusinfo.php").decode("gbk").split("\r\n")
        self.assertEqual(7, len(status))
        self.assertEqual("上证指数", status[0].split("\t")[0])
        self.assertEqual(4, len(status[0].split("\t")[1].split(";")))
        self.assertFalse(status[-1].endswith("\r\n"))
        f10 = gzip.decompress(self.get("/hqdatagzip/F10/sz000001.txt")).decode("gbk")
        self.assertIn("一、========最新提示========", f10)
        news = self.get("/plus/rollnews.php").decode("utf-8").split("\r\n")
        self.assertEqual(2, len(news[0].split("\t")))
        pool = self.get("/plus/velmora_stocks.php?id=MQk1CTIJMTc2NTMzMjgwMA--").decode("utf-8")
        self.assertGreater(pool.count("\r\n"), 0)  # type 2
        self.assertIn(pool[:3], ("sh\t", "sz\t"))
        self.assertGreater(len(self.get("/velmora/update.php?id=5")), 10240)
        self.assertTrue(self.get("/plus/stock_trend.php?code=600000").decode("utf-8"))

    def test_sectors_and_rankings(self):
        text = self.get("/data/blank/").decode("gbk")
        lines = text.split("\r\n")[:-1]
        self.assertGreaterEqual(len(lines), 4)
        for line in lines[:3]:
            cat, group, url = line.split("-")
            self.assertTrue(url.startswith("http://127.0.0.1:%d/data/group/" % self.port))
        member = self.get(url[len("http://127.0.0.1:%d" % self.port):])
        n = struct.unpack("<h", member[:2])[0]
        self.assertEqual(2 + 8 * n, len(member))
        self.assertIn(member[3], (17, 33))
        for name, size in (("continue.dat", 56), ("markupsort.dat", 58), ("pricesort.dat", 50),
                           ("volumesort.dat", 54), ("amountsort.dat", 54), ("volumescale.dat", 54)):
            raw = self.get("/hqdata/calc/" + name)
            self.assertEqual(100 * size, len(raw), name)
            dirs = [struct.unpack("<h", raw[i + size - 2:i + size])[0] for i in range(0, len(raw), size)]
            self.assertEqual([1] * 50 + [-1] * 50, dirs, name)
            self.assertIn(raw[:2], (b"SH", b"SZ"))
        mark = self.get("/hqdata/calc/markupsort.dat")
        top = struct.unpack("<f", mark[52:56])[0]
        self.assertGreaterEqual(top, struct.unpack("<f", mark[58 + 52:58 + 56])[0])

    def test_sector_editions(self):
        first = self.get("/data/blank/")
        old = self.get("/data/group/g003.dat")
        self.get("/__fixture/sectors?edition=2")
        try:
            self.assertEqual(first, self.get("/data/blank/"))  # the same sectors and files
            new = self.get("/data/group/g003.dat")
            self.assertNotEqual(old, new)
            n = struct.unpack("<h", new[:2])[0]
            self.assertEqual(2 + 8 * n, len(new))
            codes = {s.code for s in self.server.state.data.stocks if s.is_a_share}
            for i in range(n):
                self.assertIn(new[2 + 8 * i + 2:2 + 8 * i + 8].decode(), codes)
        finally:
            self.get("/__fixture/clear")
        self.assertEqual(old, self.get("/data/group/g003.dat"))

    def test_rankings_agree_with_the_stocks_files(self):
        def records(name, size):
            raw = self.get("/hqdata/calc/" + name)
            self.assertEqual(0, len(raw) % size, name)
            for i in range(0, len(raw), size):
                r = raw[i:i + size]
                yield (r[:2].decode(), r[2:12].rstrip(b"\0").decode(), r[12:44].rstrip(b"\0").decode("gbk"),
                       r[44:size - 2], struct.unpack("<h", r[size - 2:])[0])

        def last_day(market, code):
            day = gzip.decompress(self.get("/hqdatagzip/sday/%s%s.ldy" % (market, code)))
            return struct.unpack("<i6fi", day[-32:])

        f32 = lambda x: struct.unpack("<f", struct.pack("<f", x))[0]  # noqa: E731
        changes = {1: [], -1: []}
        for market, code, name, values, d in records("markupsort.dat", 58):
            s = self.data.find(market, code)
            self.assertEqual(s.name, name)
            price, volume, change = struct.unpack("<fff", values)
            bar = last_day(market, code)
            self.assertEqual((f32(bar[4]), f32(bar[5])), (price, volume), code)
            head = gzip.decompress(self.get("/hqdatagzip/min/%s/%s.min" % (market.lower(), code)))
            prev, close = struct.unpack("<f", head[8:12])[0], struct.unpack("<f", head[24:28])[0]
            self.assertAlmostEqual((close - prev) / prev * 100, change, places=3)
            changes[d].append(change)
        self.assertEqual((50, 50), (len(changes[1]), len(changes[-1])))
        self.assertGreater(min(changes[1]), max(changes[-1]))
        amounts = {(m, c): struct.unpack("<ff", v)[1] for m, c, _, v, _ in records("amountsort.dat", 54)}
        for (market, code), amount in list(amounts.items())[:10]:
            self.assertEqual(f32(last_day(market, code)[6]), amount)
        runs = [(struct.unpack("<H", v[:2])[0], d) for _, _, _, v, d in records("continue.dat", 56)]
        for d in (1, -1):
            days = [n for n, dd in runs if dd == d]
            self.assertTrue(days and min(days) >= 1 and days == sorted(days, reverse=True), d)
        short = self.get("/hqdata/calc/short/pricesort.dat")
        self.assertEqual(len(self.get("/hqdata/calc/pricesort.dat")) - 7, len(short))
        lines = self.get("/hqdata/calc/lines/volumesort.dat")
        self.assertIn("数据库忙".encode("gbk"), lines[2 * 54:])

    def test_framings_and_faults(self):
        status, headers, body = fetch(self.port, "/__static/5?framing=chunked&chunk=2")
        self.assertEqual("chunked", headers["transfer-encoding"])
        self.assertEqual(b"2\r\n\x00\x07\r\n2\r\n\x0e\x15\r\n1\r\n\x1c\r\n0\r\n\r\n", body)
        status, headers, body = fetch(self.port, "/__static/3?framing=close")
        self.assertNotIn("content-length", headers)
        self.assertEqual(b"\x00\x07\x0e", body)
        status, headers, body = fetch(self.port, "/__static/9?redirect=307&loc=rel&hops=2")
        self.assertEqual("HTTP/1.1 307 Temporary Redirect", status)
        self.assertEqual("/__static/9?redirect=307&loc=rel&hops=1", headers["location"])
        status, headers, body = fetch(self.port, "/__static/9?redirect=301")
        self.assertEqual("http://127.0.0.1:%d/__static/9" % self.port, headers["location"])
        status, headers, body = fetch(self.port, "/__static/1000?mode=cut")
        self.assertEqual(("1000", 500), (headers["content-length"], len(body)))
        status, headers, body = fetch(self.port, "/__static/10?mode=cut&framing=chunked&chunk=2")
        self.assertEqual("chunked", headers["transfer-encoding"])
        self.assertEqual(b"2\r\n\x00\x07\r\n2\r\n\x0e\x15\r\n1\r\n\x1c\r\n2\r\n\x00", body)
        self.assertEqual("HTTP/1.1 404 Not Found", fetch(self.port, "/hqdata/calc/none.dat")[0])
        self.assertGreater(len(fetch(self.port, "/__static/1?mode=bighead")[1]), 64)
        # A rule set at run time applies to one endpoint; its redirect target is served clean.
        fetch(self.port, "/__fixture/fault?prefix=/plus/rollnews.php&redirect=302&loc=rel")
        status, headers, body = fetch(self.port, "/plus/rollnews.php")
        self.assertEqual("/__redirected/plus/rollnews.php", headers["location"])
        self.assertEqual("HTTP/1.1 200 OK", fetch(self.port, headers["location"])[0])
        # A rule of a number of times: garbage twice, then the real file.
        real = fetch(self.port, "/hqdatagzip/fenbi/sh600000.fbs")[2]
        fetch(self.port, "/__fixture/fault?prefix=/hqdatagzip/fenbi/sh600000&mode=garbage&size=40&times=2")
        bodies = [fetch(self.port, "/hqdatagzip/fenbi/sh600000.fbs")[2] for _ in range(3)]
        self.assertEqual([40, 40], [len(b) for b in bodies[:2]])
        self.assertNotEqual(real[:40], bodies[0])
        self.assertEqual(real, bodies[2])
        fetch(self.port, "/__fixture/clear")
        log = fetch(self.port, "/__fixture/log")[2]
        self.assertEqual(b"", log)

    def test_proxy_form_and_log(self):
        fetch(self.port, "/__fixture/clear")
        status, headers, body = fetch(self.port, "http://127.0.0.1:%d/plus/stock_trend.php?code=600000" % self.port)
        self.assertEqual("HTTP/1.1 200 OK", status)
        last = fetch(self.port, "/__fixture/last")[2]
        self.assertTrue(last.startswith(b"GET http://127.0.0.1:%d/plus/stock_trend.php" % self.port))
        self.assertIn(b"\r\nUser-Agent: Pirandel\r\n", last)

    def test_forwards_for_other_hosts(self):
        origin = fixture.make_server(fixture.parse_args(["--seed", "9", "--now", NOW]))
        t = threading.Thread(target=origin.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True)
        t.start()
        try:
            port = origin.server_address[1]
            direct = fetch(port, "/login/login.php?t=")[2]
            status, headers, body = fetch(self.port, "http://127.0.0.1:%d/login/login.php?t=" % port)
            self.assertEqual("HTTP/1.1 200 OK", status)
            self.assertEqual(direct, body)
        finally:
            origin.shutdown()
            origin.server_close()

    def test_deterministic_for_a_seed(self):
        other = marketdata.MarketData(7, fixture.parse_now(NOW))
        s = other.find("SZ", "000001")
        self.assertEqual(other.codelist(), self.data.codelist())
        self.assertEqual(other.day_file(s), self.data.day_file(self.data.find("SZ", "000001")))
        self.assertNotEqual(marketdata.MarketData(8, fixture.parse_now(NOW)).codelist(), other.codelist())


class FullScaleTest(unittest.TestCase):
    """--scale full: the whole market's size, the small market's stocks unchanged among them."""

    @classmethod
    def setUpClass(cls):
        started = time.time()
        cls.server = fixture.make_server(fixture.parse_args(["--seed", "7", "--now", NOW, "--scale", "full"]))
        cls.port = cls.server.server_address[1]
        cls.thread = threading.Thread(target=cls.server.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True)
        cls.thread.start()
        cls.startup = time.time() - started

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()
        cls.server.server_close()

    def get(self, path):
        status, headers, body = fetch(self.port, path)
        self.assertEqual("HTTP/1.1 200 OK", status, path)
        return body

    def test_whole_market_in_the_same_formats(self):
        self.assertLess(self.startup, 2.0)
        raw = gzip.decompress(self.get("/hqdatagzip/codelist/codelist.ldt"))
        self.assertEqual(0, len(raw) % 68)
        recs = [raw[i:i + 68] for i in range(0, len(raw), 68)]
        keys = [r[:2] + r[4:14].rstrip(b"\0") for r in recs]
        self.assertEqual(len(keys), len(set(keys)))
        self.assertTrue(4800 <= len(keys) <= 5500, len(keys))
        small = gzip.decompress(self.get_small_codelist())
        self.assertEqual(small, raw[:len(small)], "the small market comes first, unchanged")
        kinds = {}
        for s in self.server.state.data.stocks:
            kinds[s.kind] = kinds.get(s.kind, 0) + 1
        self.assertGreater(kinds[17] + kinds[33], 4500)
        self.assertGreater(kinds[18] + kinds[34], 40)
        self.assertGreater(kinds[16] + kinds[32], 20)
        for r in recs:
            r[14:48].rstrip(b"\0").decode("gbk")
        # A share of the larger market: whole day and minute files.
        last = keys[-1 - kinds[32]].decode()
        day = gzip.decompress(self.get("/hqdatagzip/sday/%s.ldy" % last))
        self.assertEqual(0, len(day) % 32)
        self.assertGreater(len(day) // 32, 2000)
        self.assertEqual(8314, len(gzip.decompress(self.get("/hqdatagzip/min/%s/%s.min" % (last[:2].lower(), last[2:])))))

    def get_small_codelist(self):
        return marketdata.gz(marketdata.MarketData(7, fixture.parse_now(NOW)).codelist())

    def test_sectors_in_proportion(self):
        lines = self.get("/data/blank/").decode("gbk").split("\r\n")[:-1]
        self.assertGreater(len(lines), 100)
        cats = {}
        listed = set(s.code for s in self.server.state.data.stocks)
        for line in lines:
            cat, group, url = line.split("-")
            cats[cat] = cats.get(cat, 0) + 1
        for cat in ("行业板块", "地域板块", "概念板块"):
            self.assertGreater(cats.get(cat, 0), 20, cat)
        member = self.get(url[len("http://127.0.0.1:%d" % self.port):])
        n = struct.unpack("<h", member[:2])[0]
        self.assertEqual(2 + 8 * n, len(member))
        self.assertGreater(n, 100)
        for i in range(n):
            self.assertIn(member[2 + 8 * i + 2:2 + 8 * i + 8].decode(), listed)
        status = self.get("/hqdata/makestatusinfo.php").decode("gbk").split("\r\n")
        counts = sum(int(line.split("\t")[1]) for line in status[4:])
        self.assertEqual(sum(1 for s in self.server.state.data.stocks if not s.is_index), counts)

    def test_scale_option(self):
        self.assertEqual(0, scale.parse("small"))
        self.assertEqual(scale.FULL_A_SHARES, scale.parse("full"))
        self.assertEqual(0, scale.parse("100"))  # never below the small market
        m = marketdata.MarketData(7, fixture.parse_now(NOW), scale.parse("1000"))
        self.assertTrue(950 <= sum(1 for s in m.stocks if s.is_a_share) <= 1050)
        again = marketdata.MarketData(7, fixture.parse_now(NOW), scale.parse("1000"))
        self.assertEqual(m.codelist(), again.codelist())
        self.assertEqual([(c, g, [s.key for s in ms]) for c, g, f, ms in m.sectors()],
                         [(c, g, [s.key for s in ms]) for c, g, f, ms in again.sectors()])
        with self.assertRaises(ValueError):
            scale.parse("huge")


if __name__ == "__main__":
    unittest.main(verbosity=1)
