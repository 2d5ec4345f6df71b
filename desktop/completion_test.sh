#!/bin/bash
# Checks the bash completion of wrenly-cli against the built program on a
# private data folder: commands, channel numbers, feed addresses, categories,
# fixed words, and every setting name the store knows.
# Usage: completion_test.sh WRENLY_CLI COMPLETION_SCRIPT SETTINGS_HEADER
set -eu
cli=$1 script=$2 header=$3
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data HOME=$home
"$cli" add http://127.0.0.1:1/a.xml "Alpha" --category "World news" >/dev/null
"$cli" add http://127.0.0.1:1/b.xml "Beta" >/dev/null
source "$script"
failed=0

# expect "WORDS..." "EXPECTED (sorted, one line, space-separated)"
expect() {
    read -r -a COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_WORDS[0]=$cli
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _wrenly_cli
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' ')
    if [[ $got != "$2" ]]; then
        echo "FAIL: \"$1\" completes to \"$got\", expected \"$2\""
        failed=1
    fi
}

numbers=$("$cli" channels | cut -f1 | sort | paste -sd' ')
expect "wrenly-cli re" "refresh rename"
expect "wrenly-cli delete-" "delete-category delete-item"
expect "wrenly-cli items " "$numbers"
expect "wrenly-cli refresh 1 " "$numbers"
expect "wrenly-cli mark 1 " "read unread"
expect "wrenly-cli fulltext 1 t" "template"
expect "wrenly-cli delete http://127.0.0.1:1/a" "http://127.0.0.1:1/a.xml"
expect "wrenly-cli move http://127.0.0.1:1/b.xml W" "World news"
expect "wrenly-cli add http://x T --cat" "--category"
expect "wrenly-cli channels " "--json"
expect "wrenly-cli get DownloadF" "DownloadFulltext"
expect "wrenly-cli search news --ch" "--channel"
expect "wrenly-cli search news --channel " "$numbers"
expect "wrenly-cli account " "remove ttrss"
expect "wrenly-cli account ttrss https://x anna --" "--allow-http"

# Every setting name of the store is offered.
all=$(set +u; COMP_WORDS=("$cli" set ""); COMP_CWORD=2; _wrenly_cli; printf '%s\n' "${COMPREPLY[@]}")
for name in $(sed -n 's/.*std::string_view k[A-Za-z]* = "\([A-Za-z]*\)";.*/\1/p' "$header"); do
    grep -qx "$name" <<<"$all" || { echo "FAIL: setting $name is not completed"; failed=1; }
done
exit $failed
