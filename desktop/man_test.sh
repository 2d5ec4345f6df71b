#!/bin/sh
# Checks the manual pages: each renders without a warning from groff, and the
# wrenly-cli page describes exactly the commands "wrenly-cli --help" lists.
# Usage: man_test.sh WRENLY_CLI MAN_FOLDER
set -eu
cli=$1 folder=$2
failed=0
for page in "$folder"/*.1; do
    warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 "$page" 2>&1)
    [ -z "$warnings" ] || { echo "FAIL: $page: $warnings"; failed=1; }
done
listed=$("$cli" --help | awk '/^commands:/ { on = 1; next } on && NF { print $1 }' | sort)
# The COMMANDS section's tagged paragraphs: the first word of the line after each .TP.
described=$(awk '/^\.SH COMMANDS/ { on = 1; next } /^\.SH/ { on = 0 } on && tag { print $2; tag = 0 } on && /^\.TP/ { tag = 1 }' \
    "$folder/wrenly-cli.1" | sed 's/^"//; s/"$//' | sort)
if [ "$listed" != "$described" ]; then
    echo "FAIL: wrenly-cli --help and wrenly-cli.1 list different commands:"
    printf '%s\n' "$listed" >"${TMPDIR:-/tmp}/listed.$$"
    printf '%s\n' "$described" | diff "${TMPDIR:-/tmp}/listed.$$" - || true
    rm -f "${TMPDIR:-/tmp}/listed.$$"
    failed=1
fi
exit $failed
