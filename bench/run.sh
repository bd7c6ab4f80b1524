#!/usr/bin/env bash
# Installs what is missing, then runs the benchmark; every argument goes to
# bench.py (see bench/run.sh --help).  The report goes to stdout.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
install_args=()
for arg in "$@"; do
    [ "$arg" != --no-wine ] || install_args=(--no-wine)
done
"$here/install.sh" "${install_args[@]}"
exec /usr/bin/python3 -B "$here/bench.py" "$@"
