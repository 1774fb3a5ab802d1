#!/usr/bin/env bash
# Makes a fresh demo hotel database, maps the alias QVT to it in a Firebird root of the demo's own,
# runs dph2012 beside it in automatic mode and prints what this run wrote to the run log.
set -euo pipefail

build=$(realpath "${1:-build}")
top=$(realpath "$(dirname "$0")/..")
demo="$top/demo"
fbroot="$demo/firebird"

rm -rf "$fbroot"
mkdir -p "$fbroot"
cp "$build/hotel_db/hotel_demo.fdb" "$demo/hotel.fdb"
# Everything of the installed root (messages, character sets, engine plugins) but the aliases.
# The character-set module is copied: the engine does not load it through a link.
sysroot=$(dirname "$(ls /usr/lib/*/firebird/3.0/firebird.msg 2>/dev/null | head -n 1)")
for entry in "$sysroot"/*; do
  case "$(basename "$entry")" in
    databases.conf) ;;
    intl) cp -R "$entry" "$fbroot/" ;;
    *) ln -s "$entry" "$fbroot/" ;;
  esac
done
printf 'QVT = %s\n' "$demo/hotel.fdb" > "$fbroot/databases.conf"
cp "$build/dph2012" "$demo/dph2012"

log="$demo/QVTDPH2012.log"
before=0
[ -f "$log" ] && before=$(stat -c %s "$log")

echo "Demo database: $demo/hotel.fdb (alias QVT through $fbroot/databases.conf)"
# Qt wants a private runtime directory; an unattended shell often has none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d)
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi
status=0
FIREBIRD="$fbroot" "$demo/dph2012" auto || status=$?

echo "---- run log $log, this run ----"
after=0
[ -f "$log" ] && after=$(stat -c %s "$log")
if [ "$after" -gt "$before" ]; then
  tail -c +"$((before + 1))" "$log" | tr -d '\r'
else
  echo "(this run wrote no entries)"
fi
echo "---- dph2012 exit status $status (0 all done, 2 a statement or a later connection failed, 1 the run broke off, 3 nothing changed: refused, or no connection at all) ----"
exit "$status"
