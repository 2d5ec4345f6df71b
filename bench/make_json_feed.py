#!/usr/bin/env python3
"""Writes a large JSON Feed for the memory benchmarks of the JSON Feed reader:

  bench/make_json_feed.py OUT.json [--mb 60] [--base http://127.0.0.1:18765]

Items look like a busy site's: title, url, id, date_published, an image and
2-6 KB of content_html, until the file reaches the size asked for. The output
is the same on every run. Peak memory of a merge:

  /usr/bin/time -v build/bin/wrenly-cli merge 100 OUT.json
"""
import argparse
import json
import random

WORDS = ("the of and to in a is that for it as was with be by on not this are or from at which have an "
         "they you were there been one all we their has would when more will no out up about into than "
         "council report market energy climate election court police city storm budget health school").split()


def parse_args():
    """OUT, --mb (the size to reach) and --base (the address items point to)."""
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--mb", type=float, default=60)
    parser.add_argument("--base", default="http://127.0.0.1:18765")
    return parser.parse_args()


def paragraphs(rng):
    """A 2-6 KB article body of made-up words."""
    words = lambda k: " ".join(rng.choice(WORDS) for _ in range(k))
    return "".join("<p>%s.</p>" % words(rng.randint(40, 120)) for _ in range(rng.randint(3, 8)))


def title(rng, k):
    return " ".join(rng.choice(WORDS) for _ in range(k)).capitalize()


def main():
    args = parse_args()
    rng = random.Random(7)
    limit = int(args.mb * 1024 * 1024)
    with open(args.out, "w", encoding="utf-8") as out:
        head = '{"version": "https://jsonfeed.org/version/1.1", "title": "Large JSON Feed", ' \
               '"home_page_url": "%s/", "items": [\n' % args.base
        out.write(head)
        size, n = len(head), 0
        while size < limit:
            item = {
                "id": "%s/articles/%d" % (args.base, n),
                "url": "%s/articles/%d.html" % (args.base, n),
                "title": title(rng, rng.randint(5, 12)),
                "date_published": "2026-%02d-%02dT%02d:%02d:00Z" % (1 + n // 40000 % 12, 1 + n // 1440 % 28,
                                                                   n // 60 % 24, n % 60),
                "image": "%s/img/%d.png" % (args.base, n % 64),
                "content_html": paragraphs(rng),
            }
            text = ("," if n else "") + json.dumps(item, ensure_ascii=False) + "\n"
            out.write(text)
            size += len(text.encode("utf-8"))
            n += 1
        out.write("]}\n")
    print("%s: %d items, %.1f MB" % (args.out, n, size / 1e6))


if __name__ == "__main__":
    main()
