#!/usr/bin/env python3
"""Lists the largest function bodies of the C++ sources that git tracks.

usage: tools/largest_functions.py [--most N] [--tests] [PATH...]

A brace-counting scan: comments, strings and character literals are blanked out, then every brace that
opens at namespace or class scope after a parameter list counts as a function body. A line count runs
from the line of the function's name to its closing brace. Test files (under tests/) are left out unless
--tests is given.
"""

import argparse
import re
import subprocess
import sys

KEYWORDS_NOT_FUNCS = {"if", "for", "while", "switch", "catch", "return", "sizeof", "decltype", "alignof"}
SCOPE_RE = re.compile(r"\b(namespace|class|struct|union|enum)\b")
CV_TAIL_RE = re.compile(r"(const|noexcept|override|final|mutable|&|&&|->\s*[\w:<>,\s*&]+|\s)*$")


def blank(text):
    """Replaces comments, strings and char literals by spaces, keeping newlines."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            if m:
                end = ")" + m.group(1) + '"'
                j = text.find(end, i + m.end())
                j = n if j < 0 else j + len(end)
                out.append(re.sub(r"[^\n]", " ", text[i:j]))
                i = j
            else:
                out.append(c)
                i += 1
        elif c == '"' or (c == "'" and not (i > 0 and text[i - 1].isalnum())):
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1, n)
            out.append(c + " " * (j - i - 2) + c if j - i >= 2 else " " * (j - i))
            i = j
        else:
            out.append(c)
            i += 1
    return "".join(out)


def head_name(seg):
    """The name of the function whose head is `seg` (text since the last ; { or }), or None."""
    depth = 0
    first_open = None
    last_close = None
    for k, ch in enumerate(seg):
        if ch == "(":
            if depth == 0 and first_open is None:
                first_open = k
            depth += 1
        elif ch == ")":
            depth -= 1
            if depth == 0:
                last_close = k
    if first_open is None or last_close is None or depth != 0:
        return None
    before = seg[:first_open].rstrip()
    m = re.search(r"([~\w:]+(?:operator\s*\S+?)?)\s*$", before)
    if not m:
        return None
    name = m.group(1)
    if name.split("::")[-1] in KEYWORDS_NOT_FUNCS or "=" in before.split(name)[0][-2:]:
        return None
    if re.search(r"=\s*$", before[: len(before) - len(name)].rstrip() + " ") and "operator" not in name:
        return None
    return re.sub(r"\s+", "", name)


def scan(path, text):
    src = blank(text)
    results = []
    stack = []  # kinds: 'scope', 'func', 'other'
    seg_start = 0
    func_start = None
    func_name = None
    i = 0
    n = len(src)
    while i < n:
        ch = src[i]
        if ch == "{":
            seg = src[seg_start:i]
            in_func = any(isinstance(k, tuple) for k in stack)
            kind = "other"
            if not in_func:
                stripped = re.sub(r"^\s*(#[^\n]*\n\s*)*", "", seg)
                name = head_name(stripped)
                tail = ""
                if name is not None:
                    # A brace right after an identifier in a constructor's initialiser list continues the head.
                    for k in range(len(stripped) - 1, -1, -1):
                        if stripped[k] == ")":
                            tail = stripped[k + 1:]
                            break
                    if re.search(r":[^:]", tail + " ") and re.search(r"\w\s*$", stripped) and not CV_TAIL_RE.fullmatch(
                        tail
                    ):
                        # initialiser braces: skip to the matching close and keep the segment open
                        depth = 0
                        j = i
                        while j < n:
                            if src[j] == "{":
                                depth += 1
                            elif src[j] == "}":
                                depth -= 1
                                if depth == 0:
                                    break
                            j += 1
                        i = j + 1
                        continue
                    kind = "func"
                    func_start = seg_start + len(seg) - len(stripped)
                    func_name = name
                elif SCOPE_RE.search(seg) or re.search(r'extern\s*"', text[seg_start:i]):
                    kind = "scope"
            stack.append(kind)
            if kind == "func":
                stack[-1] = ("func", func_start, func_name)
            seg_start = i + 1
        elif ch == "}":
            if stack:
                top = stack.pop()
                if isinstance(top, tuple):
                    _, start, name = top
                    first_line = src.count("\n", 0, start) + 1
                    # the name's own line, not blank lines before it
                    while src[start] in " \n\t" and start < i:
                        if src[start] == "\n":
                            first_line += 1
                        start += 1
                    last_line = src.count("\n", 0, i) + 1
                    results.append((last_line - first_line + 1, path, first_line, name))
            seg_start = i + 1
        elif ch == ";":
            seg_start = i + 1
        i += 1
    return results


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--most", type=int, default=10)
    ap.add_argument("--tests", action="store_true")
    ap.add_argument("paths", nargs="*")
    a = ap.parse_args()
    files = subprocess.run(
        ["git", "ls-files", "--", *(a.paths or ["."])], capture_output=True, text=True, check=True
    ).stdout.split()
    files = [f for f in files if f.endswith((".cc", ".h", ".cpp"))]
    if not a.tests:
        files = [f for f in files if "/tests/" not in f and not f.startswith("tests/")]
    allres = []
    for f in files:
        try:
            with open(f, encoding="utf-8", errors="replace") as fh:
                allres += scan(f, fh.read())
        except OSError:
            pass
    allres.sort(key=lambda r: (-r[0], r[1], r[2]))
    for lines, path, line, name in allres[: a.most]:
        print(f"{lines:5d}  {path}:{line}  {name}")


if __name__ == "__main__":
    sys.exit(main())
