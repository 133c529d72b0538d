"""Synthetic market data for the fixture service: deterministic for a seed, built lazily per stock.

All numbers are little-endian; texts are GBK. Calendar arithmetic is pure arithmetic on UTC+8 days.
"""
import gzip
import random
import struct

BEIJING = 8 * 3600
EPOCH_ORDINAL = 719163  # date(1970, 1, 1).toordinal()
YEARS = 10

# Characters with their pinyin initials; a polyphonic one lists its alternatives.
CHARS = [
    ("浦", "P"), ("发", "F"), ("华", "H"), ("夏", "X"), ("中", "Z"), ("国", "G"), ("东", "D"), ("方", "F"),
    ("南", "N"), ("北", "B"), ("海", "H"), ("天", "T"), ("金", "J"), ("宝", "B"), ("信", "X"), ("达", "D"),
    ("创", "C"), ("新", "X"), ("宏", "H"), ("泰", "T"), ("安", "A"), ("瑞", "R"), ("明", "M"), ("星", "X"),
    ("江", "J"), ("山", "S"), ("林", "L"), ("川", "C"), ("兴", "X"), ("源", "Y"), ("鑫", "X"), ("盛", "S"),
    ("嘉", "J"), ("富", "F"), ("远", "Y"), ("康", "K"), ("恒", "H"), ("通", "T"), ("联", "L"), ("合", "H"),
    ("长", "CZ"), ("重", "CZ"), ("行", "XH"), ("乐", "LY"), ("朝", "CZ"), ("厦", "XS"),
]
SUFFIXES = [
    ("银行", "YH"), ("科技", "KJ"), ("股份", "GF"), ("实业", "SY"), ("电子", "DZ"), ("药业", "YY"),
    ("地产", "DC"), ("能源", "NY"), ("证券", "ZQ"), ("汽车", "QC"), ("钢铁", "GT"), ("电力", "DL"),
    ("化工", "HG"), ("食品", "SP"), ("传媒", "CM"), ("机械", "JX"), ("港口", "GK"), ("航空", "HK"),
]
INDUSTRY = {"YH": "银行", "ZQ": "金融", "DC": "地产", "NY": "能源", "DL": "能源", "GT": "制造", "JX": "制造",
            "QC": "制造", "HG": "制造", "YY": "医药", "SP": "消费", "CM": "传媒", "KJ": "科技", "DZ": "科技",
            "GK": "交通", "HK": "交通", "GF": "综合", "SY": "综合"}
REGIONS = ["上海", "深圳", "北京", "浙江", "江苏", "广东", "四川", "山东"]
CONCEPTS = ["新能源", "芯片", "消费电子", "高股息", "国企改革", "人工智能"]

F10_TITLES = ["最新提示", "公司概况", "财务分析", "股东研究", "股本股改", "风险因素", "公司报道", "行业分析",
              "公司大事", "港澳分析", "经营分析", "主力追踪", "分红扩股", "高层治理", "业内点评", "关联个股"]
CN_NUMS = ["一", "二", "三", "四", "五", "六", "七", "八", "九", "十", "十一", "十二", "十三", "十四", "十五",
           "十六"]

HOLIDAYS = {(1, 1), (1, 2), (1, 3), (5, 1), (5, 2), (5, 3), (10, 1), (10, 2), (10, 3), (10, 4), (10, 5),
            (10, 6), (10, 7)}


