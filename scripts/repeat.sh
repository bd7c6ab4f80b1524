#!/usr/bin/env bash
# Runs one suite N times in a row and prints each run's summary line, to show that it
# passes every time: "scripts/repeat.sh e2e 10", "scripts/repeat.sh load 10", or
# "scripts/repeat.sh all 3" for everything make test runs. With FRESH=1 each run
# starts from a fresh clone of HEAD (its own builds and Wine prefix), as a newcomer's
# would. RELVIA_BUILD=win32 picks the i686 build for e2e and load. A failed run's
# output is kept in build/repeat/. Exits non-zero when any run failed.
set -uo pipefail
cd "$(dirname "$0")/.."

suite=${1:?usage: scripts/repeat.sh e2e|load|all N}
runs=${2:-10}
case "$suite" in
e2e | load) command=(/usr/bin/python3 -m pytest "tests/$suite" -q -p no:cacheprovider) ;;
all) command=(make test) ;;
*)
    echo "usage: scripts/repeat.sh e2e|load|all N" >&2
    exit 2
    ;;
esac

here=$PWD
kept=$here/build/repeat
[ "${FRESH:-0}" = 1 ] || make build >/dev/null || exit 1
failed=0
for run in $(seq "$runs"); do
    log=$(mktemp)
    started=$SECONDS
    if [ "${FRESH:-0}" = 1 ]; then
        clone=$(mktemp -d)
        git clone -q "$here" "$clone" && (cd "$clone" && "${command[@]}") >"$log" 2>&1
        status=$?
        rm -rf "$clone"
    else
        "${command[@]}" </dev/null >"$log" 2>&1
        status=$?
    fi
    summary=$(grep -E '[0-9]+ (passed|failed)' "$log" | tail -1)
    echo "run $run: ${summary:-no summary} (exit $status, $((SECONDS - started)) s)"
    if [ "$status" -ne 0 ]; then
        failed=$((failed + 1))
        grep -E '^(FAILED|ERROR)|failed:' "$log" | head -20
        mkdir -p "$kept"
        cp "$log" "$kept/$suite-run$run.log"
    fi
    rm -f "$log"
done
echo "$((runs - failed)) of $runs runs passed"
[ "$failed" -eq 0 ]
