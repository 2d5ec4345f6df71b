#!/usr/bin/env python3
"""Writes a large RSS 2.0 feed for the memory benchmarks of the XML feed reader:

  bench/make_rss_feed.py OUT.xml [--mb 60] [--base http://127.0.0.1:18765]

Items look like a busy site's: title, link, guid, pubDate, dc:creator and
2-6 KB of HTML description (half in CDATA, half entity-escaped), with the
channel's title, link and image after the items, until the file reaches the
size asked for. The output is the same on every run. Peak memory of a merge:

  /usr/bin/time -v build/bin/wrenly-cli merge 100 OUT.xml
"""
import html
import random

from make_json_feed import paragraphs, parse_args, title


def main():
    args = parse_args()
    rng = random.Random(7)
    limit = int(args.mb * 1024 * 1024)
    tail = ('<title>Large RSS Feed</title><link>%s/</link><image><url>%s/img/1.png</url></image>\n'
            '</channel></rss>\n' % (args.base, args.base))
    with open(args.out, "w", encoding="utf-8") as out:
        head = ('<?xml version="1.0" encoding="UTF-8"?>\n<rss version="2.0" '
                'xmlns:dc="http://purl.org/dc/elements/1.1/"><channel>\n')
        out.write(head)
        size, n = len(head) + len(tail), 0
        while size < limit:
            text = paragraphs(rng)
            body = "<![CDATA[%s]]>" % text if n % 2 else html.escape(text, quote=False)
            item = ("<item><title>%s</title><link>%s/articles/%d.html</link><guid>%s/articles/%d</guid>"
                    "<pubDate>Tue, %02d Dec 2026 %02d:%02d:00 +0000</pubDate><dc:creator>%s</dc:creator>"
                    "<description>%s</description></item>\n"
                    % (title(rng, rng.randint(5, 12)), args.base, n, args.base, n,
                       1 + n // 1440 % 28, n // 60 % 24, n % 60, title(rng, 2), body))
            out.write(item)
            size += len(item.encode("utf-8"))
            n += 1
        out.write(tail)
    print("%s: %d items, %.1f MB" % (args.out, n, size / 1e6))


if __name__ == "__main__":
    main()
