"""The market at a larger scale: more A shares, B shares and indexes beside the small market's, with
sectors and groups in proportion. Deterministic for a seed; only identities are made up front (a
few milliseconds per thousand stocks), every data file stays lazy per stock.

"small" is the default market (about 340 A shares); "full" is the whole market (about 5,000 codes);
a number N asks for about N A shares.
"""
import random

from marketdata import REGIONS, CONCEPTS, Stock

FULL_A_SHARES = 4900
SMALL_A_SHARES = 341  # what the small market has

# Provinces for the regional sectors at scale (the small market's eight come first).
PROVINCES = REGIONS + ["天津", "重庆", "河北", "山西", "内蒙古", "辽宁", "吉林", "黑龙江", "安徽", "福建",
                       "江西", "河南", "湖北", "湖南", "广西", "海南", "贵州", "云南", "西藏", "陕西", "甘肃",
                       "青海", "宁夏"]
CONCEPT_WORDS = CONCEPTS + ["锂电池", "光伏", "储能", "氢能源", "半导体", "云计算", "大数据", "物联网",
                            "机器人", "无人驾驶", "军工", "航天", "生物医药", "创新药", "医疗器械", "养老",
                            "数字货币", "区块链", "网络安全", "白酒", "乡村振兴", "一带一路", "碳中和",
                            "跨境电商"]
NUMS = ["一", "二", "三", "四", "五", "六", "七", "八", "九", "十"]


def parse(text):
    """"small", "full" or a number of A shares -> the number of A shares (small: 0)."""
    text = (text or "small").strip().lower()
    if text == "small":
        return 0
    if text == "full":
        return FULL_A_SHARES
    n = int(text)  # ValueError for anything else
    if n < 0:
        raise ValueError("scale must be small, full or a positive number")
    return 0 if n <= SMALL_A_SHARES else n


def extend(md, used, a_shares):
    """Adds stocks to md.stocks until about a_shares A shares, with B shares and indexes in proportion."""
    rng = random.Random("scale:%d:%d" % (md.seed, a_shares))
    taken = set(s.key for s in md.stocks)
    factor = a_shares / float(SMALL_A_SHARES)
    extra = []

    def codes(market, ranges, n):
        pool = sorted(set(c for lo, hi in ranges for c in range(lo, hi) if (market + "%06d" % c) not in taken))
        picked = sorted(rng.sample(pool, min(n, len(pool))))
        for c in picked:
            taken.add(market + "%06d" % c)
        return ["%06d" % c for c in picked]

    def a_share(market, code, kind):
        extra.append(md._make_share(rng, used, market, code, kind))

    have = sum(1 for s in md.stocks if s.is_a_share)
    more = max(0, a_shares - have)
    sh = more * 46 // 100
    sz = more - sh
    for code in codes("SH", [(600000, 606000), (688001, 689000)], sh):
        a_share("SH", code, 17)
    for code in codes("SZ", [(1, 3000), (300001, 301500)], sz):
        a_share("SZ", code, 33)
    b_each = int(round(10 * factor / 3.0))  # B shares grow slower than the A-share market
    for code in codes("SH", [(900901, 901000)], max(0, b_each - 10)):
        name, short, ind = md._make_name(rng, used)
        extra.append(Stock("SH", code, name + "Ｂ", short + "B", 18, round(rng.uniform(0.3, 1.5), 3), 0.10,
                           0.001, rng.uniform(1e4, 1e5), ind))
    for code in codes("SZ", [(200011, 200999)], max(0, b_each - 10)):
        name, short, ind = md._make_name(rng, used)
        extra.append(Stock("SZ", code, name + "Ｂ", short + "B", 34, round(rng.uniform(2.0, 12.0), 2), 0.10,
                           0.01, rng.uniform(1e4, 1e5), ind))
    idx_each = int(round(2 * factor))
    for market, kind, ranges, level in (("SH", 16, [(1, 16), (17, 100)], 3000),
                                        ("SZ", 32, [(399002, 399006), (399007, 399100)], 9000)):
        for i, code in enumerate(codes(market, ranges, idx_each)):
            name = ("上证" if market == "SH" else "深证") + "指数" + str(i + 1)
            short = ("SZZS" if market == "SH" else "SZCZ") + str(i + 1)
            extra.append(Stock(market, code, name, short, kind, round(level * rng.uniform(0.3, 1.5), 2), 0.10,
                               0.01, rng.uniform(5e6, 2e8)))
    extra.sort(key=lambda s: (s.market, s.code))
    md.stocks.extend(extra)


def sectors(md):
    """[(category, group, file name, [stocks])]: industries split into groups of about 100 shares,
    every share in one province, and concepts in proportion to the small market's."""
    a = [s for s in md.stocks if s.is_a_share]
    factor = len(a) / float(SMALL_A_SHARES)
    rng = random.Random("sectors:%d:%d" % (md.seed, len(a)))
    groups = []
    for ind in sorted(set(s.industry for s in a)):
        members = [s for s in a if s.industry == ind]
        parts = max(1, (len(members) + 99) // 100)
        for p in range(parts):
            name = ind if parts == 1 else ind + NUMS[p % 10] + ("" if p < 10 else str(p // 10))
            groups.append(("行业板块", name, members[p::parts]))
    provinces = PROVINCES[:max(len(REGIONS), min(len(PROVINCES), int(round(len(REGIONS) * factor))))]
    by_region = {r: [] for r in provinces}
    for s in a:
        by_region[provinces[rng.randrange(len(provinces))]].append(s)
    for reg in provinces:
        groups.append(("地域板块", reg, by_region[reg]))
    n_concepts = int(round(len(CONCEPTS) * factor))
    size = min(len(a), int(round(18 * factor)))
    for i in range(n_concepts):
        word = CONCEPT_WORDS[i % len(CONCEPT_WORDS)]
        name = word if i < len(CONCEPT_WORDS) else word + str(i // len(CONCEPT_WORDS) + 1)
        groups.append(("概念板块", name, rng.sample(a, size)))
    return [(c, g, "g%03d.dat" % i, m) for i, (c, g, m) in enumerate(groups)]
