# Sourced by the test scripts: a private Wine prefix under build/ with the Korean
# ANSI code page, and a persistent, warmed-up wineserver so that Wine's helper
# processes never hold a test's output pipe open.

export WINEPREFIX="$PWD/build/wine"
export WINEDEBUG=-all
# Skip Mono; keep mshtml, whose registration supplies the "Content Type" values.
export WINEDLLOVERRIDES="mscoree="

# The loader for a build's programs: through Debian's wine, where 32-bit Wine is
# installed, a 64-bit program runs as a child of a start.exe that signals do not pass.
wine_loader() {
    if [ "$1" = win64 ] && [ -x /usr/lib/wine/wine64 ]; then
        echo /usr/lib/wine/wine64
    else
        echo wine
    fi
}

# Wine takes its ANSI code page from the Unix locale variables; ko_KR gives 949
# even where that glibc locale is not compiled.
wine_korean() { LC_ALL=ko_KR.UTF-8 "$@"; }

# With 32-bit Wine installed a prefix needs its 32-bit side, which one made before the
# install lacks: such a prefix is made again.
wine_up() {
    if [ -x /usr/lib/wine/wine ] && [ -f "$WINEPREFIX/system.reg" ] &&
        [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
        wineserver -k </dev/null >/dev/null 2>&1 || true
        wineserver -w
        rm -rf "$WINEPREFIX"
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        wine_korean wineboot -i </dev/null >/dev/null 2>&1
        wineserver -w
    fi
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w
    wine_korean wineserver -p </dev/null >/dev/null 2>&1
    wine_korean wine cmd /c exit </dev/null >/dev/null 2>&1
    wine_desktop
}

# The prefix outlives a run; the unit tests start from registry keys they own.
wine_forget_test_keys() {
    local key
    for key in 'HKCU\Software\RelviaTests' 'HKCU\Software\Corvale'; do
        wine_korean wine reg delete "$key" /f </dev/null >/dev/null 2>&1 || true
    done
}

# Makes the prefix look like a Windows desktop with a browser installed (see the file),
# in both views of the registry: the library reads HKLM's 32-bit one, a 64-bit
# program's fonts come from the other.
wine_desktop() {
    local view file
    file='Z:'"$(printf '%s' "$PWD/scripts/wine-desktop.reg" | tr / '\\')"
    for view in /reg:32 /reg:64; do
        wine_korean wine reg import "$file" "$view" </dev/null >/dev/null 2>&1
    done
}

# Windows need an X display: without one, a virtual one for as long as the script runs.
xvfb_pid=
xvfb_up() {
    [ -z "${DISPLAY:-}" ] || return 0
    local n
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    # A session of its own: a Ctrl-C meant for the script must not end the display.
    setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
}

xvfb_down() {
    [ -n "$xvfb_pid" ] || return 0
    kill "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
    unset DISPLAY
}

wine_down() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w
}
