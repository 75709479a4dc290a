#!/usr/bin/python3
"""Lists the largest function bodies of the C++ sources below a folder, by lines from the opening to the
closing brace.

Usage: largest_functions.py [--most N] [--tests] [DIR]

A brace-counting scan: comments, strings and character literals are blanked first; a brace block whose
head (the text since the last ';', '{' or '}') holds a parameter list and is not a namespace, class,
struct, union, enum or initializer is a function body, and its nested blocks (lambdas, local classes)
count towards it. Test folders, build folders and third-party code are passed over unless --tests is given.
"""
import os
import re
import sys

CONTAINER = re.compile(r'\b(namespace|class|struct|union|enum)\b|extern\s+"C"|^\s*$')


def blank(text):
    """Replaces comments, strings and character literals by spaces, keeping the line breaks."""
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
                end = text.find(")" + m.group(1) + '"', i)
                j = n if end < 0 else end + len(m.group(1)) + 2
                out.append('""' + re.sub(r"[^\n]", " ", text[i + 2:j]))
                i = j
            else:
                out.append(c)
                i += 1
        elif c in "\"'":
            if c == "'" and i > 0 and text[i - 1].isalnum() and text[i + 1:i + 2].isalnum():
                out.append(" ")  # digit separator
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1, n)
            out.append(c + " " * (j - i - 2) + c if j - i >= 2 else c)
            i = j
        else:
            out.append(c)
            i += 1
    return "".join(out)


def functions(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        text = blank(f.read())
    text = re.sub(r"^\s*#.*$", "", text, flags=re.M)  # preprocessor lines
    results = []
    stack = []  # per open brace: ('container'|'func'|'other', start line, name)
    head_start = 0
    line = 1
    for i, c in enumerate(text):
        if c == "\n":
            line += 1
        elif c == "{":
            head = text[head_start:i]
            in_func = any(kind == "func" for kind, _, _ in stack)
            if in_func:
                stack.append(("other", line, ""))
            elif CONTAINER.search(head) or "(" not in head or re.search(r"=\s*$", head):
                stack.append(("container", line, ""))
            else:
                m = re.search(r"([~\w:<>]+(?:operator\s*\S+)?)\s*\(", head)
                name = m.group(1) if m else "?"
                stack.append(("func", line, name))
            head_start = i + 1
        elif c == "}":
            if stack:
                kind, start, name = stack.pop()
                if kind == "func":
                    results.append((line - start + 1, path, start, name))
            head_start = i + 1
        elif c == ";":
            head_start = i + 1
    return results


def main():
    args = sys.argv[1:]
    most, tests = 10, False
    if "--most" in args:
        k = args.index("--most")
        most = int(args[k + 1])
        del args[k:k + 2]
    if "--tests" in args:
        tests = True
        args.remove("--tests")
    root = args[0] if args else "."
    found = []
    for folder, dirs, files in os.walk(root):
        dirs[:] = sorted(d for d in dirs if not d.startswith(".") and d not in ("build", "third_party") and
                         (tests or d != "tests"))
        for name in files:
            if name.endswith((".cc", ".cpp", ".h", ".hpp")):
                found += functions(os.path.join(folder, name))
    found.sort(key=lambda r: (-r[0], r[1], r[2]))
    for lines, path, start, name in found[:most]:
        print("%5d  %s:%d  %s" % (lines, os.path.relpath(path, root), start, name))


if __name__ == "__main__":
    main()
