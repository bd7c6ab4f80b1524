#!/usr/bin/env bash
# Runs every suite, the Windows ones for both builds (x86_64 and i686), and ends with
# one line "N passed, N failed, N skipped" counting all of them. Exits non-zero when
# anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."

results=build/results
rm -rf "$results"
mkdir -p "$results"
passed=0
failed=0
skipped=0

# Adds the counts of a GoogleTest or JUnit XML report; a suite that failed without
# reporting a failure (a crash, a hang) counts one failure more.
count_report() {
    local name=$1 status=$2 xml=$3 good bad skip
    read -r good bad skip < <(python3 scripts/count_results.py "$xml")
    if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then
        bad=1
    fi
    passed=$((passed + good))
    failed=$((failed + bad))
    skipped=$((skipped + skip))
    echo "suite $name: $good passed, $bad failing, $skip skipped (exit $status)"
}

# The i686 build runs only where 32-bit Wine is installed (scripts/setup.sh tries to);
# elsewhere each of its suites counts as one skipped.
runs_here() {
    [ "$1" = win64 ] || [ -x /usr/lib/wine/wine ] && return 0
    skipped=$((skipped + 1))
    echo "suite $1-$2: skipped, 32-bit Wine is not installed"
    return 1
}

# One pass/fail check that is not a GoogleTest suite.
count_check() {
    local name=$1
    shift
    if "$@" >"$results/$name.log" 2>&1; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "check $name failed:"
        cat "$results/$name.log"
    fi
}

run_native() {
    local tree=$1 xml="$results/$1-unit.xml"
    timeout 600 "build/$tree/bin/unit_tests" --gtest_brief=1 --gtest_output="xml:$xml"
    count_report "$tree-unit" $? "$xml"
}

run_wine() {
    local tree=$1 xml="$results/$1-unit.xml"
    runs_here "$tree" unit || return 0
    . scripts/wine-env.sh
    xvfb_up
    wine_up
    wine_forget_test_keys
    timeout 600 env LC_ALL=ko_KR.UTF-8 "$(wine_loader "$tree")" "build/$tree/bin/unit_tests.exe" \
        --gtest_brief=1 --gtest_output="xml:$xml" </dev/null >"$results/$tree-unit.log" 2>&1
    local status=$?
    cat "$results/$tree-unit.log"
    count_report "$tree-unit" "$status" "$xml"
    wine_down
    xvfb_down
}

# The DLL and its host under Wine with real clients and servers, for one build.
run_e2e() {
    local tree=$1 xml="$results/$1-e2e.xml"
    runs_here "$tree" e2e || return 0
    RELVIA_BUILD=$tree timeout 1800 /usr/bin/python3 -m pytest tests/e2e -q \
        --junitxml="$xml" </dev/null
    count_report "$tree-e2e" $? "$xml"
}

# Load and faults against the native engine (ASan, TSan) and the DLL under Wine, or
# (`targets` wine) the DLL only. With RELVIA_LOAD_DEEP=1 (make test-deep) the long
# variants run.
run_load() {
    local tree=$1 targets=$2 xml="$results/$1-load.xml"
    runs_here "$tree" load || return 0
    RELVIA_BUILD=$tree RELVIA_LOAD_TARGETS=$targets timeout 3600 /usr/bin/python3 -m pytest \
        tests/load -q --junitxml="$xml" </dev/null
    count_report "$tree-load" $? "$xml"
}

# Every Windows binary imports nothing but DLLs that ship with Windows.
only_system_imports() {
    local bad=0 file dll
    for file in $(find build/win64 build/win32 \( -path '*/googletest' -o -path '*/CMakeFiles' \) -prune -o \
        \( -name '*.exe' -o -name '*.dll' \) -print); do
        for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/.*DLL Name: //p'); do
            case "${dll,,}" in
            kernel32.dll | msvcrt.dll | user32.dll | gdi32.dll | advapi32.dll | ws2_32.dll | \
                wsock32.dll | shell32.dll | comdlg32.dll | ole32.dll | rasapi32.dll | wininet.dll) ;;
            *)
                echo "$file imports $dll"
                bad=1
                ;;
            esac
        done
    done
    return $bad
}

# Non-blank lines of C++, Python and shell under the given folders.
code_lines() {
    find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.py' -o -name '*.sh' \) -exec cat {} + |
        grep -cv '^[[:space:]]*$'
}

test_size() {
    local tests product
    tests=$(code_lines tests)
    product=$(code_lines src hosts)
    echo "tests: $tests lines, $((100 * tests / product))% of $product lines of product code"
}

formatted() {
    git ls-files -co --exclude-standard '*.h' '*.cpp' | xargs clang-format --dry-run --Werror
}

run_native native
run_native tsan
for tree in win64 win32; do
    run_wine "$tree"
done
for tree in win64 win32; do
    run_e2e "$tree"
done
run_load win64 asan,tsan,wine
run_load win32 wine
count_check fuzz-corpora scripts/replay-corpora.sh
count_check windows-imports only_system_imports
count_check windows-exports python3 scripts/check_exports.py build/win64/bin/Relvia.dll \
    build/win32/bin/Relvia.dll
count_check clang-format formatted

test_size
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
