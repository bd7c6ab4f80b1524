"""A real browser loading a page through the proxy."""

import os
import shutil
import signal
import subprocess

from harness import wait_until


def test_page_loads_in_chromium(proxy, nginx, tmp_path):
    chromium = shutil.which("chromium")
    assert chromium, "chromium is not installed (scripts/setup.sh installs it)"
    home = tmp_path / "home"
    home.mkdir()
    env = {k: v for k, v in os.environ.items() if "proxy" not in k.lower() and k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(HOME=str(home), XDG_CONFIG_HOME=str(home / ".config"), XDG_CACHE_HOME=str(home / ".cache"))
    argv = [
        chromium,
        "--headless",
        "--no-sandbox",
        "--disable-gpu",
        "--disable-quic",
        "--no-first-run",
        "--disable-background-networking",
        "--disable-component-update",
        "--disable-sync",
        "--user-data-dir=%s" % (tmp_path / "profile"),
        "--proxy-server=http://127.0.0.1:8080",
        # Without this Chromium never sends loopback addresses to a proxy.
        "--proxy-bypass-list=<-loopback>",
        "--dump-dom",
        nginx.url("/"),
    ]
    dom_path = tmp_path / "dom.html"
    log_path = tmp_path / "chromium.log"
    with open(dom_path, "wb") as dom, open(log_path, "wb") as log:
        # Files, not pipes: Chromium's helper processes would keep a pipe open.
        browser = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=dom, stderr=log, start_new_session=True)
    try:
        code = browser.wait(120)
    except subprocess.TimeoutExpired:
        code = None
    finally:
        # The browser's own process group: anything of it still running.
        try:
            os.killpg(browser.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        if browser.poll() is None:
            browser.wait(30)
    dom = dom_path.read_text(errors="replace")
    assert code == 0 and nginx.marker in dom, "chromium exit code %s\n%s\n%s" % (
        code,
        dom[-2000:],
        log_path.read_text(errors="replace")[-4000:],
    )
    # It came through the proxy, which asks as HTTP/1.0.
    wait_until(lambda: any('"GET / HTTP/1.0" 200' in line for line in nginx.access_log()), 30, "nginx to log GET /")
