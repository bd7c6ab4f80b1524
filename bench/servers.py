"""The origin, the peer proxies and the native Relvia, each on 127.0.0.1."""

import hashlib
import os
import shutil
import subprocess
import tempfile
import time
import urllib.request
from dataclasses import dataclass, field
from pathlib import Path
from typing import Dict, Optional

from procs import BenchError, Processes, log

FILES = {"1k.bin": 1024, "10m.bin": 10 * 1024 * 1024}
IS_ROOT = os.geteuid() == 0


@dataclass
class Target:
    """One way to reach the origin: directly (proxy None) or through a proxy."""

    name: str
    proxy: Optional[str] = None  # "127.0.0.1:PORT"
    pids: Dict[str, int] = field(default_factory=dict)  # label -> pid, for Meter
    about: str = ""  # one line for the report header
    share: float = 1.0  # fraction of the ab requests and 10 MiB fetches this target gets

    def scaled(self, count: int, floor: int = 1) -> int:
        return min(count, max(floor, round(count * self.share)))


# ---- origin ------------------------------------------------------------------------

NGINX_CONF = """\
worker_processes 1;
pid {d}/nginx.pid;
error_log {d}/error.log warn;
worker_rlimit_nofile 16384;
events {{ worker_connections 8192; }}
http {{
    access_log off;
    sendfile on;
    tcp_nopush on;
    types {{ application/octet-stream bin; }}
    default_type application/octet-stream;
    client_body_temp_path {d}/body;
    proxy_temp_path {d}/proxy;
    fastcgi_temp_path {d}/fastcgi;
    uwsgi_temp_path {d}/uwsgi;
    scgi_temp_path {d}/scgi;
    server {{
        listen 127.0.0.1:{port} backlog=4096;
        root {www};
        location = /nginx_status {{ stub_status; }}
    }}
}}
"""


def write_files(www: Path) -> Dict[str, str]:
    """The served files, of random bytes; returns their sha256 by name."""
    www.mkdir()
    sums = {}
    for name, size in FILES.items():
        data = os.urandom(size)
        (www / name).write_bytes(data)
        (www / name).chmod(0o644)
        sums[name] = hashlib.sha256(data).hexdigest()
    return sums


class Origin:
    """nginx with one worker serving the files in `www`, and its request
    counter (stub_status), which shows whether a proxy asked it each time."""

    def __init__(self, procs: Processes, work: Path, name: str, port: int, www: Path) -> None:
        self.port = port
        d = work / name
        d.mkdir()
        (d / "nginx.conf").write_text(NGINX_CONF.format(d=d, www=www, port=port))
        argv = ["nginx", "-e", str(d / "error.log"), "-p", str(d) + "/", "-c", str(d / "nginx.conf"), "-g", "daemon off;"]
        self.proc = procs.start(name, argv, port)
        # Never through a proxy from the environment.
        self._opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))

    def url(self, name: str) -> str:
        return "http://127.0.0.1:%d/%s" % (self.port, name)

    def requests(self) -> int:
        """The origin's request counter (this status request included)."""
        with self._opener.open(self.url("nginx_status"), timeout=5) as answer:
            text = answer.read().decode()
        return int(text.splitlines()[2].split()[2])

    def seen_since(self, before: int) -> int:
        """Requests since the counter read `before`, less the status request that read it."""
        return self.requests() - before - 1


# ---- peers -----------------------------------------------------------------------------


def _private_dir(work: Path, name: str, owner: str) -> Path:
    d = work / name
    d.mkdir()
    if IS_ROOT:
        shutil.chown(d, owner.split(":")[0], owner.split(":")[1])
    return d


def start_tinyproxy(procs: Processes, work: Path, port: int) -> Target:
    d = _private_dir(work, "tinyproxy", "nobody:nogroup")
    lines = [
        "Port %d" % port,
        "Listen 127.0.0.1",
        "Timeout 30",
        "MaxClients 1024",
        "Allow 127.0.0.1",
        "LogLevel Error",
        'LogFile "%s/tinyproxy.log"' % d,
        'PidFile "%s/tinyproxy.pid"' % d,
    ]
    if IS_ROOT:
        lines += ["User nobody", "Group nogroup"]
    (d / "tinyproxy.conf").write_text("\n".join(lines) + "\n")
    proc = procs.start("tinyproxy", ["tinyproxy", "-d", "-c", str(d / "tinyproxy.conf")], port)
    return Target("tinyproxy", "127.0.0.1:%d" % port, {"proxy": proc.pid}, "one thread per connection")


