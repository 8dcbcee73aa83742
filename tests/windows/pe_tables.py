#!/usr/bin/env python3
"""Checks a Windows DLL's export and import tables, or an import library's
symbols, exactly.

  pe_tables.py --objdump OBJDUMP --format pei-i386 --exports A,B
               --imports DLL=NAME,NAME --imports DLL=* FILE.dll
      FILE.dll is of that format, exports exactly the names A,B, and imports
      from exactly the DLLs named (case as Windows ignores it): from each the
      names listed, exactly, or anything for *.
  pe_tables.py --nm NM --import-symbols SYM,SYM FILE.lib
      the import library defines exactly these __imp_ symbols.

Exits 0 when everything holds; otherwise prints what differs and exits 1.
"""
import argparse
import re
import subprocess
import sys


def run(command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def file_format(listing):
    found = re.search(r"file format (\S+)", listing)
    return found.group(1) if found else None


def export_names(listing):
    """The names of the export name table, in objdump -p's listing."""
    names = []
    in_table = False
    for line in listing.splitlines():
        if line.startswith("[Ordinal/Name Pointer] Table"):
            in_table = True
            continue
        if in_table:
            entry = re.match(r"\s+\[\s*\d+\]\s+(\S+)$", line)
            if not entry:
                break
            names.append(entry.group(1))
    return names


def imports(listing):
    """{dll name: [imported names]} from objdump -p's import tables: each
    "DLL Name:" line, then its "vma hint name" lines up to a blank line."""
    tables = {}
    current = None
    for line in listing.splitlines():
        dll = re.match(r"\s+DLL Name: (\S+)$", line)
        if dll:
            current = tables.setdefault(dll.group(1), [])
        elif not line.strip():
            current = None
        elif current is not None:
            entry = re.match(r"\s+[0-9a-f]+\s+\d+\s+(\S+)$", line)
            if entry:
                current.append(entry.group(1))
    return tables


def check_dll(args, problems):
    listing = run([args.objdump, "-p", args.file])
    found_format = file_format(listing)
    if found_format != args.format:
        problems.append(f"file format {found_format}, want {args.format}")

    want_exports = sorted(args.exports.split(","))
    got_exports = export_names(listing)
    if sorted(got_exports) != want_exports:
        problems.append(f"exports {got_exports}, want exactly {want_exports}")

    got = {name.lower(): (name, names) for name, names in imports(listing).items()}
    want = {}
    for entry in args.imports:
        dll, _, names = entry.partition("=")
        want[dll.lower()] = (dll, None if names == "*" else sorted(names.split(",")))
    for key in sorted(set(got) - set(want)):
        problems.append(f"imports from {got[key][0]} ({', '.join(got[key][1])}), which it must not depend on")
    for key in sorted(set(want) - set(got)):
        problems.append(f"does not import from {want[key][0]}")
    for key in sorted(set(want) & set(got)):
        names = want[key][1]
        if names is not None and sorted(got[key][1]) != names:
            problems.append(f"imports {sorted(got[key][1])} from {want[key][0]}, want exactly {names}")


def check_import_library(args, problems):
    symbols = set()
    for line in run([args.nm, args.file]).splitlines():
        entry = re.match(r"[0-9a-f]+ I (__imp_\S+)$", line)
        if entry:
            symbols.add(entry.group(1))
    want = set(args.import_symbols.split(","))
    if symbols != want:
        problems.append(f"import symbols {sorted(symbols)}, want exactly {sorted(want)}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump")
    parser.add_argument("--format")
    parser.add_argument("--exports")
    parser.add_argument("--imports", action="append", default=[])
    parser.add_argument("--nm")
    parser.add_argument("--import-symbols")
    parser.add_argument("file")
    args = parser.parse_args()

    problems = []
    if args.nm:
        check_import_library(args, problems)
    else:
        check_dll(args, problems)
    for problem in problems:
        print(f"{args.file}: {problem}")
    if not problems:
        print(f"{args.file}: as expected")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
