#!/usr/bin/env python3
"""The advice replies agree with the stocks and the day files the same service hands out."""
import base64
import gzip
import os
import struct
import sys
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import advice  # noqa: E402
import fixture  # noqa: E402
import marketdata  # noqa: E402

NOW = fixture.parse_now("2026-12-10 14:00")


def pool_id(kind, client="5", lead="1"):
    plain = "%s\t%s\t%d\t%d" % (lead, client, kind, NOW)
    return base64.b64encode(plain.encode()).decode().replace("+", "!").replace("/", "_").replace("=", "-")


class AdviceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.data = marketdata.MarketData(1, NOW)
        # The code list as the client reads it: market, code and name of each record.
        raw = cls.data.codelist()
        cls.names = {}
        for i in range(0, len(raw), 68):
            rec = raw[i:i + 68]
            market = rec[:2].decode()
            code = rec[4:14].split(b"\0")[0].decode()
            cls.names[(market, code)] = rec[14:48].split(b"\0")[0].decode("gbk")

    def route(self, path, query):
        reply = fixture.route(State(self.data), path, query, "127.0.0.1:1")
        self.assertEqual(200, reply.status)
        return reply.body

    def day_bars(self, stock):
        """The day file's bars (time, close) as the client stores them, most recent first."""
        body = self.data.day_file(stock)
        bars = [struct.unpack_from("<i6fi", body, i) for i in range(0, len(body), 32)]
        return [(b[0], b[4]) for b in reversed(bars)]

    def test_pools_list_real_shares_with_their_names_and_trading_dates(self):
        for kind in (1, 2, 3, 4):
            body = self.route("plus/velmora_stocks.php", "id=" + pool_id(kind))
            lines = body.decode("utf-8").split("\r\n")
            self.assertEqual("", lines[-1])
            self.assertGreater(len(lines) - 1, 3, kind)
            for line in lines[:-1]:
                market, code, name, date = line.split("\t")
                self.assertIn(market, ("sh", "sz"))  # lower case: the client opens "sh" as Shanghai
                self.assertEqual(self.names[(market.upper(), code)], name)
                stock = self.data.find(market, code)
                self.assertTrue(stock.is_a_share)
                dates = {advice._date_text(t) for t, _ in self.day_bars(stock)[:advice.POOL_DAYS]}
                self.assertIn(date, dates, line)

    def test_short_term_pool_rose_in_the_day_file(self):
        body = self.route("plus/velmora_stocks.php", "id=" + pool_id(1)).decode("utf-8")
        for line in body.split("\r\n")[:-1]:
            market, code = line.split("\t")[:2]
            bars = self.data.bars(self.data.find(market, code), 3)
            self.assertGreater(self.day_bars(self.data.find(market, code))[0][1] / bars[-1][7], 1.03)

    def test_request_ids_that_name_no_pool_get_an_empty_reply(self):
        for query in ("", "id=", "id=%%%", "id=" + pool_id(5), "id=" + pool_id(0), "id=" + pool_id(2, client="6"),
                      "id=" + pool_id(2, lead="2"), "id=" + base64.b64encode(b"\xff\xfe\t").decode()):
            self.assertEqual(b"", self.route("plus/velmora_stocks.php", query), query)

    def test_trend_quotes_the_stock_and_its_closes(self):
        for code in ("600000", "000016", "300001"):  # "000016" is an index in Shanghai, a share in Shenzhen
            text = self.route("plus/stock_trend.php", "code=" + code).decode("utf-8")
            stock = advice.find_share(self.data, code)
            self.assertFalse(stock.is_index)
            self.assertTrue(text.startswith("%s(%s)最近" % (stock.name, code)), text)
            closes = [c for _, c in self.day_bars(stock)[:5]]
            self.assertIn("五日均价%.2f元" % (sum(closes) / len(closes)), text)
            self.assertNotIn("\n", text)

    def test_no_trend_for_an_index_or_an_unknown_code(self):
        for code in ("1A0001", "399001", "999999", ""):
            self.assertEqual(b"", self.route("plus/stock_trend.php", "code=" + urllib.parse.quote(code)))


class State:
    """What route() needs of the service's state."""
    def __init__(self, data):
        self.data = data
        self.args = fixture.parse_args([])


if __name__ == "__main__":
    unittest.main()
