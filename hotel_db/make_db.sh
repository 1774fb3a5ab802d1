#!/bin/bash
# Builds the stand-in hotel database: make_db.sh OUT.fdb base|demo
# Uses isql-fb with the embedded engine; fails (non-zero exit, no OUT.fdb left) on any SQL error.
set -euo pipefail

if [ $# -ne 2 ] || { [ "$2" != base ] && [ "$2" != demo ]; }; then
    echo "usage: $0 OUT.fdb base|demo" >&2
    exit 2
fi

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out_dir=$(cd "$(dirname "$1")" && pwd)
out="$out_dir/$(basename "$1")"
kind=$2

rm -f "$out"

script=$(mktemp /tmp/hotel_db.XXXXXX.sql)
log=$(mktemp /tmp/hotel_db.XXXXXX.log)
trap 'rm -f "$script" "$log"' EXIT

{
    echo "SET SQL DIALECT 1;"
    echo "SET BAIL ON;"
    echo "SET ECHO OFF;"
    echo "CREATE DATABASE '$out' USER 'SYSDBA' PAGE_SIZE 8192 DEFAULT CHARACTER SET WIN1250;"
    for part in schema functions procedures base_data; do
        echo "INPUT '$here/$part.sql';"
    done
    if [ "$kind" = demo ]; then
        echo "INPUT '$here/demo_data.sql';"
    fi
    # fresh selectivity for every index, so that plans reflect the loaded rows
    echo "SET TERM ^ ;"
    echo "EXECUTE BLOCK AS DECLARE VARIABLE I VARCHAR(63); BEGIN"
    echo "  FOR SELECT TRIM(RDB\$INDEX_NAME) FROM RDB\$INDICES WHERE COALESCE(RDB\$SYSTEM_FLAG, 0) = 0 INTO :I DO"
    echo "    EXECUTE STATEMENT 'SET STATISTICS INDEX ' || I;"
    echo "END^"
    echo "SET TERM ; ^"
    echo "COMMIT;"
} > "$script"

status=0
isql-fb -b -q -i "$script" > "$log" 2>&1 || status=$?

# Dialect 1 warns about DATE being TIMESTAMP; anything that failed is an error.
if [ $status -ne 0 ] || grep -Eq 'Statement failed|SQLSTATE|Unable to|Cannot|error' "$log"; then
    grep -v -e 'SQL warning code = 301' -e 'DATE data type is now called TIMESTAMP' "$log" >&2 || true
    echo "make_db.sh: building $out failed" >&2
    rm -f "$out"
    exit 1
fi
# a stand-in for tests and demos: no forced writes, so that the copies that tests update stay fast
gfix -write async "$out" >/dev/null 2>&1 || true
exit 0
