#!/usr/bin/env bash
# Runs the proxy for real: the host application under Wine loads Relvia.dll and
# turns it on, listening on port 8080. Ctrl-C turns it off and unloads the library.
# "scripts/run.sh i686" runs the 32-bit build (under 32-bit Wine) instead of x86_64.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh

case "${1:-x86_64}" in
x86_64) tree=win64 ;;
i686) tree=win32 ;;
*)
    echo "usage: scripts/run.sh [x86_64|i686]" >&2
    exit 2
    ;;
esac
if [ "$tree" = win32 ] && [ ! -x /usr/lib/wine/wine ]; then
    echo "the i686 build needs 32-bit Wine (wine32:i386), which is not installed" >&2
    exit 1
fi

xvfb_up
wine_up

# A session of its own keeps the terminal's Ctrl-C away from the host, which is told
# to turn off and quit instead.
coproc HOST { wine_korean setsid "$(wine_loader "$tree")" "build/$tree/bin/relvia-host.exe" --console; }
host_pid=$HOST_PID
exec {to_host}>&"${HOST[1]}" {from_host}<&"${HOST[0]}"

finish() {
    trap '' INT TERM
    echo
    echo off >&"$to_host" 2>/dev/null && read -r -t 120 reply <&"$from_host" && echo "$reply"
    echo quit >&"$to_host" 2>/dev/null && read -r -t 60 reply <&"$from_host" && echo "$reply"
    wait "$host_pid" 2>/dev/null || true
    wine_down
    xvfb_down
    exit 0
}

read -r -t 120 ready <&"$from_host" || ready="error no answer from the host"
if [ "$ready" != ready ]; then
    echo "$ready" >&2
    wine_down
    xvfb_down
    exit 1
fi
trap finish INT TERM
echo on >&"$to_host"
read -r -t 60 reply <&"$from_host" || reply="no answer"
echo "$reply"
if [ "$reply" != "on 1" ]; then
    echo "Relvia did not turn on (\"$reply\"): no browser was found to point at it" >&2
    echo quit >&"$to_host" 2>/dev/null && read -r -t 60 reply <&"$from_host"
    wait "$host_pid" 2>/dev/null || true
    wine_down
    xvfb_down
    exit 1
fi
echo "Relvia is on: HTTP and FTP proxy at 127.0.0.1:8080. Try"
echo "    curl -x http://127.0.0.1:8080 http://127.0.0.1:PORT/"
echo "Press Ctrl-C to turn it off."
while read -r line <&"$from_host"; do
    echo "$line"
done
finish
