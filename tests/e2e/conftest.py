"""End-to-end: relvia-host.exe and Relvia.dll of one build (RELVIA_BUILD: win64, the default, or
win32) under Wine on a display of their own, driven through the console protocol and used as the
proxy on 127.0.0.1:8080."""

from fixtures import *  # noqa: F401,F403 - the fixtures of both suites
