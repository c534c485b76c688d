#!/usr/bin/env python3
"""Checks that keep the sources in shape, cheaply enough to run on every CI run:

  - every C++ file is formatted as clang-format would format it;
  - includes follow the layer order: a layer includes only itself and the
    layers below it (engine, store, work, tools, then cli and ui, which do not
    include each other; app on top), and inside the engine its sub-folders
    include each other in one direction;
  - no function is longer than the limit (its lines from the one that opens
    its body to the one that closes it).

    scripts/check_sources.py [--no-format] [--max-function-lines N]

Prints one line per fault and exits with 1 when there is any.
"""

import argparse
import pathlib
import re
import shutil
import subprocess
import sys

TOP = pathlib.Path(__file__).resolve().parent.parent
SOURCE_FOLDERS = ["src", "tests", "bench", "fuzz"]

# Which layers each layer may include (its own always).
LAYERS = {
    "engine": set(),
    "store": {"engine"},
    "work": {"engine", "store"},
    "tools": {"engine", "store", "work"},
    "cli": {"engine", "store", "work", "tools"},
    "ui": {"engine", "store", "work", "tools"},
    "app": {"engine", "store", "work", "tools", "ui"},
}

# The engine's sub-folders by level: a folder includes folders of lower
# levels only (and itself).
ENGINE_LEVELS = {
    "io": 0,
    "core": 1,
    "frame": 2,
    "tags": 2,
    "audio": 3,
    "checks": 3,
    "media": 3,
    "verdicts": 4,
    "repair": 5,
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+)/(?:([a-z]+)/)?[^"]+"')


def cpp_files():
    for folder in SOURCE_FOLDERS:
        root = TOP / folder
        if root.is_dir():
            for path in sorted(root.rglob("*")):
                if path.suffix in (".cpp", ".h") and "build" not in path.relative_to(TOP).parts:
                    yield path


def check_format(files):
    clang_format = shutil.which("clang-format")
    if clang_format is None:
        return ["clang-format is not installed: the format was not checked"]
    faults = []
    for path in files:
        result = subprocess.run([clang_format, "--dry-run", "--Werror", str(path)],
                                capture_output=True, text=True)
        if result.returncode != 0:
            faults.append(f"{path.relative_to(TOP)}: not formatted as clang-format formats it")
    return faults


def check_includes(files):
    faults = []
    for path in files:
        parts = path.relative_to(TOP).parts
        if parts[0] != "src" or len(parts) < 3:
            continue
        layer = parts[1]
        sub = parts[2] if layer == "engine" and len(parts) > 3 else None
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match or match.group(1) not in LAYERS:
                continue
            included, included_sub = match.group(1), match.group(2)
            where = f"{path.relative_to(TOP)}:{number}"
            if included != layer and included not in LAYERS.get(layer, set()):
                faults.append(f"{where}: {layer} includes {included}")
            elif (layer == "engine" and included == "engine" and sub in ENGINE_LEVELS and
                  included_sub in ENGINE_LEVELS and included_sub != sub and
                  ENGINE_LEVELS[included_sub] >= ENGINE_LEVELS[sub]):
                faults.append(f"{where}: engine/{sub} includes engine/{included_sub}")
    return faults


def strip_code(text):
    """The text with comments, string and character literals blanked out
    (line breaks kept), so that braces inside them do not count."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            out.append(" " * (end - i))
            i = end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:end]))
            i = end
        elif text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            open_paren = text.find("(", i)
            delimiter = text[i + 2:open_paren]
            end = text.find(")" + delimiter + '"', open_paren)
            end = n if end < 0 else end + len(delimiter) + 2
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:end]))
            i = end
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(" " * (min(j + 1, n) - i))
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


SCOPE_KEYWORDS = re.compile(r"\b(namespace|class|struct|union|enum)\b")


def long_functions(path, limit):
    """Functions whose body spans more than `limit` lines. A body is a brace
    block opened at namespace or class scope after a parameter list; lambdas
    and blocks inside a function count as part of it."""
    text = strip_code(path.read_text(errors="replace"))
    faults = []
    # Each open brace: "scope" (namespace, class, initialiser list...) or
    # "function" with its start line, or "inner" inside a function.
    stack = []
    heads = {}  # the name of the function opened at each depth
    head_start = 0
    line = 1
    for i, c in enumerate(text):
        if c == "\n":
            line += 1
        elif c == "{":
            if any(kind != "scope" for kind, _ in stack):
                stack.append(("inner", line))
            else:
                head = text[head_start:i]
                is_function = (")" in head and not SCOPE_KEYWORDS.search(head.split("(")[0]) and
                               not re.search(r"=\s*$", head) and "#" not in head.strip()[:1])
                stack.append(("function" if is_function else "scope", line))
                if is_function:
                    names = re.findall(r"([~\w:]+)\s*\(", head)
                    heads[len(stack)] = names[0] if names else "?"
            head_start = i + 1
        elif c == "}":
            if stack:
                kind, start = stack.pop()
                if kind == "function" and line - start + 1 > limit:
                    faults.append((start, line - start + 1, heads.get(len(stack) + 1, "?")))
            head_start = i + 1
        elif c == ";" and not any(kind != "scope" for kind, _ in stack):
            head_start = i + 1
    return faults


def check_function_length(files, limit):
    faults = []
    for path in files:
        for start, length, name in long_functions(path, limit):
            faults.append(f"{path.relative_to(TOP)}:{start}: {name} is {length} lines "
                          f"(at most {limit})")
    return faults


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--no-format", action="store_true", help="skip the clang-format check")
    parser.add_argument("--max-function-lines", type=int, default=100)
    options = parser.parse_args()
    files = list(cpp_files())
    faults = []
    if not options.no_format:
        faults += check_format(files)
    faults += check_includes(files)
    faults += check_function_length([f for f in files if f.parts[len(TOP.parts)] == "src"],
                                    options.max_function_lines)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
