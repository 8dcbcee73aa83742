#!/usr/bin/env python3
"""Runs a Windows program under Wine with the relay trace on, and checks the
message boxes it showed: exactly N calls of MessageBoxA, each with no owner
window, the add-on's text and caption and style MB_ICONERROR (0x10).
Headless Wine returns from a message box at once, so the trace is where the
call can be seen.

  message_box.py --boxes N -- WINE-RUNNER... PROGRAM [ARGUMENT...]

Exits 0 when the program exits 0 and the boxes are as expected.
"""
import argparse
import os
import re
import subprocess
import sys

TEXT = "Incorrect TIMB.DLL version (2.4 is required)"
CAPTION = "TIMB_FLV"
STYLE = 0x10

# Wine's relay line for the call, e.g.
#   0104:Call user32.MessageBoxA(00000000,0040a054 "text",0040a04a "caption",00000010) ret=004080fb
# Strings appear escaped C-style; a null pointer would appear without quotes.
CALL = re.compile(r'Call user32\.MessageBoxA\((?P<owner>[0-9a-fA-F]+),'
                  r'(?P<text>[0-9a-fA-F]+ "(?:[^"\\]|\\.)*"|[^,]*),'
                  r'(?P<caption>[0-9a-fA-F]+ "(?:[^"\\]|\\.)*"|[^,]*),'
                  r'(?P<style>[0-9a-fA-F]+)\)')


def quoted(argument):
    found = re.match(r'[0-9a-fA-F]+ "(.*)"$', argument)
    return found.group(1).encode().decode("unicode_escape") if found else None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--boxes", type=int, required=True)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command

    environment = dict(os.environ, WINEDEBUG="-all,+relay")
    result = subprocess.run(command, env=environment, capture_output=True, text=True, errors="replace")
    sys.stdout.write(result.stdout)

    problems = []
    if result.returncode != 0:
        problems.append(f"the program exited with {result.returncode}")
    calls = [match for match in map(CALL.search, result.stderr.splitlines()) if match]
    if len(calls) != args.boxes:
        problems.append(f"{len(calls)} MessageBoxA calls, want {args.boxes}")
    for number, call in enumerate(calls, 1):
        owner, text, caption = int(call["owner"], 16), quoted(call["text"]), quoted(call["caption"])
        style = int(call["style"], 16)
        if owner != 0:
            problems.append(f"box {number}: owner window {owner:#x}, want none")
        if text != TEXT:
            problems.append(f"box {number}: text {text!r}, want {TEXT!r}")
        if caption != CAPTION:
            problems.append(f"box {number}: caption {caption!r}, want {CAPTION!r}")
        if style != STYLE:
            problems.append(f"box {number}: style {style:#x}, want {STYLE:#x}")
        print(f"box {number}: {call.group(0)}")
    if calls == [] and args.boxes == 0 and "Call " not in result.stderr:
        problems.append("no relay trace at all: the check could not have seen a message box")

    for problem in problems:
        print(f"FAILED: {problem}")
    if not problems:
        print(f"{args.boxes} message box(es) as expected")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
