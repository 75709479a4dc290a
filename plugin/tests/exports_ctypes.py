#!/usr/bin/env python3
"""Calls the plug-in's three score-file exports through ctypes, as another program would, and compares
their answers with what the same files give when loaded in-process (plugin_expect).

usage: exports_ctypes.py PLUGIN EXPECT TESTDATA
"""
import ctypes
import json
import subprocess
import sys
import tempfile


def main():
    plugin, expect, testdata = sys.argv[1:4]
    lib = ctypes.CDLL(plugin)
    info = lib.GetQSMFileInfo
    info.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int]
    info.restype = ctypes.c_int
    play = lib.GetQSMFilePlayTime
    smf = lib.GetQSMFileSMFPlayTime
    for f in (play, smf):
        f.argtypes = [ctypes.c_char_p]
        f.restype = ctypes.c_uint
    failures = 0

    def check(ok, what):
        nonlocal failures
        print(("ok: " if ok else "FAILED: ") + what)
        if not ok:
            failures += 1

    # Nothing but the entry points is visible: the plug-in's copies of the subsystems are its own.
    for hidden in ("NPP_New", "_Z13LoadScoreFilePKcR16TScoreFileHeaderP7TWindow", "SysInfo"):
        check(not hasattr(lib, hidden), f"{hidden} is hidden")

    with tempfile.TemporaryDirectory() as folder:
        cases = json.loads(subprocess.run([expect, testdata, folder], check=True, capture_output=True,
                                          text=True).stdout)
        for c in cases:
            path = c["path"].encode()
            text = "".join(f"{k}:\t{c[v]}\r\n" for k, v in (("Title", "title"), ("Author", "author"),
                                                          ("Copyright1", "copyright1"),
                                                          ("Copyright2", "copyright2")))
            if c["comments"]:
                text += "Comments:\r\n" + c["comments"] + "\r\n\r\n"
            wanted = text.encode("latin-1")
            buf = ctypes.create_string_buffer(b"\xaa" * 4096, 4096)
            answer = info(path, buf, len(buf))
            check(answer == (1 if c["comments"] else 0) and buf.value == wanted, f"information of {path}")
            # A short buffer: cut, terminated, nothing written past its length.
            buf = ctypes.create_string_buffer(b"\xaa" * 64, 64)
            info(path, buf, 40)
            check(buf.raw[:39] == wanted[:39] and buf.raw[39] == 0 and buf.raw[40:] == b"\xaa" * 24,
                  f"information of {path} cut at 40 bytes")
            check(play(path) == (c["ms"] + 50) // 100, f"play time of {path}")
            check(smf(path) == (c["smf_ms"] + 50) // 100, f"SMF play time of {path}")
            if c["ms"] != c["smf_ms"]:
                check(play(path) > smf(path), f"pauses lengthen the play time of {path}")
        check(any(c["ms"] != c["smf_ms"] for c in cases), "a test file has pauses")
        buf = ctypes.create_string_buffer(b"\xaa" * 16, 16)
        check(info(cases[0]["path"].encode(), buf, 10) == 0 and buf.raw == b"\xaa" * 16, "a buffer of 10 bytes")

    # Files these exports do not read.
    text_score = f"{testdata}/textscore/sample.qsmtxt".encode()
    buf = ctypes.create_string_buffer(b"\xaa" * 64, 64)
    check(info(text_score, buf, 64) == 0 and buf.raw == b"\xaa" * 64, "a text score gives no information")
    check(play(text_score) == 0 and smf(text_score) == 0, "a text score has no play time")
    check(info(b"/nonexistent/x.qsm", buf, 64) == 0 and play(b"/nonexistent/x.qsm") == 0, "a missing file")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
