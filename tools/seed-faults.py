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
    same code       every object file the fault rebuilt has the clean tree's code
                    and data (debugging information left out): no test can see it
    not applicable  the text to find is not in the file exactly once

The clean tree is built and its suite run first; tests failing there are left
out of the judgement. The tests whose executables the fault rebuilt run first;
with --stop-on-failure (the default) the run ends at the first failing test,
so "by" names the tests that failed before the run stopped. Should the script
be killed, the next run puts back the file it left changed (BUILD keeps a
copy in seed-faults.pending.json).

Blind seeding draws the faults instead of reading them from a list, so that
nobody has seen them before the suite meets them:

    tools/seed-faults.py --blind --seed 7 --count 60 REPO BUILD

A seeded random generator picks a code line of the product sources (the
folders of --folders; comments, blank lines, preprocessor lines and lone
braces are never picked) and one fault of the usual kinds at it: the
statement deleted, a numeric constant changed, a comparison flipped (< <=,
> >=, == !=), a boolean flipped (true false) or a ! dropped, + and -
swapped, && and || swapped. Each is applied alone, built and judged as
above; a fault that does not compile, that lies in a file the build does
not use, or that leaves the compiled code as it was (same code), is drawn
again and not counted, until --count faults were judged.
The same seed on the same tree draws the same faults. The report
(BUILD/blind-faults-seedN.txt) gives caught and survived per folder, then each survivor as file:line with the
line before and after. A survivor is either a gap in the suite or a change
that cannot be told from outside (an equivalent fault); look at each.
A whole campaign of 60 faults takes 75 minutes or so on two free cores; with
--check the faults of a seed are only listed.

    tools/seed-faults.py --blind --again OLD-REPORT REPO BUILD

