#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Velkora32 developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Seeds faults into the product code one at a time and records which the
test suite catches.

    tools/seed-faults.py [options] REPO BUILD

REPO is the source tree, BUILD a build folder configured for it (with tests).
For each fault of the list (tools/seeded-faults.txt by default) the script
puts the fault into the source, rebuilds, runs the suite through ctest, notes
the tests that failed and puts the source back. Outcomes:

    caught          at least one test that passes on the clean tree failed
    missed          every test passed
    not compiled    the build failed with the fault in (mend the fault)
    not applicable  the text to find is not in the file exactly once

The clean tree is built and its suite run first; tests failing there are left
out of the judgement. The tests whose executables the fault rebuilt run first;
with --stop-on-failure (the default) the run ends at the first failing test,
so "by" names the tests that failed before the run stopped. Should the script
be killed, the next run puts back the file it left changed (BUILD keeps a
copy in seed-faults.pending.json).
"""
import argparse
import json
import os
import re
import subprocess
import sys
import time
from pathlib import Path

HEADER = re.compile(r"^\[(?P<id>[^\]]+)\]\s+(?P<path>\S+)\s*(?:\|\s*(?P<what>.*))?$")
RESULT = re.compile(r"Test\s+#\d+:\s+(?P<name>\S+)\s+\.+\s*(?P<status>.*?)\s+[\d.]+ sec")


def read_faults(path):
    faults, current = [], None
    for number, line in enumerate(path.read_text().splitlines(), 1):
        if line.startswith("#") or not line.strip():
            continue
        header = HEADER.match(line)
        if header:
            current = {"id": header["id"], "path": header["path"], "what": header["what"] or "",
                       "find": [], "replace": []}
            faults.append(current)
        elif current and (line[:2] in ("- ", "+ ") or line in ("-", "+")):
            (current["find"] if line[0] == "-" else current["replace"]).append(line[2:])
        else:
            sys.exit(f"{path}:{number}: not a fault line: {line}")
    for f in faults:
        if not f["find"]:
            sys.exit(f"{path}: fault {f['id']} has nothing to find")
        f["find"] = "\n".join(f["find"])
        f["replace"] = "\n".join(f["replace"]) if f["replace"] else None
    return faults


def apply(text, fault):
    """The text with the fault in, or None when the fault does not apply."""
    find = fault["find"]
    if text.count(find) != 1:
        return None
    if fault["replace"] is None:  # drop the found lines with their line end
        if text.count(find + "\n") == 1:
            return text.replace(find + "\n", "")
        return text.replace(find, "")
    return text.replace(find, fault["replace"])


class Pending:
    """A copy of the one source file currently changed, kept in BUILD."""

    def __init__(self, build):
        self.file = build / "seed-faults.pending.json"

    def restore(self):
        if self.file.exists():
            saved = json.loads(self.file.read_text())
            Path(saved["path"]).write_text(saved["text"])
            self.file.unlink()
            print(f"put back {saved['path']} left changed by an earlier run")

    def change(self, path, original, changed):
        self.file.write_text(json.dumps({"path": str(path), "text": original}))
        path.write_text(changed)

    def undo(self, path, original):
        # New modification time: the next build recompiles the clean file.
        path.write_text(original)
        self.file.unlink()


def run(cmd, cwd, log):
    with open(log, "a") as out:
        out.write(f"\n$ {' '.join(cmd)}\n")
        out.flush()
        return subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, errors="replace")


def build(args, log):
    result = run(["nice", "-n", "10", "cmake", "--build", str(args.build), "--parallel",
                  str(args.jobs)], args.build, log)
    with open(log, "a") as out:
        out.write(result.stdout)
    return result.returncode == 0


def test_commands(build_dir):
    out = subprocess.run(["ctest", "--show-only=json-v1"], cwd=build_dir, check=True,
                         stdout=subprocess.PIPE, text=True).stdout
    return {t["name"]: t.get("command", []) for t in json.loads(out)["tests"]}


def ctest(args, log, select=None, exclude=None, stop=False):
    """Runs ctest; returns {test name: status} for the tests that ran."""
    cmd = ["nice", "-n", "10", "ctest", "--parallel", str(args.jobs), "--timeout",
           str(args.timeout)]
    if stop:
        cmd.append("--stop-on-failure")
    if select is not None:
        cmd += ["-R", "^(" + "|".join(map(re.escape, select)) + ")$"]
    if exclude:
        cmd += ["-E", "^(" + "|".join(map(re.escape, exclude)) + ")$"]
    result = run(cmd, args.build, log)
    with open(log, "a") as out:
        out.write(result.stdout)
    return {m["name"]: m["status"] for m in RESULT.finditer(result.stdout)}


def failed(statuses):
    return sorted(n for n, s in statuses.items()
                  if s.startswith("***") and "Skipped" not in s and "Disabled" not in s)


def rebuilt_tests(commands, since):
    names = []
    for name, command in commands.items():
        exe = Path(command[0]) if command else None
        if exe and exe.exists() and exe.stat().st_mtime >= since:
            names.append(name)
    return names


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("repo", type=Path)
    parser.add_argument("build", type=Path)
    parser.add_argument("--faults", type=Path, help="fault list (REPO/tools/seeded-faults.txt)")
    parser.add_argument("--output", type=Path,
                        help="result table (BUILD/seeded-faults-results.txt)")
    parser.add_argument("--only", help="comma-separated fault ids to run, in this order")
    parser.add_argument("--all-tests", action="store_true",
                        help="run every test for every fault, not only up to the first failure")
    parser.add_argument("--check", action="store_true",
                        help="only say which faults apply to REPO; build nothing")
    parser.add_argument("--rebuilt-only", action="store_true",
                        help="run only the tests whose executables the fault rebuilt, and those "
                        "named by --always; the others run the clean tree's binaries, so they "
                        "would only repeat the clean tree's outcome")
    parser.add_argument("--always", default="tst_cli,tst_station,tst_install",
                        help="with --rebuilt-only: tests that run the built programs, run for "
                        "every fault (%(default)s)")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=int, default=120, help="per test, seconds")
    args = parser.parse_args()
    args.repo, args.build = args.repo.resolve(), args.build.resolve()
    faults = read_faults(args.faults or args.repo / "tools/seeded-faults.txt")
    if args.only:
        by_id = {f["id"]: f for f in faults}
        unknown = [i for i in args.only.split(",") if i not in by_id]
        if unknown:
            sys.exit(f"no such fault: {', '.join(unknown)}")
        faults = [by_id[i] for i in args.only.split(",")]  # in the order given
    if args.check:
        for f in faults:
            path = args.repo / f["path"]
            ok = path.exists() and apply(path.read_text(), f) is not None
            print(f"{f['id']:<12} {'applies' if ok else 'not applicable':<15} {f['what']}")
        return
    output = args.output or args.build / "seeded-faults-results.txt"
    log = args.build / "seed-faults.log"
    log.write_text("")
    pending = Pending(args.build)
    pending.restore()

    started = time.time()
    print(f"building the clean tree in {args.build} (log: {log})", flush=True)
    if not build(args, log):
        sys.exit("the clean tree does not build; see the log")
    commands = test_commands(args.build)
    baseline = ctest(args, log)
    broken = failed(baseline)
    if not baseline:
        sys.exit("ctest ran no tests; see the log")
    print(f"clean tree: {len(baseline)} tests, failing: {', '.join(broken) or 'none'}", flush=True)

    rows = []

    def write_table(final=False):
        counts = {}
        for r in rows:
            counts[r["outcome"]] = counts.get(r["outcome"], 0) + 1
        judged = counts.get("caught", 0) + counts.get("missed", 0)
        lines = [
            f"# Seeded faults: {args.faults or 'tools/seeded-faults.txt'} on "
            f"{git_describe(args.repo)}",
            f"# {len(baseline)} tests; failing on the clean tree (ignored): "
            f"{', '.join(broken) or 'none'}",
            "# run per fault: " + ("the tests the fault rebuilt, and " + args.always
                                   if args.rebuilt_only else "the whole suite")
            + ("" if args.all_tests else ", up to the first failure"),
            f"# caught {counts.get('caught', 0)} of {judged}"
            + "".join(f"; {k} {v}" for k, v in sorted(counts.items())
                      if k not in ("caught", "missed"))
            + f"; {time.time() - started:.0f} s in all" + ("" if final else " (running)"),
            f"{'id':<12} {'outcome':<15} {'s':>4}  by",
        ]
        for r in rows:
            lines.append(f"{r['id']:<12} {r['outcome']:<15} {r['seconds']:>4.0f}  {r['by']}")
        output.write_text("\n".join(lines) + "\n")

    for fault in faults:
        t0 = time.time()
        path = args.repo / fault["path"]
        original = path.read_text() if path.exists() else ""
        changed = apply(original, fault)
        row = {"id": fault["id"], "by": ""}
        if changed is None:
            row["outcome"] = "not applicable"
        else:
            pending.change(path, original, changed)
            try:
                since = time.time() - 1
                with open(log, "a") as out:
                    out.write(f"\n===== {fault['id']}: {fault['what']}\n")
                if not build(args, log):
                    row["outcome"] = "not compiled"
                else:
                    first = [n for n in rebuilt_tests(commands, since) if n not in broken]
                    if args.rebuilt_only:
                        first += [n for n in args.always.split(",")
                                  if n in commands and n not in first + broken]
                    stop = not args.all_tests
                    statuses = ctest(args, log, select=first, stop=stop) if first else {}
                    caught = [n for n in failed(statuses) if n not in broken]
                    if not args.rebuilt_only and (not caught or args.all_tests):
                        statuses = ctest(args, log, exclude=first, stop=stop)
                        caught += [n for n in failed(statuses) if n not in broken]
                    row["outcome"] = "caught" if caught else "missed"
                    row["by"] = " ".join(sorted(set(caught)))
            finally:
                pending.undo(path, original)
        row["seconds"] = time.time() - t0
        rows.append(row)
        print(f"{row['id']:<12} {row['outcome']:<15} {row['seconds']:4.0f} s  {row['by']}",
              flush=True)
        write_table()

    print("rebuilding the clean tree", flush=True)
    build(args, log)
    write_table(final=True)
    print(output.read_text(), end="")


def git_describe(repo):
    try:
        return subprocess.run(["git", "-C", str(repo), "log", "-1", "--format=%h %s"],
                              stdout=subprocess.PIPE, text=True, check=True).stdout.strip()[:72]
    except (OSError, subprocess.CalledProcessError):
        return str(repo)


if __name__ == "__main__":
    main()
