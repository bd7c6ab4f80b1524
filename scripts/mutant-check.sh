#!/usr/bin/env bash
# The suites of "make test" that can catch a fault planted in src/, fastest first,
# stopping at the first failure: the test command of a mutation run. The run's build
# command makes the native and win64 trees; the fuzz and tsan trees are brought up to
# date here, just before their suites. Left out, and why: the i686 build (the same
# sources as win64, whose behaviour the suites here check; its calling convention and
# registry view are checked by make test), and the checks of the export and import
# tables and of formatting (they look at the binaries and the text, not at behaviour).
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
quiet cmake --build build/fuzz
quiet scripts/replay-corpora.sh
quiet /usr/bin/python3 -m pytest tests/e2e -q -x -p no:cacheprovider
quiet cmake --build build/tsan
quiet build/tsan/bin/unit_tests --gtest_brief=1
quiet /usr/bin/python3 -m pytest tests/load -q -x -p no:cacheprovider