def civil_from_days(z):
    """Days since 1970-01-01 -> (year, month, day)."""
    z += 719468
    era = (z if z >= 0 else z - 146096) // 146097
    doe = z - era * 146097
    yoe = (doe - doe // 1460 + doe // 36524 - doe // 146096) // 365
    y = yoe + era * 400
    doy = doe - (365 * yoe + yoe // 4 - yoe // 100)
    mp = (5 * doy + 2) // 153
    d = doy - (153 * mp + 2) // 5 + 1
    m = mp + 3 if mp < 10 else mp - 9
    return (y + (1 if m <= 2 else 0), m, d)


def is_trading_day(day):
    y, m, d = civil_from_days(day)
    return (day + 4) % 7 not in (0, 6) and (m, d) not in HOLIDAYS  # 1970-01-01 was a Thursday


def gz(data):
    return gzip.compress(data, compresslevel=6, mtime=0)


def fixed(text, size):
    raw = text.encode("gbk")[:size - 1]
    return raw + b"\0" * (size - len(raw))


class Stock:
    __slots__ = ("market", "code", "name", "short", "kind", "price", "limit", "tick", "vol", "industry", "st")

    def __init__(self, market, code, name, short, kind, price, limit, tick, vol, industry="", st=False):
        self.market, self.code, self.name, self.short, self.kind = market, code, name, short, kind
        self.price, self.limit, self.tick, self.vol, self.industry, self.st = price, limit, tick, vol, industry, st

    @property
    def key(self):
        return self.market + self.code

    @property
    def is_index(self):
        return self.kind in (16, 32)

    @property
    def is_a_share(self):
        return self.kind in (17, 33)


class MarketData:
    def __init__(self, seed, now, scale=0):
        self.seed = seed
        self.scale = scale  # A shares wanted beyond the small market (scale.py); 0: the small market
        self.set_now(now)
        self.stocks = []
        self._make_stocks()
        self.by_key = {s.key: s for s in self.stocks}
        self._cache = {}

    # ----- time
    def set_now(self, now):
        self.now = int(now)
        local = self.now + BEIJING
        today, sec = divmod(local, 86400)
        # The session day: today once the market has opened, else the last trading day before.
        if is_trading_day(today) and sec >= 9 * 3600 + 30 * 60:
            self.session_day = today
            self.filled = 241 if sec >= 15 * 3600 else self.slot_of(sec) + 1
        else:
            d = today - 1
            while not is_trading_day(d):
                d -= 1
            self.session_day, self.filled = d, 241
        days = []
        d = self.session_day
        first = self.session_day - YEARS * 365
        while d > first:
            if is_trading_day(d):
                days.append(d)
            d -= 1
        self.days_desc = days  # most recent first
        self._cache = {}

    @staticmethod
    def slot_of(sec):
        """Second of the Beijing day -> minute slot 0..240 (09:30..11:30, 13:01..15:00)."""
        m = sec // 60
        if m <= 11 * 60 + 30:
            return max(0, m - (9 * 60 + 30))
        if m <= 13 * 60:
            return 120
        return min(240, 120 + m - 13 * 60)

    @staticmethod
    def slot_hhmm(i):
        m = 9 * 60 + 30 + i if i <= 120 else 13 * 60 + (i - 120)
        return (m // 60) * 100 + m % 60

    def market_open(self):
        local = self.now + BEIJING
        today, sec = divmod(local, 86400)
        return 1 if is_trading_day(today) and 9 * 3600 + 15 * 60 <= sec <= 15 * 3600 else 0

    @staticmethod
    def day_time(day, hhmm=1500):
        return day * 86400 + (hhmm // 100) * 3600 + (hhmm % 100) * 60 - BEIJING

    @staticmethod
    def yyyymmdd(day):
        y, m, d = civil_from_days(day)
        return y * 10000 + m * 100 + d

    # ----- identities
    def _make_share(self, rng, used, market, code, kind):
        """An A share with a fresh name, one in 25 of them under special treatment."""
        name, short, ind = self._make_name(rng, used)
        st = rng.random() < 0.04
        if st:
            star = rng.random() < 0.5
            name = ("*ST" if star else "ST") + name
            short = ("*ST" if star else "ST") + short
        price = round(rng.uniform(3.0, 60.0), 2)
        return Stock(market, code, name, short[:19], kind, price, 0.05 if st else 0.10, 0.01,
                     rng.uniform(2e4, 6e5), ind, st)

    def _make_name(self, rng, used):
        while True:
            n = rng.choice((2, 2, 3))
            chars = [rng.choice(CHARS) for _ in range(n)]
            suffix = rng.choice(SUFFIXES)
            name = "".join(c for c, _ in chars) + suffix[0]
            if name not in used:
                used.add(name)
                short = "".join(p if len(p) == 1 else "(%s)" % "|".join(p) for _, p in chars) + suffix[1]
                return name, short, INDUSTRY[suffix[1]]

    def _make_stocks(self):
        rng = random.Random("names:%d" % self.seed)
        used = set()
        add = self.stocks.append
        level = lambda base: round(base * rng.uniform(0.85, 1.15), 2)  # noqa: E731
        add(Stock("SH", "1A0001", "上证指数", "SZZS", 16, level(3200), 0.10, 0.01, 2.0e8))
        add(Stock("SH", "000016", "上证50", "SZ50", 16, level(2600), 0.10, 0.01, 5.0e7))
        add(Stock("SZ", "399001", "深证成指", "SZCZ", 32, level(10500), 0.10, 0.01, 2.5e8))
        add(Stock("SZ", "399006", "创业板指", "CYBZ", 32, level(2100), 0.10, 0.01, 8.0e7))

        def a_share(market, code, kind):
            add(self._make_share(rng, used, market, code, kind))

        # A stock with a polyphonic *ST name, and SH/SZ codes with equal six digits (000016).
        add(Stock("SH", "600898", "*ST长重", "*ST(C|Z)(C|Z)", 17, 4.2, 0.05, 0.01, 5e4, "综合", True))
        for i in range(180):
            a_share("SH", "%06d" % (600000 + i * 3 + (i % 2)), 17)
        for i in range(80):
            a_share("SZ", "%06d" % (1 + i * 7), 33)
        a_share("SZ", "000016", 33)
        for i in range(40):
            a_share("SZ", "%06d" % (2001 + i * 11), 33)
        for i in range(40):
            a_share("SZ", "%06d" % (300001 + i * 13), 33)
        for i in range(10):
            name, short, ind = self._make_name(rng, used)
            add(Stock("SH", "%06d" % (900901 + i), name + "Ｂ", short + "B", 18, round(rng.uniform(0.3, 1.5), 3),
                      0.10, 0.001, rng.uniform(1e4, 1e5), ind))
        for i in range(10):
            name, short, ind = self._make_name(rng, used)
            add(Stock("SZ", "%06d" % (200011 + i * 7), name + "Ｂ", short + "B", 34,
                      round(rng.uniform(2.0, 12.0), 2), 0.10, 0.01, rng.uniform(1e4, 1e5), ind))
        if self.scale:
            import scale
            scale.extend(self, used, self.scale)
        # One code of each market per group of equal six digits keeps a deterministic order.
        seen = set()
        uniq = []
        for s in self.stocks:
            if s.key not in seen:
                seen.add(s.key)
                uniq.append(s)
        self.stocks = uniq

    def find(self, market, code):
        return self.by_key.get(market.upper() + code)

    # ----- code list
    def codelist(self):
        out = bytearray()
        for s in self.stocks:
            out += s.market.encode() + b"\0\0" + fixed(s.code, 10) + fixed(s.name, 34) + fixed(s.short, 20)
        return bytes(out)

    # ----- bars
    def _rng(self, s, what):
        return random.Random("%s:%d:%s:%d" % (what, self.seed, s.key, self.session_day))

    def _round(self, s, p):
        return round(round(p / s.tick) * s.tick, 3)

    @staticmethod
    def _amount(s, volume, price):
        # Volumes are in lots of 100 shares; an index trades at the market's mean share price.
        return volume * 100 * (13.0 if s.is_index else price)

    def intraday(self, s):
        """Today's minutes (list of 241 tuples or None) and the session day's bar."""
        k = ("intraday", s.key)
        if k in self._cache:
            return self._cache[k]
        rng = self._rng(s, "min")
        bars = self.bars(s, 1)
        prev_close = bars[0][7]
        close = bars[0][4]
        lo_lim = self._round(s, prev_close * (1 - s.limit))
        hi_lim = self._round(s, prev_close * (1 + s.limit))
        n = self.filled
        open_ = self._round(s, min(hi_lim, max(lo_lim, prev_close * (1 + rng.gauss(0, s.limit / 8)))))
        # A bridge from the open to the close over the filled minutes, kept within the limits.
        path, walk = [], 0.0
        steps = [rng.gauss(0, 1) for _ in range(n)]
        total = sum(steps)
        for i in range(n):
            walk += steps[i] - total / n
            frac = (i + 1) / n
            p = open_ + (close - open_) * frac + walk * prev_close * 0.002
            path.append(self._round(s, min(hi_lim, max(lo_lim, p))))
        path[-1] = close
        minutes, cum_v, cum_a = [], 0.0, 0.0
        shape = [1.6 if i < 30 or i > 225 else 1.0 for i in range(241)]
        for i in range(n):
            hi = max(path[i], path[i - 1] if i else open_)
            lo = min(path[i], path[i - 1] if i else open_)
            v = float(max(1, int(s.vol / 241 * shape[i] * rng.uniform(0.3, 1.7))))
            a = self._amount(s, v, (hi + lo) / 2)
            cum_v += v
            cum_a += a
            minutes.append((self.slot_hhmm(i), path[i], cum_a / (cum_v * 100), cum_v, v, cum_a, a, hi, lo))
        high = max(m[7] for m in minutes)
        low = min(m[8] for m in minutes)
        bar = (self.day_time(self.session_day), open_, high, low, close, cum_v, cum_a, prev_close)
        self._cache[k] = (minutes, bar)
        return self._cache[k]

    def bars(self, s, count=None):
        """Day bars, most recent first: (time, open, high, low, close, volume, amount, ref prev close).

        Walked backwards from the session day so that the recent bars cost nothing extra. The ref
        prev close is the price the day's limits are taken from (after an ex-rights adjustment).
        """
        full = count is None
        k = ("bars", s.key)
        if k in self._cache:
            return self._cache[k] if full else self._cache[k][:count]
        rng = self._rng(s, "day")
        out = []
        close = s.price
        suspended = 0
        n = len(self.days_desc) if full else min(count, len(self.days_desc))
        # Every share has two ex-rights days a chart can show: one within the last year, one
        # within the three before; drawn from a generator of their own so the walk stays as it was.
        xr = random.Random("xr:%d:%s:%d" % (self.seed, s.key, self.session_day))
        planned = {} if s.is_index else {xr.randint(40, 230): xr.choice((1.3, 1.5, 2.0)),
                                           xr.randint(260, 900): xr.choice((1.3, 1.5, 2.0))}
        for idx in range(n):
            day = self.days_desc[idx]
            r = max(-s.limit, min(s.limit, rng.gauss(0.0003, 0.012 if s.is_index else 0.022)))
            ref = max(s.tick * 20, close / (1 + r))
            hi_lim, lo_lim = ref * (1 + s.limit), ref * (1 - s.limit)
            open_ = self._round(s, min(hi_lim, max(lo_lim, ref * (1 + rng.gauss(0, s.limit / 6)))))
            high = self._round(s, min(hi_lim, max(open_, close) * (1 + abs(rng.gauss(0, 0.008)))))
            low = self._round(s, max(lo_lim, min(open_, close) * (1 - abs(rng.gauss(0, 0.008)))))
            vol = float(max(100, int(s.vol * rng.lognormvariate(0, 0.4))))
            amount = self._amount(s, vol, (open_ + high + low + close) / 4)
            gap = rng.random()
            skip = rng.random()
            ref_r = self._round(s, ref)
            if suspended > 0:
                suspended -= 1
            elif idx > 0 and not s.is_index and skip < 0.0025:
                suspended = rng.randint(1, 15)
            else:
                out.append((self.day_time(day), open_, high, low, close, vol, amount, ref_r))
            # Ex-rights: the raw close of the day before lies above the reference price.
            if not s.is_index and gap < 0.0012:
                ref *= rng.choice((1.3, 1.5, 2.0, 1.1))
            if idx in planned:
                ref *= planned[idx]
            close = self._round(s, ref)
        if full:
            self._cache[k] = out
        return out

    def day_file(self, s):
        bars = list(self.bars(s))
        minutes, today = self.intraday(s)
        bars[0] = today
        out = bytearray()
        for b in reversed(bars):
            out += struct.pack("<i6fi", b[0], b[1], b[2], b[3], b[4], b[5], b[6], 0)
        return bytes(out)

    def min_file(self, s):
        minutes, bar = self.intraday(s)
        t, open_, high, low, close, vol, amount, prev = bar
        last = minutes[-1]
        qtime = self.day_time(self.session_day, last[0])
        step = s.tick
        bids = [self._round(s, close - step * i) for i in range(1, 6)]
        asks = [self._round(s, close + step * i) for i in range(1, 6)]
        rng = self._rng(s, "book")
        bvol = [float(rng.randint(1, 900)) for _ in range(5)]
        avol = [float(rng.randint(1, 900)) for _ in range(5)]
        head = struct.pack("<ii7fi", 0, qtime, prev, open_, high, low, close, vol, amount, 0)
        head += struct.pack("<20f", *(bids + bvol + asks + avol))
        assert len(head) == 120
        out = bytearray(head)
        for i in range(241):
            if i < len(minutes):
                hhmm, p, avg, cv, v, ca, a, hi, lo = minutes[i]
                out += struct.pack("<H8f", hhmm, p, avg, cv, v, ca, a, hi, lo)
            else:
                out += struct.pack("<H8f", self.slot_hhmm(i), 0, 0, 0, 0, 0, 0, 0, 0)
        assert len(out) == 8314
        return bytes(out)

    def tick_file(self, s):
        """".fbs" records: time, price, amount, volume (floats), direction 1 buy / 2 sell."""
        minutes, bar = self.intraday(s)
        rng = self._rng(s, "tick")
        out = bytearray()
        prev = bar[1]
        for i, m in enumerate(minutes):
            base = self.day_time(self.session_day, m[0]) - 60 if i else self.day_time(self.session_day, 930)
            n = rng.randint(1, 4)
            left = m[4]
            for j in range(n):
                v = left if j == n - 1 else float(max(1, int(left * rng.uniform(0.1, 0.5))))
                left -= v
                p = m[1] if j == n - 1 else self._round(s, rng.uniform(m[8], m[7]))
                d = 1 if p > prev else 2 if p < prev else rng.choice((1, 2))
                out += struct.pack("<i3fi", base + 3 + j * (55 // n), p, p * v * 100, v, d)
                prev = p
        return bytes(out)

    def signal_file(self, s):
        """MACD crosses of the day closes: (time, 1 buy / 2 sell)."""
        bars = list(reversed(self.bars(s)))
        e12 = e26 = dea = None
        last = 0
        out = bytearray()
        for b in bars:
            c = b[4]
            e12 = c if e12 is None else e12 + (c - e12) * 2 / 13
            e26 = c if e26 is None else e26 + (c - e26) * 2 / 27
            dif = e12 - e26
            dea = dif if dea is None else dea + (dif - dea) * 2 / 10
            sign = 1 if dif > dea else -1
            if last and sign != last:
                out += struct.pack("<ii", b[0], 1 if sign > 0 else 2)
            last = sign
        return bytes(out)

    def company_text(self, s):
        rng = self._rng(s, "f10")
        lines = ["%s(%s) 公司信息" % (s.name, s.code), ""]
        for i, title in enumerate(F10_TITLES):
            if i > 2 and rng.random() < 0.15:
                continue  # not every company has every page
            lines.append("%s、========%s========" % (CN_NUMS[i], title))
            lines.append("")
            for j in range(rng.randint(2, 6)):
                lines.append("  %s第%d项：%s，数值%.2f。" % (title, j + 1, s.name, rng.uniform(1, 1000)))
            lines.append("")
        return "\r\n".join(lines).encode("gbk")

    # ----- market-wide texts and files
    def status_text(self):
        rows = []
        for key, name in (("SH1A0001", "上证指数"), ("SZ399001", "深证成指"), ("SH000016", "上证50"),
                          ("SZ399006", "创业板指")):
            s = self.by_key[key]
            _, bar = self.intraday(s)
            chg = bar[4] - bar[7]
            rows.append("%s\t%.2f;%.2f;%.2f;%.0f" % (name, bar[4], chg, chg / bar[7] * 100, bar[6]))
        up = down = flat = 0
        for s in self.stocks:
            if s.is_index:
                continue
            b = self.bars(s, 1)[0]
            up, down, flat = (up + 1, down, flat) if b[4] > b[7] else (up, down + 1, flat) if b[4] < b[7] \
                else (up, down, flat + 1)
        rows += ["上涨家数\t%d" % up, "下跌家数\t%d" % down, "平盘家数\t%d" % flat]
        return "\r\n".join(rows).encode("gbk")

    def sectors(self):
        """[(category, group, file name, [stocks])] in a stable order."""
        k = ("sectors",)
        if k in self._cache:
            return self._cache[k]
        if self.scale:
            import scale
            self._cache[k] = scale.sectors(self)
            return self._cache[k]
        a = [s for s in self.stocks if s.is_a_share]
        groups = []
        for ind in sorted(set(s.industry for s in a)):
            groups.append(("行业板块", ind, [s for s in a if s.industry == ind]))
        rng = random.Random("sectors:%d" % self.seed)
        for reg in REGIONS:
            groups.append(("地域板块", reg, rng.sample(a, 25)))
        for con in CONCEPTS:
            groups.append(("概念板块", con, rng.sample(a, 18)))
        out = [(c, g, "g%03d.dat" % i, m) for i, (c, g, m) in enumerate(groups)]
        self._cache[k] = out
        return out

    def sector_file(self, members):
        out = bytearray(struct.pack("<h", len(members)))
        for s in members:
            out += bytes((0, s.kind)) + s.code.encode()[:6]
        return bytes(out)

    def news(self, site_root):
        rng = random.Random("news:%d:%d" % (self.seed, self.session_day))
        heads = ["两市成交额%d亿元" % rng.randint(6000, 12000), "央行开展%d亿元逆回购操作" % rng.randint(100, 900),
                 "%s板块午后走强" % rng.choice(CONCEPTS), "沪指收报%.2f点" % self.bars(self.stocks[0], 1)[0][4],
                 "北向资金净流入%d亿元" % rng.randint(1, 90)]
        return "".join("%s\t%shtml/gushibobao/%d.html\r\n" % (h, site_root, i) for i, h in enumerate(heads)) \
            .encode("utf-8")

    def update_exe(self):
        rng = random.Random("exe:%d" % self.seed)
        body = bytes(rng.getrandbits(8) for _ in range(24576 - 64))
        return b"MZ" + b"\x90\0" * 31 + b"\0\0" + body[:len(body) - 2] + b"PE"
