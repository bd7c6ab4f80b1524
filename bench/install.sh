#!/usr/bin/env bash
# Installs what the benchmark needs when something is missing (Debian 12, as
# root), and makes sure none of the packaged daemons stays running as a system
# service: the benchmark starts its own instances, on 127.0.0.1, with its own
# configurations.  --no-wine leaves out Wine and Xvfb.
set -euo pipefail

packages=(nginx tinyproxy privoxy squid apache2-utils wrk curl iproute2 util-linux coreutils python3)
[ "${1:-}" = --no-wine ] || packages+=(wine wine64 xvfb)
services=(nginx tinyproxy privoxy squid)
declare -A pidfile=([nginx]=/run/nginx.pid [tinyproxy]=/run/tinyproxy/tinyproxy.pid
                    [privoxy]=/run/privoxy.pid [squid]=/run/squid.pid)

install_missing() {
    local missing=() p
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    [ "$(id -u)" = 0 ] || { echo "root is needed to install: ${missing[*]}" >&2; exit 1; }
    echo "installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Under systemd, stop and disable the units.  Elsewhere stop the packaged daemon
# by the PID in its packaged pid file only: the init.d stop actions may match
# every process of the same program, the benchmark's own included.
stop_service() {
    local name=$1 file pid
    if [ -d /run/systemd/system ]; then
        systemctl disable --now "$name" >/dev/null 2>&1 || true
        return 0
    fi
    file=${pidfile[$name]}
    [ -s "$file" ] || return 0
    pid=$(head -1 "$file" | tr -dc 0-9)
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
    echo "stopping the packaged $name (pid $pid from $file)"
    kill -TERM "$pid"
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
}

install_missing
for s in "${services[@]}"; do stop_service "$s"; done
