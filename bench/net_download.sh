#!/bin/sh
# Per-transfer cost of DownloadUrlToFile against a plain curl command-line
# loop: both download the same N small feeds one after another from a
# loopback server. Run by hand after a build:
#   bench/net_download.sh [BUILD_DIR]        (knobs: N=100 RUNS=5 SIZE=8000)
# Prints the median time per transfer of each and their ratio.
set -eu
BUILD=${1:-build}
BIN=$BUILD/bin/net_download_bench
N=${N:-100}
RUNS=${RUNS:-5}
SIZE=${SIZE:-8000}
[ -x "$BIN" ] || { echo "build net_download_bench first: cmake --build $BUILD --target net_download_bench" >&2; exit 2; }
for tool in curl bc; do command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 2; }; done

WORK=$(mktemp -d)
trap 'exec 3>&-; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/feeds" "$WORK/out"

# N small RSS feeds of about SIZE bytes each.
i=0
while [ "$i" -lt "$N" ]; do
  f=$(printf '%s/feeds/feed%03d.xml' "$WORK" "$i")
  {
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<rss version="2.0"><channel><title>Feed %d</title>\n' "$i"
    j=0
    while [ "$(wc -c < "$f" 2>/dev/null || echo 0)" -lt "$SIZE" ] && [ "$j" -lt 200 ]; do
      printf '<item><title>Item %d of feed %d</title><link>http://127.0.0.1/%d/%d</link><description>Lorem ipsum dolor sit amet, consectetur adipiscing elit.</description></item>\n' "$j" "$i" "$i" "$j"
      j=$((j + 1))
    done
    printf '</channel></rss>\n'
  } > "$f.tmp"
  mv "$f.tmp" "$f"
  i=$((i + 1))
done 2>/dev/null

# The server lives as long as its stdin (descriptor 3) stays open.
mkfifo "$WORK/in"
"$BIN" serve "$WORK/feeds" < "$WORK/in" > "$WORK/port" &
exec 3> "$WORK/in"
while [ ! -s "$WORK/port" ]; do sleep 0.05; done
PORT=$(cat "$WORK/port")
i=0
while [ "$i" -lt "$N" ]; do printf 'http://127.0.0.1:%s/feed%03d.xml\n' "$PORT" "$i"; i=$((i + 1)); done > "$WORK/urls"

now() { date +%s.%N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

run=0
: > "$WORK/ours"
: > "$WORK/curl"
while [ "$run" -lt "$RUNS" ]; do
  "$BIN" fetch "$WORK/urls" "$WORK/out" | awk '{print $2}' >> "$WORK/ours"
  start=$(now)
  k=0
  while read -r url; do curl -s -o "$WORK/out/c$k.xml" "$url"; k=$((k + 1)); done < "$WORK/urls"
  end=$(now)
  echo "$end - $start" | bc -l >> "$WORK/curl"
  run=$((run + 1))
done

ours=$(median < "$WORK/ours")
theirs=$(median < "$WORK/curl")
printf 'transfers per run: %d, runs: %d, feed size: ~%d bytes\n' "$N" "$RUNS" "$SIZE"
printf 'DownloadUrlToFile: %.3f ms per transfer\n' "$(echo "$ours * 1000 / $N" | bc -l)"
printf 'curl loop:         %.3f ms per transfer\n' "$(echo "$theirs * 1000 / $N" | bc -l)"
printf 'ratio (DownloadUrlToFile / curl loop): %.3f\n' "$(echo "$ours / $theirs" | bc -l)"