judges the survivors of an earlier report again, against the suite as it is
now: each is put in where its line now stands (the nearest line that reads
as the report's "before"); one whose line is gone counts as not applicable.
"""
import argparse
import hashlib
import json
import os
import random
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


def code_hashes(build_dir, since=None):
    """{object file: hash of its code and data}, debugging information left
    out, so that a fault that only moves lines still compares equal; with
    since, only the objects built since then."""
    hashes = {}
    stripped = build_dir / "seed-faults.stripped.o"
    for obj in sorted(build_dir.rglob("*.o")):
        if obj == stripped or (since is not None and obj.stat().st_mtime < since):
            continue
        if subprocess.run(["objcopy", "--strip-debug", str(obj), str(stripped)]).returncode == 0:
            hashes[obj] = hashlib.sha256(stripped.read_bytes()).hexdigest()
    stripped.unlink(missing_ok=True)
    return hashes


def test_commands(build_dir):
    out = subprocess.run(["ctest", "--show-only=json-v1"], cwd=build_dir, check=True,
                         stdout=subprocess.PIPE, text=True).stdout
    return {t["name"]: t.get("command", []) for t in json.loads(out)["tests"]}


def ctest(args, log, select=None, exclude=None, stop=False):
    """Runs ctest; returns {test name: status} for the tests that ran."""
    cmd = ["nice", "-n", "10", "ctest", "--output-on-failure", "--parallel", str(args.jobs),
           "--timeout", str(args.timeout)]
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
    # Anything but a pass or a skip: "***Failed", "***Timeout", "***Exception: SegFault" and
    # "Subprocess aborted***Exception:" (a crash, or QTest's watchdog ending a test that hangs).
    return sorted(n for n, s in statuses.items()
                  if s != "Passed" and not any(k in s for k in ("Skipped", "Disabled", "Not Run")))


def rebuilt_tests(commands, since):
    names = []
    for name, command in commands.items():
        exe = Path(command[0]) if command else None
        if exe and exe.exists() and exe.stat().st_mtime >= since:
            names.append(name)
    return names


def always_tests(args, since):
    """The --always tests that the fault may change: a test that runs the
    build's programs only where one of them was rebuilt."""
    names = []
    for entry in filter(None, args.always.split(",")):
        name, _, programs = entry.partition(":")
        paths = [args.build / "bin" / p for p in programs.split("+") if p]
        if not paths or any(p.exists() and p.stat().st_mtime >= since for p in paths):
            names.append(name)
    return names


# ---------------------------------------------------------------------------
# Blind seeding

FOLDERS = "app,audio,core,display,logbook,modem,report,rig,text,widgets,tools/cli"
SOURCE_SUFFIXES = (".cpp", ".h")
NUMBER = re.compile(r"(?<![\w.])(\d+\.\d*|\.\d+|\d+)(?:[eE][-+]?\d+)?[fFuUlL]*(?![\w.])")
STATEMENT = re.compile(r"(emit\s+|delete\s+|\+\+|--|\*)?[\w:]+(\s*(\.|->|\[[^\]]*\])\s*\w+)*\s*"
                       r"(\(|=|\+=|-=|\*=|/=|\|=|&=|\^=|<<=|>>=|\+\+|--|<<|\[)")
SWAPS = {
    "comparison": [(" < ", " <= "), (" <= ", " < "), (" > ", " >= "), (" >= ", " > "),
                   (" == ", " != "), (" != ", " == ")],
    "arithmetic": [(" + ", " - "), (" - ", " + "), (" += ", " -= "), (" -= ", " += ")],
    "logic": [(" && ", " || "), (" || ", " && ")],
}


def code_of(lines):
    """Each line with comments blanked and string and character literals
    emptied to spaces (same length), so patterns only see code."""
    out, in_block = [], False
    for line in lines:
        chars, i, quote = list(line), 0, None
        while i < len(chars):
            c, nxt = chars[i], chars[i + 1] if i + 1 < len(chars) else ""
            if in_block:
                if c == "*" and nxt == "/":
                    chars[i] = chars[i + 1] = " "
                    in_block = False
                    i += 2
                    continue
                chars[i] = " "
            elif quote:
                if c == "\\":
                    chars[i] = " "
                    if i + 1 < len(chars):
                        chars[i + 1] = " "
                    i += 2
                    continue
                if c == quote:
                    quote = None
                else:
                    chars[i] = " "
            elif c == "/" and nxt == "/":
                chars[i:] = " " * (len(chars) - i)
                break
            elif c == "/" and nxt == "*":
                chars[i] = chars[i + 1] = " "
                in_block = True
                i += 2
                continue
            elif c in "\"'" and not (c == "'" and i > 0 and chars[i - 1].isalnum()):
                quote = c
            i += 1
        out.append("".join(chars))
    return out


def is_code_line(code):
    stripped = code.strip()
    if not stripped or stripped.startswith("#"):
        return False
    if re.fullmatch(r"[{}();,\s]*", stripped):
        return False
    if re.fullmatch(r"(public|private|protected|signals|public slots|private slots|"
                    r"protected slots|default)\s*:", stripped):
        return False
    return True


def fault_choices(line, code, header=False):
    """(kind, changed line, description) for every fault the line offers."""
    choices = []
    stripped = code.strip()
    # Expression statements only (a deleted declaration would not compile),
    # so none in headers, where "Name(...);" declares.
    if (not header and stripped.endswith(";") and "{" not in stripped and "}" not in stripped
            and stripped.count("(") == stripped.count(")") and STATEMENT.match(stripped)
            and not re.match(r"(return|break|continue|case|using|typedef|delete\[|Q_)\b",
                             stripped)):
        choices.append(("statement", None, "statement deleted"))
    for m in NUMBER.finditer(code):
        text = m.group(0)
        digits = m.group(1)
        suffix = text[len(digits):]
        if "." in digits or "e" in text.lower() and not text.lower().startswith("0x"):
            value = float(text.rstrip("fFlL"))
            new = repr(value * 2 if value != 0 else 1.0) + ("f" if text.endswith(("f", "F")) else "")
            changed = line[:m.start()] + new + line[m.end():]
            choices.append(("constant", changed, f"{text} -> {new}"))
            continue
        value = int(digits)
        for new in sorted({str(value + 1) + suffix, str(max(value - 1, 0)) + suffix} - {text}):
            changed = line[:m.start()] + new + line[m.end():]
            choices.append(("constant", changed, f"{text} -> {new}"))
    for kind, pairs in SWAPS.items():
        for old, new in pairs:
            for m in re.finditer(re.escape(old), code):
                # Spaced operators only: templates and shifts are written
                # without spaces; what is not an expression does not compile.
                changed = line[:m.start()] + new + line[m.end():]
                choices.append((kind, changed, f"{old.strip()} -> {new.strip()}"))
    for old, new in (("true", "false"), ("false", "true")):
        for m in re.finditer(rf"\b{old}\b", code):
            choices.append(("boolean", line[:m.start()] + new + line[m.end():], f"{old} -> {new}"))
    for m in re.finditer(r"!(?!=)", code):
        choices.append(("boolean", line[:m.start()] + line[m.end():], "! dropped"))
    return choices


def code_lines(repo, folders):
    """[(relative path, line index)] of every line a fault may be drawn at."""
    sites = []
    for folder in folders:
        for path in sorted((repo / folder).rglob("*")):
            if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
                continue
            lines = path.read_text(errors="replace").splitlines()
            rel = str(path.relative_to(repo))
            sites += [(rel, i) for i, code in enumerate(code_of(lines)) if is_code_line(code)]
    return sites


def draw_faults(repo, folders, seed):
    """Endless stream of faults drawn with the seed: dicts with path, line
    (from 1), kind, what, before, after and the changed file text."""
    rng = random.Random(seed)
    sites = code_lines(repo, folders)
    cache = {}
    drawn = set()  # a fault drawn again is not judged twice
    while True:
        rel, index = sites[rng.randrange(len(sites))]
        if rel not in cache:
            text = (repo / rel).read_text()
            lines = text.split("\n")
            cache[rel] = (text, lines, code_of(lines))
        text, lines, codes = cache[rel]
        choices = fault_choices(lines[index], codes[index], rel.endswith(".h"))
        if not choices:
            continue
        kinds = sorted({c[0] for c in choices})
        kind = kinds[rng.randrange(len(kinds))]
        of_kind = [c for c in choices if c[0] == kind]
        _, after, what = of_kind[rng.randrange(len(of_kind))]
        if (rel, index, after) in drawn:
            continue
        drawn.add((rel, index, after))
        changed = lines[:index] + ([] if after is None else [after]) + lines[index + 1:]
        yield {"path": rel, "line": index + 1, "kind": kind, "what": what,
               "before": lines[index].strip(), "after": "" if after is None else after.strip(),
               "text": "\n".join(changed)}


def faults_again(repo, report):
    """The survivors of an earlier blind report, as draw_faults gives them,
    put in where their lines now stand; None where a line is gone."""
    entries = re.findall(r"^(\S+):(\d+)  (\w+): (.*)\n    - (.*)\n    \+ ?(.*)$",
                         report.read_text().split("# all faults")[0], re.M)
    for rel, line, kind, what, before, after in entries:
        lines = (repo / rel).read_text().split("\n")
        at = [i for i, text in enumerate(lines) if text.strip() == before]
        if not at:
            yield None
            continue
        index = min(at, key=lambda i: abs(i + 1 - int(line)))
        indent = lines[index][:len(lines[index]) - len(lines[index].lstrip())]
        changed = lines[:index] + ([indent + after] if after else []) + lines[index + 1:]
        yield {"path": rel, "line": index + 1, "kind": kind, "what": what,
               "before": before, "after": after, "text": "\n".join(changed)}


def folder_of(rel):
    return "tools/cli" if rel.startswith("tools/cli/") else rel.split("/")[0]


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
    parser.add_argument("--always", default="tst_cli:velkora32-cli,tst_listen:velkora32-cli,"
                        "tst_install:velkora32+velkora32-cli",
                        help="with --rebuilt-only: tests that run the built programs, as "
                        "TEST[:PROGRAM[+PROGRAM...]]; such a test runs for every fault that "
                        "rebuilt one of its programs (in BUILD/bin), or for every fault when "
                        "none is named (%(default)s)")
    parser.add_argument("--blind", action="store_true",
                        help="draw the faults at random from the product sources (see above)")
    parser.add_argument("--seed", type=int, default=1, help="with --blind: the draw (%(default)s)")
    parser.add_argument("--count", type=int, default=60,
                        help="with --blind: faults to judge (%(default)s)")
    parser.add_argument("--again", type=Path,
                        help="with --blind: judge the survivors of this earlier report instead")
    parser.add_argument("--folders", default=FOLDERS,
                        help="with --blind: where faults are drawn (%(default)s)")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=int, default=120, help="per test, seconds")
    args = parser.parse_args()
    args.repo, args.build = args.repo.resolve(), args.build.resolve()
    if args.blind:
        return blind(args)
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
    judge = Judge(args)
    rows = []

    def write_table(final=False):
        counts = {}
        for r in rows:
            counts[r["outcome"]] = counts.get(r["outcome"], 0) + 1
        judged = counts.get("caught", 0) + counts.get("missed", 0)
        lines = judge.header(args.faults or "tools/seeded-faults.txt") + [
            f"# caught {counts.get('caught', 0)} of {judged}"
            + "".join(f"; {k} {v}" for k, v in sorted(counts.items())
                      if k not in ("caught", "missed"))
            + f"; {time.time() - judge.started:.0f} s in all" + ("" if final else " (running)"),
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
            row["outcome"], row["by"] = judge(path, original, changed, fault["id"] + ": " + fault["what"])
        row["seconds"] = time.time() - t0
        rows.append(row)
        print(f"{row['id']:<12} {row['outcome']:<15} {row['seconds']:4.0f} s  {row['by']}",
              flush=True)
        write_table()

    judge.finish()
    write_table(final=True)
    print(output.read_text(), end="")


class Judge:
    """Builds the clean tree and runs its suite once; then, called with one
    changed file, builds and runs the suite with the change in and puts the
    file back. Answers (outcome, tests that caught it)."""

    def __init__(self, args):
        self.args = args
        self.log = args.build / "seed-faults.log"
        self.log.write_text("")
        self.pending = Pending(args.build)
        self.pending.restore()
        self.started = time.time()
        print(f"building the clean tree in {args.build} (log: {self.log})", flush=True)
        if not build(args, self.log):
            sys.exit("the clean tree does not build; see the log")
        self.commands = test_commands(args.build)
        self.clean_code = code_hashes(args.build)
        self.baseline = ctest(args, self.log)
        self.broken = failed(self.baseline)
        if not self.baseline:
            sys.exit("ctest ran no tests; see the log")
        print(f"clean tree: {len(self.baseline)} tests, failing: "
              f"{', '.join(self.broken) or 'none'}", flush=True)

    def header(self, faults):
        args = self.args
        return [
            f"# Seeded faults: {faults} on {git_describe(args.repo)}",
            f"# {len(self.baseline)} tests; failing on the clean tree (ignored): "
            f"{', '.join(self.broken) or 'none'}",
            "# run per fault: " + ("the tests the fault rebuilt, and " + args.always
                                   if args.rebuilt_only else "the whole suite")
            + ("" if args.all_tests else ", up to the first failure"),
        ]

    def __call__(self, path, original, changed, title):
        args, log, broken = self.args, self.log, self.broken
        self.pending.change(path, original, changed)
        try:
            since = time.time() - 1
            with open(log, "a") as out:
                out.write(f"\n===== {title}\n")
            size = log.stat().st_size
            if not build(args, log):
                return "not compiled", ""
            with open(log) as out:
                out.seek(size)
                if "Building CXX object" not in out.read():
                    return "not built", ""
            rebuilt = code_hashes(args.build, since)
            if rebuilt and all(self.clean_code.get(o) == h for o, h in rebuilt.items()):
                return "same code", ""
            first = [n for n in rebuilt_tests(self.commands, since) if n not in broken]
            if args.rebuilt_only:
                first += [n for n in always_tests(args, since)
                          if n in self.commands and n not in first + broken]
            stop = not args.all_tests
            statuses = ctest(args, log, select=first, stop=stop) if first else {}
            caught = [n for n in failed(statuses) if n not in broken]
            if not args.rebuilt_only and (not caught or args.all_tests):
                statuses = ctest(args, log, exclude=first, stop=stop)
                caught += [n for n in failed(statuses) if n not in broken]
            return ("caught" if caught else "missed"), " ".join(sorted(set(caught)))
        finally:
            self.pending.undo(path, original)

    def finish(self):
        print("rebuilding the clean tree", flush=True)
        build(self.args, self.log)


def blind(args):
    folders = [f for f in args.folders.split(",") if f]
    if args.again:
        faults = list(faults_again(args.repo, args.again))
        args.count = sum(1 for f in faults if f)
        skipped = {"not applicable": len(faults) - args.count} if len(faults) > args.count else {}
        faults = iter([f for f in faults if f])
    else:
        faults, skipped = draw_faults(args.repo, folders, args.seed), {}
    if args.check:
        for _ in range(args.count):
            f = next(faults)
            print(f"{f['path']}:{f['line']}  {f['kind']}: {f['what']}\n    - {f['before']}\n"
                  f"    + {f['after']}")
        return
    output = args.output or args.build / (f"blind-faults-seed{args.seed}.txt" if not args.again
                                          else f"again-{args.again.name}")
    judge = Judge(args)
    rows = []

    def write_table(final=False):
        per = {}
        for r in rows:
            c = per.setdefault(folder_of(r["path"]), [0, 0])
            c[0 if r["outcome"] == "caught" else 1] += 1
        caught = sum(c[0] for c in per.values())
        lines = judge.header(f"the survivors of {args.again}" if args.again else f"blind, seed {args.seed}") + [
            f"# caught {caught} of {len(rows)}"
            + (f" ({100 * caught / len(rows):.0f} %)" if rows else "")
            + "".join(f"; {k} {v}" + ("" if args.again else " (drawn again)") for k, v in sorted(skipped.items()))
            + f"; {time.time() - judge.started:.0f} s in all" + ("" if final else " (running)"),
            f"{'folder':<10} {'caught':>6} {'survived':>8}",
        ]
        lines += [f"{k:<10} {c[0]:>6} {c[1]:>8}" for k, c in sorted(per.items())]
        lines.append("# survivors")
        for r in rows:
            if r["outcome"] != "caught":
                lines.append(f"{r['path']}:{r['line']}  {r['kind']}: {r['what']}\n"
                             f"    - {r['before']}\n    + {r['after']}")
        lines.append("# all faults")
        lines += [f"{r['path']}:{r['line']:<5} {r['kind']:<10} {r['outcome']:<7} {r['seconds']:>4.0f} s"
                  f"  {r['what']}  {r['by']}" for r in rows]
        output.write_text("\n".join(lines) + "\n")

    while len(rows) < args.count:
        fault = next(faults, None)
        if fault is None:
            break
        t0 = time.time()
        path = args.repo / fault["path"]
        original = path.read_text()
        outcome, by = judge(path, original, fault["text"],
                            f"{fault['path']}:{fault['line']} {fault['kind']}: {fault['what']}")
        print(f"{fault['path']}:{fault['line']:<5} {fault['kind']:<10} {outcome:<12} "
              f"{time.time() - t0:4.0f} s  {fault['what']}  {by}", flush=True)
        if outcome not in ("caught", "missed"):
            skipped[outcome] = skipped.get(outcome, 0) + 1
            continue
        rows.append(dict(fault, outcome=outcome, by=by, seconds=time.time() - t0))
        write_table()

    judge.finish()
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