def start_privoxy(procs: Processes, work: Path, port: int) -> Target:
    d = work / "privoxy"
    d.mkdir()
    # No action or filter files: privoxy parses and relays, nothing else.
    (d / "config").write_text(
        "confdir {d}\nlogdir {d}\nlogfile privoxy.log\nlisten-address 127.0.0.1:{port}\n"
        "enable-remote-toggle 0\nenable-remote-http-toggle 0\nenable-edit-actions 0\n"
        "accept-intercepted-requests 0\nmax-client-connections 1024\nlisten-backlog 4096\n"
        "socket-timeout 30\n".format(d=d, port=port)
    )
    (d / "privoxy.log").touch()
    user = []
    if IS_ROOT:
        for path in (d, d / "config", d / "privoxy.log"):
            shutil.chown(path, "nobody", "nogroup")
        user = ["--user", "nobody"]
    argv = ["privoxy", "--no-daemon"] + user + ["--pidfile", str(d / "privoxy.pid"), str(d / "config")]
    proc = procs.start("privoxy", argv, port)
    return Target("privoxy", "127.0.0.1:%d" % port, {"proxy": proc.pid}, "no action or filter files")


def start_squid(procs: Processes, work: Path, port: int) -> Target:
    d = _private_dir(work, "squid", "proxy:proxy")
    # No cache at all (no cache_dir, cache_mem 0, "cache deny all"), and no
    # keep-alive to the origin: one origin connection per request, as a relay
    # of HTTP/1.0 makes.
    lines = [
        "http_port 127.0.0.1:%d" % port,
        "http_access allow localhost",
        "http_access deny all",
        "cache deny all",
        "cache_mem 0 MB",
        "server_persistent_connections off",
        "access_log none",
        "cache_store_log none",
        "cache_log %s/cache.log" % d,
        "pid_filename %s/squid.pid" % d,
        "coredump_dir %s" % d,
        "netdb_filename none",
        "pinger_enable off",
        "dns_nameservers 127.0.0.1",
        "visible_hostname relvia-bench",
        "max_filedescriptors 16384",
        "shutdown_lifetime 1 seconds",
        "logfile_rotate 0",
    ]
    if IS_ROOT:
        lines.append("cache_effective_user proxy")
    (d / "squid.conf").write_text("\n".join(lines) + "\n")
    proc = procs.start("squid", ["squid", "-N", "-f", str(d / "squid.conf")], port)
    return Target("squid", "127.0.0.1:%d" % port, {"proxy": proc.pid}, "no cache, no origin keep-alive")


PEERS = {"tinyproxy": start_tinyproxy, "privoxy": start_privoxy, "squid": start_squid}


# ---- Relvia, native ----------------------------------------------------------------------

BUILD_LOCK = Path(tempfile.gettempdir()) / "relvia-build.lock"


def build_release(repo: Path) -> None:
    """scripts/build.sh release, under the lock every build of this tree takes."""
    log("building the release tree (scripts/build.sh release)")
    argv = ["flock", str(BUILD_LOCK), "scripts/build.sh", "release"]
    if subprocess.run(argv, cwd=repo, stdin=subprocess.DEVNULL).returncode != 0:
        raise BenchError("scripts/build.sh release failed")


def start_relvia_native(procs: Processes, repo: Path, port: int, build: bool) -> Target:
    binary = repo / "build" / "release" / "bin" / "relvia-proxy"
    if build or not binary.exists():
        build_release(repo)
    proc = procs.start("relvia", [str(binary), "--serve", "--port", str(port)], port, cwd=repo)
    about = "native release build, %s of %s" % (binary.relative_to(repo), built_at(binary))
    return Target("relvia", "127.0.0.1:%d" % port, {"proxy": proc.pid}, about)


def built_at(path: Path) -> str:
    return time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime(path.stat().st_mtime))
