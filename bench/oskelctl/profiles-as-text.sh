#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Time and peak memory of oskelctl import and diff on the largest profile the program can make
# (216 slots of 799-row macros, three catalogues of 100 such entries), beside show --json of it.
# Each command runs RUNS times (3 by default) under /usr/bin/time -v; the best wall time and
# the largest peak resident size are reported.
#   bench/oskelctl/profiles-as-text.sh BUILD_DIR [RUNS]
set -eu
build=${1:?usage: profiles-as-text.sh BUILD_DIR [RUNS]}
runs=${2:-3}
oskelctl=$build/bin/oskelctl
maker=$build/bin/oskel-maximal-profile
[ -x "$oskelctl" ] && [ -x "$maker" ] ||
    { echo "build oskelctl and oskel-maximal-profile in $build first" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 2; }

dir=$(mktemp -d /tmp/oskel-bench-text-XXXXXX)
trap 'rm -rf "$dir"' EXIT
"$maker" "$dir/maximal.pro"
"$oskelctl" show --json "$dir/maximal.pro" > "$dir/maximal.json"
"$oskelctl" import "$dir/maximal.json" -o "$dir/copy.pro" > /dev/null
# The other side of a diff that finds something: the last key's colour changed.
sed 's/\(<AREA ID="108" Red="\)[0-9]*/\1200/' "$dir/maximal.pro" > "$dir/changed.pro"

printf '%s: %s bytes; its JSON: %s bytes\n' maximal.pro "$(wc -c < "$dir/maximal.pro")" \
    "$(wc -c < "$dir/maximal.json")"
printf '%-34s %10s %14s\n' command "best s" "peak RSS MiB"

measure() {
    label=$1
    shift
    best=""
    peak=0
    i=0
    while [ "$i" -lt "$runs" ]; do
        /usr/bin/time -v -o "$dir/time" "$@" > /dev/null 2>&1 || [ $? -eq 3 ]
        wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$dir/time" |
               awk -F: '{ print ($1 * 60) + $2 }')
        rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$dir/time")
        best=$(awk -v a="${best:-$wall}" -v b="$wall" 'BEGIN { print (b < a ? b : a) }')
        [ "$rss" -gt "$peak" ] && peak=$rss
        i=$((i + 1))
    done
    printf '%-34s %10s %14.1f\n' "$label" "$best" "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')"
}

measure "show --json maximal.pro" "$oskelctl" show --json "$dir/maximal.pro"
measure "import maximal.json -o copy.pro" "$oskelctl" import "$dir/maximal.json" -o "$dir/copy.pro"
measure "diff maximal.pro copy.pro (same)" "$oskelctl" diff "$dir/maximal.pro" "$dir/copy.pro"
measure "diff maximal.pro changed.pro" "$oskelctl" diff "$dir/maximal.pro" "$dir/changed.pro"
