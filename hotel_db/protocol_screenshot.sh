#!/usr/bin/env bash
# Renders the first page of the night's protocol of a full update (option c) on a fresh copy of
# the demo hotel database to OUT/protocol-1.png, so its look can be checked.
set -euo pipefail

build=$(realpath "${1:-build}")
out=$(realpath "${2:-screenshots}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp "$build/hotel_db/hotel_demo.fdb" "$work/hotel.fdb"
cp "$build/dph2012" "$work/dph2012"
printf '[Params]\r\nAlias=%s\r\nUser=SYSDBA\r\nBackup=%s\r\n' "$work/hotel.fdb" "$work/hotel.fbk" > "$work/DPH.ini"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR="$work/runtime"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
fi
"$work/dph2012" --update c > /dev/null 2>&1 || true
protocol=$(ls "$work"/QVTDPH2012-protokol-*.pdf | head -n 1)
mkdir -p "$out"
pdftoppm -png -r 110 -f 1 -l 1 -singlefile "$protocol" "$out/protocol"
echo "$out/protocol.png"
