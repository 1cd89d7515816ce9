#!/usr/bin/env python3
"""Checks that the launcher's libraries stack without crossing back.

Reads the launcher's CMakeLists.txt files: a folder declares at most one library, which owns
the sources beneath it (down to the next folder that declares one). Fails when the links between
the launcher's libraries form a cycle, or when a source file includes a header of a launcher
library that its own library does not link (directly or through others). Prints each library
with what it links, lowest first.

Usage: scripts/check-layers.py [REPOSITORY]   (default: the repository this script lies in)
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[1])
LAUNCHER = ROOT / "launcher"
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def cmake_calls(text, command):
    """The argument lists of every call of `command` in a CMake file."""
    text = re.sub(r"#[^\n]*", "", text)
    return [m.group(1).split() for m in re.finditer(command + r"\s*\(([^)]*)\)", text)]


def read_libraries():
    """Library name -> (folder, set of launcher libraries it links)."""
    libraries = {}
    for cmake in sorted(LAUNCHER.rglob("CMakeLists.txt")):
        text = cmake.read_text()
        declared = cmake_calls(text, "add_library")
        if len(declared) > 1:
            sys.exit(f"layers: {cmake.relative_to(ROOT)} builds more than one library")
        for args in declared:
            libraries[args[0]] = (cmake.parent, set())
        for args in cmake_calls(text, "target_link_libraries"):
            if args[0] in libraries:
                libraries[args[0]][1].update(a for a in args[1:] if a.startswith("kx_launcher_"))
    return libraries


def closure(name, libraries, path=()):
    if name in path:
        sys.exit("layers: the links form a cycle: " + " -> ".join(path + (name,)))
    below = set()
    for linked in libraries[name][1]:
        below |= {linked} | closure(linked, libraries, path + (name,))
    return below


def owner(file, folders):
    """The library whose folder is the nearest one above `file`."""
    for parent in file.parents:
        if parent in folders:
            return folders[parent]
    return None


def main():
    libraries = read_libraries()
    folders = {folder: name for name, (folder, _) in libraries.items()}
    below = {name: closure(name, libraries) for name in libraries}
    sources = [f for f in LAUNCHER.rglob("*") if f.suffix in (".h", ".cpp", ".in")]
    # Headers are included by their path from the repository's root.
    header_owner = {
        str(f.relative_to(ROOT)).removesuffix(".in"): owner(f, folders)
        for f in sources
        if f.suffix != ".cpp"
    }
    faults = []
    for source in sources:
        user = owner(source, folders)
        for header in INCLUDE.findall(source.read_text()):
            provider = header_owner.get(header)
            if provider and user and provider != user and provider not in below[user]:
                faults.append(f"{source.relative_to(ROOT)} ({user}) includes {header} ({provider})")
    for name in sorted(libraries, key=lambda n: (len(below[n]), n)):
        print(f"{name}: {' '.join(sorted(libraries[name][1])) or '-'}")
    if faults:
        sys.exit("layers: a library reaches above itself:\n  " + "\n  ".join(faults))
    print("layers: ok")


main()
