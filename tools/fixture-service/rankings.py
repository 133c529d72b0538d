"""The data server's ranking files (hqdata/calc/<file>.dat), computed from the same bars the
stocks' day, minute and tick files carry: the session day's bar is the one the minute file ends
with, so a ranked price, volume or amount is what the stock's own files show.

Every file is a concatenation of fixed records: "SH"/"SZ", code[10], name[32] (GBK, zero
filled), the file's values (little-endian), and an int16 direction at the end (1: the rise or
top list, -1: the fall or bottom list); up to 50 records of each list, A shares only.

Two damaged forms for the client's tests, under a folder of their own:
  hqdata/calc/short/<file>  the good file with its last record cut short by 7 bytes
  hqdata/calc/lines/<file>  two good records, then text lines instead of records
"""
import struct

import marketdata

SIZES = {"continue.dat": 56, "markupsort.dat": 58, "pricesort.dat": 50, "volumesort.dat": 54,
         "amountsort.dat": 54, "volumescale.dat": 54}
LIST_LENGTH = 50
GARBAGE_LINES = "<html><body>\r\n数据库忙，请稍后再试\r\nError 1040: Too many connections\r\n</body></html>\r\n"


def _head(s):
    return s.market.encode() + marketdata.fixed(s.code, 10) + marketdata.fixed(s.name, 32)


def recent_bars(d, s, count=30):
    """The stock's last bars, most recent first; the first is the session day's as the minute
    file and the day file's last record give it."""
    bars = list(d.bars(s, count))
    bars[0] = d.intraday(s)[1]
    return bars


def change(bar):
    return (bar[4] - bar[7]) / bar[7] * 100


def run_length(bars, up):
    """Days in a row, up to the session day, closing above (below) the day's reference close."""
    n = 0
    for b in bars:
        if (b[4] > b[7]) if up else (b[4] < b[7]):
            n += 1
        else:
            break
    return n


def volume_ratio(d, bars):
    """Volume per traded minute of the session against that of the five days before."""
    past = [b[5] for b in bars[1:6]]
    if not past:
        return 1.0
    return (bars[0][5] / max(1, d.filled)) / (sum(past) / len(past) / 241)


def ranking(d, name):
    """The body of a ranking file, or None for a name the server does not publish."""
    if name not in SIZES:
        return None
    key = ("ranking", name)
    if key in d._cache:
        return d._cache[key]
    shares = [s for s in d.stocks if s.is_a_share]
    recent = {s.key: recent_bars(d, s) for s in shares}
    out = bytearray()

    def lists(value, pack):
        """The top and the bottom LIST_LENGTH shares by value (ties by market and code)."""
        order = sorted(shares, key=lambda s: (value(s), s.key))
        top = sorted(shares, key=lambda s: (-value(s), s.key))
        for direction, group in ((1, top[:LIST_LENGTH]), (-1, order[:LIST_LENGTH])):
            for s in group:
                out.extend(_head(s) + pack(s, recent[s.key][0]) + struct.pack("<h", direction))

    if name == "continue.dat":
        for direction, up in ((1, True), (-1, False)):
            runs = [(run_length(recent[s.key], up), s) for s in shares]
            # Only shares that did rise (fall) on the session day are in a run at all.
            chosen = sorted((r for r in runs if r[0] > 0), key=lambda r: (-r[0], r[1].key))[:LIST_LENGTH]
            for days, s in chosen:
                b = recent[s.key][0]
                out += _head(s) + struct.pack("<Hff", days, b[5], change(b)) + struct.pack("<h", direction)
    elif name == "markupsort.dat":
        lists(lambda s: change(recent[s.key][0]), lambda s, b: struct.pack("<fff", b[4], b[5], change(b)))
    elif name == "pricesort.dat":
        lists(lambda s: recent[s.key][0][4], lambda s, b: struct.pack("<f", b[4]))
    elif name == "volumesort.dat":
        lists(lambda s: recent[s.key][0][5], lambda s, b: struct.pack("<ff", b[4], b[5]))
    elif name == "amountsort.dat":
        lists(lambda s: recent[s.key][0][6], lambda s, b: struct.pack("<ff", b[4], b[6]))
    elif name == "volumescale.dat":
        ratios = {s.key: volume_ratio(d, recent[s.key]) for s in shares}
        lists(lambda s: ratios[s.key], lambda s, b: struct.pack("<ff", ratios[s.key], b[4]))
    d._cache[key] = bytes(out)
    return d._cache[key]


def serve(d, rest):
    """rest: the path after "hqdata/calc/". The body, or None for 404."""
    folder, _, name = rest.rpartition("/")
    body = ranking(d, name)
    if body is None or folder not in ("", "short", "lines"):
        return None
    if folder == "short":
        return body[:-7]
    if folder == "lines":
        return body[:2 * SIZES[name]] + GARBAGE_LINES.encode("gbk") * 3
    return body
