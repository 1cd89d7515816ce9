#!/usr/bin/env python3
"""Checks that the README's layout is the tree: every folder of the product (platform/,
components/, launcher/, errhandler/, server/, at any depth) has its own line in the layout block
of README.md, and every folder the block names exists.

In the block a folder is a line that starts with its name and "/", indented two blanks deeper than
the folder it lies in; a name may hold several levels ("launcher/flows/").

Usage: scripts/check-layout.py [REPOSITORY]   (default: the repository this script lies in)
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[1])
PRODUCT = ["platform", "components", "launcher", "errhandler", "server"]
ENTRY = re.compile(r"^( *)([^\s/][^\s]*/)(\s|$)")


def layout_block(readme):
    match = re.search(r"^## Layout\n\n```\n(.*?)^```", readme, re.MULTILINE | re.DOTALL)
    if not match:
        sys.exit("layout: README.md has no fenced block under \"## Layout\"")
    return match.group(1)


def listed_folders(block):
    folders, stack = set(), []
    for line in block.splitlines():
        match = ENTRY.match(line)
        if not match:
            continue
        depth = len(match.group(1)) // 2
        stack = stack[:depth] + [match.group(2).rstrip("/")]
        folders.add("/".join(stack))
    return folders


def main():
    listed = listed_folders(layout_block((ROOT / "README.md").read_text()))
    actual = {
        str(path.relative_to(ROOT))
        for top in PRODUCT
        for path in [ROOT / top, *(ROOT / top).rglob("*")]
        if path.is_dir() and "__pycache__" not in path.parts
    }
    faults = [f"{folder}/ is missing from the README's layout" for folder in sorted(actual - listed)]
    faults += [f"{folder}/ is in the README's layout but not in the tree"
               for folder in sorted(listed) if not (ROOT / folder).is_dir()]
    if faults:
        sys.exit("layout:\n  " + "\n  ".join(faults))
    print(f"layout: ok ({len(listed)} folders)")


main()
