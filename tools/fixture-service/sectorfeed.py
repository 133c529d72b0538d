"""Later editions of the sector data: the same sector list and file names with other members, so
that a test can tell each stored member file apart as the old one or the new one.

Edition 1 is the standard data that the main routes serve; `/__fixture/sectors?edition=N` switches
to edition N (and `/__fixture/clear` back to 1). Members always come from the service's A shares.
"""
import random


def edition(state):
    return getattr(state, "sector_edition", 1)


def control(state, q):
    """`/__fixture/sectors?edition=N` -> the reply body."""
    try:
        n = int(q.get("edition", "1"))
    except ValueError:
        return b"bad edition"
    state.sector_edition = max(1, n)
    return b"ok"


def sectors(d, n):
    """The standard list with each group's members drawn again for edition n (a different count too)."""
    a = [s for s in d.stocks if s.is_a_share]
    out = []
    for i, (c, g, f, members) in enumerate(d.sectors()):
        rng = random.Random("sector-edition:%d:%d:%d" % (d.seed, n, i))
        count = max(1, min(len(a), len(members) + rng.randint(-5, 5)))
        out.append((c, g, f, rng.sample(a, count)))
    return out


def route(state, path, site_root, reply_class):
    """The sector list and member files of the current edition; None for edition 1 and other paths."""
    n = edition(state)
    if n == 1 or not (path in ("data/blank/", "data/blank") or path.startswith("data/group/")):
        return None
    d = state.data
    groups = sectors(d, n)
    if path.startswith("data/group/"):
        name = path[len("data/group/"):]
        for _, _, f, members in groups:
            if f == name:
                return reply_class(200, d.sector_file(members))
        return reply_class(404)
    lines = ["%s-%s-%sdata/group/%s" % (c, g, site_root, f) for c, g, f, _ in groups]
    text = "\r\n".join(lines) + "\r\n"
    return reply_class(200, text.encode("utf-8" if state.args.sector_utf8 else "gbk"), "text/plain")
