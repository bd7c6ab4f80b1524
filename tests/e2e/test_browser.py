"""A real browser loading a page through the proxy."""

import os
import shutil
import subprocess

from harness import Reply, wait_until

MARKER = b"page %s" % os.urandom(6).hex().encode()  # proves this run's page was served
PAGE = b"<!DOCTYPE html><html><body><p>%s</p></body></html>" % MARKER


def test_page_loads_in_chromium(proxy, origin, tmp_path):
    origin.reply = Reply(b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: %d\r\n\r\n%s" % (len(PAGE), PAGE))
    env = {k: v for k, v in os.environ.items() if "proxy" not in k.lower() and "DISPLAY" not in k}
    env["HOME"] = str(tmp_path)
    argv = [shutil.which("chromium"), "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
            "--disable-background-networking", "--user-data-dir=%s" % (tmp_path / "profile"),
            "--proxy-server=http://127.0.0.1:8080", "--proxy-bypass-list=<-loopback>",  # loopback too
            "--dump-dom", "http://%s/page.html" % origin.authority.decode()]
    # Output to files: Chromium's helper processes would hold a pipe open.
    with open(tmp_path / "dom.html", "wb") as dom, open(tmp_path / "chromium.log", "wb") as log:
        assert subprocess.run(argv, env=env, stdin=subprocess.DEVNULL, stdout=dom, stderr=log, timeout=120).returncode == 0
    assert b"<p>%s</p>" % MARKER in (tmp_path / "dom.html").read_bytes()
    request = wait_until(lambda: [e.head for e in origin.exchanges if b"/page.html" in e.head], "the page request")[0]
    assert request.startswith(b"GET /page.html HTTP/1.0\r\n")  # asked as HTTP/1.0, with the path alone
