#!/usr/bin/env bash
# Makes a fresh demo hotel database, maps the alias QVT to it in a Firebird root of the demo's own,
# runs dph2012 beside it in automatic mode and prints what this run wrote to the run log.
set -euo pipefail

build=$(realpath "${1:-build}")
top=$(realpath "$(dirname "$0")/..")
demo="$top/demo"
fbroot="$demo/firebird"

mkdir -p "$fbroot"
cp "$build/hotel_db/hotel_demo.fdb" "$demo/hotel.fdb"
printf 'QVT = %s\n' "$demo/hotel.fdb" > "$fbroot/databases.conf"
msg=$(ls /usr/lib/*/firebird/3.0/firebird.msg 2>/dev/null | head -n 1 || true)
[ -n "$msg" ] && cp "$msg" "$fbroot/"
cp "$build/dph2012" "$demo/dph2012"

log="$demo/QVTDPH2012.log"
before=0
[ -f "$log" ] && before=$(stat -c %s "$log")

echo "Demo database: $demo/hotel.fdb (alias QVT through $fbroot/databases.conf)"
status=0
FIREBIRD="$fbroot" "$demo/dph2012" auto || status=$?

echo "---- run log $log, this run ----"
[ -f "$log" ] && tail -c +"$((before + 1))" "$log" | tr -d '\r'
echo "---- dph2012 exit status $status (0 all done, 2 a statement or the connection failed, 1 the run broke off) ----"
exit "$status"
