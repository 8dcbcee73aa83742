#!/usr/bin/env python3
"""Builds the release package with the `package` target, as a user would,
and checks what the zip holds.

  check_package.py --cmake CMAKE --build-dir DIR --package ZIP
                   --objdump OBJDUMP --format pei-i386 --version 1.2.3
                   --expect NAME[=SOURCE] ...

The zip must hold exactly the files named by --expect (folders aside); one
given with =SOURCE must equal that file byte for byte. Beyond that: the DLL
is of the given format and exports exactly the add-on's four names, and
README.txt names the version.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
import zipfile

EXPORTS = ["TIMBplugin", "TIMB_FLV_StreamCreateFile", "TIMB_FLV_StreamCreateFileUser", "TIMB_FLV_StreamCreateURL"]

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_tables  # noqa: E402


def check_dll(args, data, problems):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "timb_flv.dll")
        with open(path, "wb") as out:
            out.write(data)
        listing = pe_tables.run([args.objdump, "-p", path])
    found_format = pe_tables.file_format(listing)
    if found_format != args.format:
        problems.append(f"timb_flv.dll: file format {found_format}, want {args.format}")
    exports = sorted(pe_tables.export_names(listing))
    if exports != sorted(EXPORTS):
        problems.append(f"timb_flv.dll: exports {exports}, want exactly {sorted(EXPORTS)}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cmake", required=True)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--package", required=True)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--format", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--expect", action="append", default=[])
    args = parser.parse_args()

    if os.path.exists(args.package):
        os.remove(args.package)
    build = subprocess.run([args.cmake, "--build", args.build_dir, "--target", "package"],
                           capture_output=True, text=True)
    if build.returncode != 0 or not os.path.exists(args.package):
        print(build.stdout + build.stderr)
        print(f"FAILED: the package target did not make {args.package}")
        return 1

    expected = {}
    for entry in args.expect:
        name, _, source = entry.partition("=")
        expected[name] = source or None

    problems = []
    with zipfile.ZipFile(args.package) as package:
        names = sorted(name for name in package.namelist() if not name.endswith("/"))
        for name in sorted(set(names) - set(expected)):
            problems.append(f"holds {name}, which it should not")
        for name in sorted(set(expected) - set(names)):
            problems.append(f"lacks {name}")
        for name in sorted(set(expected) & set(names)):
            data = package.read(name)
            source = expected[name]
            if source is not None:
                with open(source, "rb") as original:
                    if original.read() != data:
                        problems.append(f"{name} differs from {source}")
            if name.endswith("/timb_flv.dll"):
                check_dll(args, data, problems)
            if name.endswith("/README.txt") and not re.search(re.escape(args.version) + r"\b", data.decode()):
                problems.append(f"{name} does not name version {args.version}")

    print(f"{args.package}:")
    for name in names:
        print(f"  {name}")
    for problem in problems:
        print(f"FAILED: {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
