"""The service's advice on stocks: trend diagnosis texts and the four stock pools.

Both are computed from the same day bars the data files carry, so that what the client shows next
to a chart agrees with the chart: a pool's stock really rose as its pool says, a trend text quotes
the stock's own closes and names.

    plus/stock_trend.php?code=<six digits>   one UTF-8 line; empty for an unknown code or an index
    plus/velmora_stocks.php?id=<URL base64>  UTF-8 lines "market\\tcode\\tname\\tYYYY-MM-DD\\r\\n"
"""
import base64

from marketdata import civil_from_days

TREND_DAYS = 10
POOL_DAYS = 20


def find_share(data, code):
    """The stock of a bare code, a share before an index ("000016" is both)."""
    found = [s for s in (data.by_key.get("SH" + code), data.by_key.get("SZ" + code)) if s is not None]
    found.sort(key=lambda s: s.is_index)
    return found[0] if found else None


def _date_text(day_time):
    day = (day_time + 8 * 3600) // 86400
    y, m, d = civil_from_days(day)
    return "%04d-%02d-%02d" % (y, m, d)


def trend(data, code):
    """The trend verdict over the last ten trading days, UTF-8; empty when there is none."""
    s = find_share(data, code)
    if s is None or s.is_index:
        return b""
    bars = data.bars(s, TREND_DAYS)  # most recent first; a suspended day has no bar
    closes = [b[4] for b in bars]
    before = bars[-1][7]  # the close the window starts from
    change = (closes[0] / before - 1) * 100 if before else 0.0
    ups = sum(1 for b in bars if b[4] > b[7])
    ma5 = sum(closes[:5]) / len(closes[:5])
    ma10 = sum(closes) / len(closes)
    if change > 3 and ma5 >= ma10:
        verdict = "短期趋势向上，可逢低关注"
    elif change < -3 and ma5 <= ma10:
        verdict = "短期趋势向下，注意控制风险"
    else:
        verdict = "近期处于震荡整理，宜观望"
    text = "%s(%s)最近%d个交易日%s%.2f%%，其中%d日上涨；五日均价%.2f元，十日均价%.2f元。%s。" % (
        s.name, s.code, len(bars), "上涨" if change >= 0 else "下跌", abs(change), ups, ma5, ma10, verdict)
    return text.encode("utf-8")


def pool_kind(query_id):
    """The pool type of a request id ("1\\t5\\t<type>\\t<time>" in URL-form base64), else None."""
    raw = query_id.replace("!", "+").replace("_", "/").replace("-", "=")
    try:
        fields = base64.b64decode(raw + "=" * (-len(raw) % 4), validate=True).decode("utf-8").split("\t")
        if len(fields) != 4 or fields[0] != "1" or fields[1] != "5" or not fields[3].isdigit():
            return None
        kind = int(fields[2])
    except (ValueError, UnicodeDecodeError):
        return None
    return kind if 1 <= kind <= 4 else None


def _signals(data, s):
    """(rise over 3 days, rise over 20 days, close, ma5, ma10, ma20, start day of the last run up)."""
    bars = data.bars(s, POOL_DAYS)
    if len(bars) < 12:
        return None
    closes = [b[4] for b in bars]

    def ma(n):
        return sum(closes[:n]) / len(closes[:n])

    start = bars[0][0]
    for b in bars:  # back through the run of rising days that ends at the latest bar
        if b[4] > b[7]:
            start = b[0]
        else:
            break
    return (closes[0] / bars[min(2, len(bars) - 1)][7] - 1, closes[0] / bars[-1][7] - 1,
            closes[0], ma(5), ma(10), ma(20), start)


def pool(data, kind):
    """The pool of a type as UTF-8 lines; the same for the same seed and session day."""
    key = ("advice-pool", kind)
    if key in data._cache:
        return data._cache[key]
    rows = []
    for s in data.stocks:
        if not s.is_a_share:
            continue
        sig = _signals(data, s)
        if sig is None:
            continue
        rise3, rise20, close, ma5, ma10, ma20, start = sig
        if kind == 1 and rise3 > 0.03:  # sharp short-term strength, strongest first
            rows.append((-rise3, s, start))
        elif kind == 2 and close > ma5 > ma10 and rise3 > 0:  # classic short-term alignment
            rows.append((s.market + s.code, s, start))
        elif kind == 3 and rise20 > 0.08:  # a swing under way, strongest first
            rows.append((-rise20, s, start))
        elif kind == 4 and close > ma10 > ma20:  # classic swing alignment
            rows.append((s.market + s.code, s, start))
    rows.sort(key=lambda r: r[0])
    lines = ["%s\t%s\t%s\t%s\r\n" % (s.market.lower(), s.code, s.name, _date_text(start))
             for _, s, start in rows[:8 + 2 * kind]]
    body = "".join(lines).encode("utf-8")
    data._cache[key] = body
    return body


def route(data, path, query):
    """The reply body of an advice path, or None for any other path."""
    if path == "plus/stock_trend.php":
        return trend(data, query.get("code", [""])[0])
    if path == "plus/velmora_stocks.php":
        kind = pool_kind(query.get("id", [""])[0])
        return b"" if kind is None else pool(data, kind)
    return None
