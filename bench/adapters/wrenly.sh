#!/bin/sh
# Refresh benchmark adapter for wrenly-cli (the loopback harness's contract):
#   wrenly.sh URLS_FILE DATA_DIR     subscribe to every URL (first run only), then refresh all
#   wrenly.sh --count DATA_DIR       print the number of stored items
# The same as the harness's own wrenly adapter, except that the OPML of the
# first run is written by sed instead of a Python start (0.15 s on the
# benchmark machine, more than the import itself).
# Env: WRENLY_CLI -> the wrenly-cli to run (default: wrenly-cli on PATH).
set -eu
cli=${WRENLY_CLI:-wrenly-cli}
if [ "$1" = "--count" ]; then
  export XDG_CONFIG_HOME="$2/config" XDG_DATA_HOME="$2/data" HOME="$2"
  exec "$cli" channels --json | sed -n 's/.*"itemCount":\([0-9]*\).*/\1/p' | awk '{ n += $1 } END { print n + 0 }'
fi
urls=$1 dir=$2
export XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data" HOME="$dir"
if [ ! -f "$dir/subscribed" ]; then
  {
    echo '<?xml version="1.0" encoding="utf-8"?><opml version="1.0"><head><title>bench</title></head><body>'
    grep -v '^[[:space:]]*$' "$urls" |
      sed -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//' -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g' |
      awk '{ printf "<outline type=\"rss\" text=\"feed %03d\" xmlUrl=\"%s\"/>\n", NR - 1, $0 }'
    echo '</body></opml>'
  } > "$dir/urls.opml"
  "$cli" import "$dir/urls.opml" >/dev/null
  touch "$dir/subscribed"
fi
exec "$cli" refresh >/dev/null
