#!/usr/bin/env bash
# Runs every fuzz target for a bounded time (seconds, default 60 each) on a working
# copy of its corpus. New inputs stay in build/fuzz-corpus; inputs that crash are
# written to build/fuzz-findings and make the run fail.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
status=0
mkdir -p build/fuzz-findings
for corpus in tests/fuzz/corpus/*/; do
    target=$(basename "$corpus")
    work="build/fuzz-corpus/$target"
    mkdir -p "$work"
    cp -n "$corpus"* "$work"/ 2>/dev/null || true
    echo "fuzzing $target for ${seconds}s"
    "build/fuzz/bin/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="build/fuzz-findings/$target-" "$work" 2>&1 | tail -4 || status=1
done
exit $status
