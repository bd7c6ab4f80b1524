#!/usr/bin/env bash
# The suites "make test" runs, fastest first, stopping at the first failure: the test
# command of a mutation run. Expects the native, tsan and win64 trees built.
set -euo pipefail
cd "$(dirname "$0")/.."
quiet() { "$@" </dev/null >/dev/null 2>&1; }

quiet build/native/bin/unit_tests --gtest_brief=1
. scripts/wine-env.sh
trap 'wine_down; xvfb_down' EXIT
xvfb_up
wine_up
wine_forget_test_keys
quiet wine_korean "$(wine_loader win64)" build/win64/bin/unit_tests.exe --gtest_brief=1
wine_down
xvfb_down
trap - EXIT
quiet /usr/bin/python3 -m pytest tests/e2e -q -x -p no:cacheprovider
quiet /usr/bin/python3 -m pytest tests/load -q -x -p no:cacheprovider
