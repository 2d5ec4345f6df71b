#!/usr/bin/env bash
# Quality of automatic extraction: runs `wrenly-cli extract` over a folder of
# saved pages (one folder per page with source.html and expected.html) and
# scores the outputs with a word-by-word scorer.
# Usage: bench/fulltext_quality.sh BUILD_DIR PAGES_DIR SCORER [OUT_DIR]
set -euo pipefail
build=$1 pages=$2 scorer=$3
out=${4:-$(mktemp -d)}
mkdir -p "$out"
for dir in "$pages"/*/; do
  name=$(basename "$dir")
  [ -f "$dir/source.html" ] || continue
  "$build/bin/wrenly-cli" extract "$dir/source.html" --url "http://fakehost/test/page.html" \
    > "$out/$name.htm" 2>/dev/null || rm -f "$out/$name.htm"
done
python3 "$scorer" "$pages" "$out"
