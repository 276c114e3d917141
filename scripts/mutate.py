#!/usr/bin/env python3
"""Mutation testing of the miniport and the applet.

Makes seeded, deterministic mutants of miniport/ and applet/ (relational
operators flipped, constants moved by one, statements deleted, adjacent calls
swapped, status codes changed), applies them one at a time in this worktree,
rebuilds the host build incrementally and runs the test executables that
exercise the mutated file. A fast build without sanitizers (build/mutate-fast)
runs every mutant; its survivors run again in a build with the sanitizers, as
build/host has them (build/mutate), so the kills are those of the sanitized
build. A mutant whose build fails is counted apart; a test executable that
runs past its timeout kills the mutant.
The file is restored byte for byte after every mutant, and at the next start
if the run was cut short. Results go to a state file, so a second start
resumes where the first stopped, and to a report with every survivor's diff.

    python3 scripts/mutate.py [--files GLOB...] [--count N] [--seed S]

Python 3 standard library only. Not part of CI: a full run takes hours.
"""

import argparse
import difflib
import fnmatch
import hashlib
import json
import math
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import build_files  # noqa: E402

ROOT = Path(__file__).resolve().parent.parent
SCOPE_DIRS = ("miniport", "applet")
SOURCE_SUFFIXES = (".cpp", ".h")



def tests_for_dirs():
    """Folder -> the test executables of the host build (target, path in the
    build folder) that link the folder's library, as the build files say.
    The end-to-end tests run on the host miniport and on the cross-built
    korvid.sys; the mutant builds configure no cross build, so only the host
    runs take place (a mutant never reaches korvid.sys without a cross
    rebuild, which would double the time of every miniport mutant)."""
    files = build_files.tracked_files(ROOT)
    cwd = os.getcwd()
    os.chdir(ROOT)
    try:
        library = {folder: name for folder, name, _ in build_files.static_libraries(files)}
        return {d: tuple(build_files.tests_covering(files, library[d])) for d in SCOPE_DIRS}
    finally:
        os.chdir(cwd)


STATUS_SWAPS = {
    "NO_ERROR": "ERROR_INVALID_PARAMETER",
    "ERROR_SUCCESS": "ERROR_INVALID_FUNCTION",
    "ERROR_INVALID_PARAMETER": "ERROR_INSUFFICIENT_BUFFER",
    "ERROR_INSUFFICIENT_BUFFER": "ERROR_INVALID_PARAMETER",
    "ERROR_INVALID_FUNCTION": "ERROR_INVALID_PARAMETER",
    "ERROR_DEV_NOT_EXIST": "ERROR_INVALID_PARAMETER",
    "ERROR_MORE_DATA": "ERROR_INSUFFICIENT_BUFFER",
    "TRUE": "FALSE",
    "FALSE": "TRUE",
}
RELATIONAL_FLIPS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}

RELATIONAL_RE = re.compile(r"(?<=\s)(<=|>=|==|!=|<|>)(?=\s)")
CONSTANT_RE = re.compile(r"(?<![\w.'])(0[xX][0-9a-fA-F']+|[1-9][\d']*|0)([uUlL]*)(?![\w.'])")
STATUS_RE = re.compile(r"\b(" + "|".join(STATUS_SWAPS) + r")\b")
# A whole statement on one line: a call, an assignment or an increment.
TARGET = r"\*?[A-Za-z_]\w*(?:\s*(?:\.|->|::)\s*\w+|\[[^\]]*\])*"
STATEMENT_RE = re.compile(
    r"^\s*(?:(?:\+\+|--)" + TARGET + r"|" + TARGET +
    r"\s*(?:\(|(?:[-+*/|&^]|<<|>>)?=(?!=)|\+\+|--))")
CALL_RE = re.compile(r"^\s*" + TARGET + r"\s*\(")
KEYWORDS = re.compile(r"^\s*(return|break|continue|case|default|goto|else|if|for|while|"
                      r"do|switch|delete|throw|static_assert)\b")


def code_mask(text):
    """The text with comments, string and character literals and #include
    lines blanked (newlines kept), so that positions still match."""
    out = list(text)
    i, n = 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if c == "\n":
            line_start = True
            i += 1
            continue
        if line_start and c in " \t":
            i += 1
            continue
        if line_start and c == "#":
            end = text.find("\n", i)
            end = n if end < 0 else end
            directive = text[i:end]
            if not directive.startswith(("#define", "#if", "#elif")):
                for j in range(i, end):
                    out[j] = " "
            i = end
            continue
        line_start = False
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            for j in range(i, end):
                out[j] = " "
            i = end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            for j in range(i, end):
                if out[j] != "\n":
                    out[j] = " "
            i = end
        elif c == "'" and i > 0 and text[i - 1].isalnum():
            i += 1  # a digit separator
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            for k in range(i, min(j + 1, n)):
                out[k] = " "
            i = j + 1
        else:
            i += 1
    return "".join(out)


def moved_constant(literal, rng):
    value = int(literal.replace("'", ""), 0)
    delta = 1 if value == 0 else rng.choice((1, -1))
    new = value + delta
    if "'" in literal and literal[:2].lower() != "0x":
        return format(new, ",").replace(",", "'")
    if literal[:2].lower() == "0x":
        digits = format(new, "X" if literal[2:].upper() == literal[2:] else "x")
        return literal[:2] + digits.rjust(len(literal) - 2, "0")
    return str(new)


def line_spans(text):
    spans, start = [], 0
    for line in text.splitlines(keepends=True):
        spans.append((start, start + len(line)))
        start += len(line)
    return spans


def statement_lines(mask, spans):
    """Indexes of lines holding one whole statement that can be deleted."""
    result = []
    previous_end = ";"
    for index, (start, end) in enumerate(spans):
        code = mask[start:end].strip()
        if not code:
            continue
        if (code.endswith(";") and previous_end in ";{}:" and STATEMENT_RE.match(code)
                and not KEYWORDS.match(code) and code.count("(") == code.count(")")):
            result.append(index)
        previous_end = code[-1]
    return result


def find_sites(path, text, rng):
    """Every mutation of one file: (kind, start, end, replacement)."""
    mask = code_mask(text)
    spans = line_spans(text)
    sites = []
    for m in RELATIONAL_RE.finditer(mask):
        sites.append(("relational", m.start(1), m.end(1), RELATIONAL_FLIPS[m.group(1)]))
    for m in CONSTANT_RE.finditer(mask):
        sites.append(("constant", m.start(1), m.end(1), moved_constant(m.group(1), rng)))
    for m in STATUS_RE.finditer(mask):
        sites.append(("status", m.start(1), m.end(1), STATUS_SWAPS[m.group(1)]))
    statements = statement_lines(mask, spans)
    for index in statements:
        start, end = spans[index]
        sites.append(("delete", start, end, ""))
    for index in statements:
        if index + 1 not in statements:
            continue
        (s1, e1), (s2, e2) = spans[index], spans[index + 1]
        first, second = text[s1:e1], text[s2:e2]
        if CALL_RE.match(mask[s1:e1]) and CALL_RE.match(mask[s2:e2]) and first != second:
            sites.append(("swap", s1, e2, second + first))
    return sites


def file_list(patterns):
    files = sorted(str(p.relative_to(ROOT)) for d in SCOPE_DIRS for p in (ROOT / d).rglob("*")
                   if p.suffix in SOURCE_SUFFIXES and p.is_file())
    if not patterns:
        return files
    chosen = [f for f in files if any(fnmatch.fnmatch(f, p) or f == p for p in patterns)]
    if not chosen:
        sys.exit("mutate: no source of miniport/ or applet/ matches " + " ".join(patterns))
    return chosen


def allocate(counts, total, rng):
    """Mutants per file: one each while there are enough, the rest to the
    .cpp files in proportion to the square root of their mutation sites, so
    that a table of constants does not crowd out the code (largest
    remainder). Headers hold declarations and constants more than logic, and
    each of their mutants rebuilds everything that includes them."""
    files = [f for f in sorted(counts) if counts[f]]
    share = {f: 0 for f in counts}
    if total < len(files):
        for f in rng.sample(files, total):
            share[f] = 1
        return share
    for f in files:
        share[f] = 1
    left = total - len(files)
    remaining = {f: counts[f] - 1 if f.endswith(".cpp") else 0 for f in files}
    weight = {f: math.sqrt(remaining[f]) for f in files}
    pool = sum(weight.values())
    if left <= 0 or pool == 0:
        return share
    exact = {f: left * weight[f] / pool for f in files}
    for f in files:
        share[f] += min(remaining[f], int(exact[f]))
    left = total - sum(share.values())
    order = sorted(files, key=lambda f: (-(exact[f] - int(exact[f])), f))
    while left > 0 and any(share[f] < counts[f] and remaining[f] for f in files):
        for f in order:
            if left > 0 and share[f] < counts[f] and remaining[f]:
                share[f] += 1
                left -= 1
    return share


def pick(sites, k, rng):
    """k sites, taking the operators in turn so that each is represented."""
    by_kind = {}
    for site in sites:
        by_kind.setdefault(site[0], []).append(site)
    for group in by_kind.values():
        rng.shuffle(group)
    kinds = sorted(by_kind)
    rng.shuffle(kinds)
    chosen = []
    while len(chosen) < k:
        for kind in kinds:
            if by_kind[kind] and len(chosen) < k:
                chosen.append(by_kind[kind].pop())
    return chosen


def make_mutants(files, count, seed):
    rng = random.Random(seed)
    sites, texts = {}, {}
    for f in files:
        texts[f] = (ROOT / f).read_bytes().decode("utf-8")
        sites[f] = find_sites(f, texts[f], random.Random(f"{seed}:{f}"))
    if count is None:
        share = {f: len(sites[f]) for f in files}
    else:
        share = allocate({f: len(sites[f]) for f in files}, count, rng)
    mutants = []
    for f in files:
        for kind, start, end, replacement in sorted(pick(sites[f], share[f], rng),
                                                    key=lambda s: (s[1], s[0])):
            text = texts[f]
            mutated = text[:start] + replacement + text[end:]
            digest = hashlib.sha1(f"{f}\0{start}\0{end}\0{replacement}\0{text}".encode())
            line = text.count("\n", 0, start) + 1
            mutants.append({"key": digest.hexdigest()[:12], "file": f, "line": line,
                            "kind": kind, "start": start, "end": end,
                            "replacement": replacement, "diff": diff_of(f, text, mutated),
                            "equivalence": equivalence_key(f, text, start, end, replacement)})
    return mutants


def diff_of(path, before, after):
    lines = difflib.unified_diff(before.splitlines(keepends=True), after.splitlines(keepends=True),
                                 "a/" + path, "b/" + path, n=2)
    return "".join(lines)


def equivalence_key(path, text, start, end, replacement):
    """A key that survives edits elsewhere in the file: the mutated lines
    before and after, with the lines around them, without indentation."""
    line_start = max(text.rfind("\n", 0, start), 0)
    line_start = text.rfind("\n", 0, line_start) + 1
    line_end = text.find("\n", end)
    line_end = text.find("\n", line_end + 1) if line_end >= 0 else -1
    line_end = len(text) if line_end < 0 else line_end
    before = text[line_start:line_end]
    after = text[line_start:start] + replacement + text[end:line_end]
    norm = lambda s: " ".join(s.split())
    return hashlib.sha1(f"{path}\0{norm(before)}\0{norm(after)}".encode()).hexdigest()[:10]


class Workspace:
    """The mutated file, its backup and the build folder."""

    def __init__(self, build):
        self.build = build
        self.backup = build / "backup"

    def restore(self):
        pending = self.backup / "pending.json"
        if not pending.exists():
            return
        record = json.loads(pending.read_text())
        original = (self.backup / "original").read_bytes()
        if hashlib.sha256(original).hexdigest() != record["sha256"]:
            sys.exit(f"mutate: the backup of {record['path']} is damaged; restore it with git")
        target = ROOT / record["path"]
        target.write_bytes(original)
        if hashlib.sha256(target.read_bytes()).hexdigest() != record["sha256"]:
            sys.exit(f"mutate: could not restore {record['path']}")
        pending.unlink()

    def apply(self, mutant):
        target = ROOT / mutant["file"]
        original = target.read_bytes()
        self.backup.mkdir(parents=True, exist_ok=True)
        with open(self.backup / "original", "wb") as f:
            f.write(original)
            f.flush()
            os.fsync(f.fileno())
        record = {"path": mutant["file"], "sha256": hashlib.sha256(original).hexdigest()}
        (self.backup / "pending.json").write_text(json.dumps(record))
        text = original.decode("utf-8")
        mutated = text[:mutant["start"]] + mutant["replacement"] + text[mutant["end"]:]
        target.write_bytes(mutated.encode("utf-8"))


def run(cmd, timeout=None, log=None):
    """Runs cmd in its own process group; returns (exit code or None on
    timeout, seconds, output)."""
    began = time.monotonic()
    proc = subprocess.Popen(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout)
        code = proc.returncode
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, _ = proc.communicate()
        code = None
    except BaseException:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        raise
    return code, time.monotonic() - began, out.decode("utf-8", "replace")


class Build:
    """One build folder of the host configuration: `sanitized` like
    build/host (sanitizers, -g -O1), else fast: -O1 alone, which builds and runs
    about twice as fast."""

    def __init__(self, folder, sanitized):
        self.folder = folder
        self.sanitized = sanitized
        self.name = "sanitized" if sanitized else "fast"

    def configure(self):
        """Same generator and flags as build/host, so that ccache shares the
        objects; without the cross build, whose checks then skip."""
        if (self.folder / "CMakeCache.txt").exists():
            return
        flags = "-g -O1" if self.sanitized else "-O1"
        cmd = ["cmake", "-S", str(ROOT), "-B", str(self.folder), "-DCMAKE_BUILD_TYPE=Debug",
               f"-DCMAKE_CXX_FLAGS_DEBUG={flags}", "-DKORVID_CROSS_DIR=",
               f"-DKORVID_SANITIZE={'ON' if self.sanitized else 'OFF'}"]
        if shutil.which("ccache"):
            cmd += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        code, _, out = run(cmd)
        if code != 0:
            sys.exit(f"mutate: configuring {self.folder} failed:\n{out}")


def build_targets(build, tests, jobs):
    cmd = ["cmake", "--build", str(build), "-j", str(jobs), "--target"] + [t for t, _ in tests]
    code, seconds, out = run(cmd)
    return code == 0, seconds, out


def build_and_test(build, tests, timeouts, jobs):
    """Builds and runs the executables one after the other, so that a mutant
    the first one kills costs no more links. The first failure decides:
    ("build-failed"|"killed"|"timeout", detail) or ("survived", "")."""
    for target, path in tests:
        built, _, out = build_targets(build, [(target, path)], jobs)
        if not built:
            errors = [l for l in out.splitlines() if "error" in l]
            return "build-failed", (errors[0] if errors else out[-200:]).strip()[:200]
        cmd = [str(build / path), "--gtest_fail_fast", "--gtest_brief=1"]
        code, _, out = run(cmd, timeout=timeouts[target])
        if code is None:
            return "timeout", f"{target} ran past {timeouts[target]:.0f} s"
        if code != 0:
            failed = re.findall(r"^\[  FAILED  \] (\S+)", out, re.M)
            sanitizer = re.search(r"(AddressSanitizer|UndefinedBehaviorSanitizer|runtime error)",
                                  out)
            reason = failed[0] if failed else (sanitizer.group(1) if sanitizer else f"exit {code}")
            return "killed", f"{target}: {reason}"
    return "survived", ""


def load_equivalents(path):
    """Survivors known to change nothing observable: KEY reason, one a line."""
    known = {}
    if path.exists():
        for line in path.read_text().splitlines():
            line = line.strip()
            if line and not line.startswith("#"):
                key, _, reason = line.partition(" ")
                known[key] = reason.strip()
    return known


def outcomes(mutants, results, equivalents):
    """Each mutant that ran, with its status; a listed survivor is equivalent."""
    for m in mutants:
        r = results.get(m["key"])
        if r is None:
            continue
        status = r["status"]
        if status == "survived" and m["equivalence"] in equivalents:
            status = "equivalent"
        yield m, status


def write_report(path, mutants, results, equivalents, config):
    lines = [f"# Mutation report (seed {config['seed']}, {len(mutants)} mutants)", ""]
    lines += ["| file | mutants | killed | timeout | survived | equivalent | build failed |",
              "|---|---|---|---|---|---|---|"]
    per_file = {}
    for m, status in outcomes(mutants, results, equivalents):
        per_file.setdefault(m["file"], {}).setdefault(status, []).append(m)
    for f in sorted(per_file):
        s = per_file[f]
        n = sum(len(v) for v in s.values())
        cells = [str(len(s.get(k, []))) for k in
                 ("killed", "timeout", "survived", "equivalent", "build-failed")]
        lines.append(f"| {f} | {n} | " + " | ".join(cells) + " |")
    lines.append("")
    for f in sorted(per_file):
        for status in ("survived", "equivalent"):
            for m in per_file[f].get(status, []):
                note = f" (equivalent: {equivalents[m['equivalence']]})" if status == "equivalent" else ""
                lines += [f"## {status}: {f}:{m['line']} {m['kind']} "
                          f"[key {m['key']}, equivalence {m['equivalence']}]{note}", "",
                          "```diff", m["diff"].rstrip("\n"), "```", ""]
    path.write_text("\n".join(lines))


def score(mutants, results, equivalents):
    tally = {"killed": 0, "timeout": 0, "survived": 0, "equivalent": 0, "build-failed": 0}
    for _, status in outcomes(mutants, results, equivalents):
        tally[status] += 1
    return tally


def print_score(tally, pending):
    dead = tally["killed"] + tally["timeout"]
    compiled = dead + tally["survived"] + tally["equivalent"]
    relevant = compiled - tally["equivalent"]
    print(f"mutants: {compiled + tally['build-failed']} run, {pending} still to run; "
          f"{tally['build-failed']} did not build")
    print(f"killed {tally['killed']}, timed out {tally['timeout']}, survived "
          f"{tally['survived']}, listed as equivalent {tally['equivalent']}")
    if compiled:
        print(f"score: {dead}/{compiled} built mutants killed ({100.0 * dead / compiled:.1f}%); "
              f"{dead}/{relevant} of the non-equivalent ({100.0 * dead / max(relevant, 1):.1f}%)")


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--files", nargs="+", metavar="GLOB",
                   help="sources to mutate, e.g. miniport/palette.cpp 'applet/desktop_*' "
                   "(default: every .cpp and .h of miniport/ and applet/)")
    p.add_argument("--count", type=int, default=150,
                   help="mutants in all, spread over the files (default 150; 0: every site)")
    p.add_argument("--seed", type=int, default=1, help="seed of the selection (default 1)")
    p.add_argument("--build", default="build/mutate",
                   help="sanitized build folder, state and report (default build/mutate; "
                   "the fast build goes next to it, with -fast appended)")
    p.add_argument("--jobs", type=int, default=2, help="parallel build jobs (default 2)")
    p.add_argument("--timeout-factor", type=float, default=5.0,
                   help="an executable times out after this many times its unmutated run "
                   "(at least 60 s; default 5)")
    p.add_argument("--sanitize-all", action="store_true",
                   help="run every mutant in the sanitized build (by default a fast "
                   "build runs them and the sanitized build checks only the survivors)")
    p.add_argument("--fresh", action="store_true", help="forget the saved results")
    p.add_argument("--rerun-survivors", action="store_true",
                   help="run the saved survivors again (after adding tests)")
    p.add_argument("--only", nargs="+", metavar="KEY",
                   help="run only these mutants (keys as --list prints them)")
    p.add_argument("--list", action="store_true", help="print the mutants and exit")
    args = p.parse_args()

    build = (ROOT / args.build).resolve()
    # ccache shares objects between build folders of the same tree.
    os.environ.setdefault("CCACHE_BASEDIR", str(ROOT))
    os.environ.setdefault("CCACHE_NOHASHDIR", "true")
    workspace = Workspace(build)
    workspace.restore()

    files = file_list(args.files)
    mutants = make_mutants(files, args.count or None, args.seed)
    if args.only:
        mutants = [m for m in mutants if m["key"] in args.only]
    if args.list:
        for m in mutants:
            print(f"{m['key']} {m['file']}:{m['line']} {m['kind']} "
                  f"(equivalence {m['equivalence']})\n{m['diff']}")
        print(f"{len(mutants)} mutants")
        return 0

    equivalents = load_equivalents(ROOT / "scripts" / "mutate-equivalent.txt")
    config = {"seed": args.seed, "count": args.count, "files": files,
              "sanitize_all": args.sanitize_all}
    state_path = build / "mutate-state.json"
    state = {"config": config, "results": {}, "baseline": {}}
    if state_path.exists() and not args.fresh:
        saved = json.loads(state_path.read_text())
        if saved.get("config") == config:
            state = saved
        else:
            print("mutate: the saved state is for other options; starting over "
                  f"({state_path} is replaced)")
    if args.rerun_survivors:
        state["results"] = {k: r for k, r in state["results"].items()
                            if r["status"] != "survived"}

    def save():
        build.mkdir(parents=True, exist_ok=True)
        tmp = state_path.with_suffix(".tmp")
        tmp.write_text(json.dumps(state, indent=1))
        os.replace(tmp, state_path)

    def on_signal(signum, _frame):
        raise KeyboardInterrupt(f"signal {signum}")

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGHUP, on_signal)

    todo = [m for m in mutants if m["key"] not in state["results"]]
    tests_for_dir = tests_for_dirs()
    needed = []
    for m in todo:
        for t in tests_for_dir[m["file"].split("/")[0]]:
            if t not in needed:
                needed.append(t)
    # The fast build runs every mutant; the sanitized one checks its
    # survivors, so that the result is that of the sanitized build alone.
    builds = [Build(build, True)] if args.sanitize_all else \
        [Build(Path(str(build) + "-fast"), False), Build(build, True)]
    timeouts = {}
    for b in builds:
        b.configure()
        if todo:
            ok, _, out = build_targets(b.folder, needed, args.jobs)
            if not ok:
                sys.exit("mutate: the unmutated sources do not build:\n" + out[-4000:])
        baseline = state["baseline"].setdefault(b.name, {})
        for target, path in needed:
            if target not in baseline:
                code, seconds, out = run([str(b.folder / path), "--gtest_brief=1"])
                if code != 0:
                    sys.exit(f"mutate: {target} fails without any mutant:\n" + out[-4000:])
                baseline[target] = seconds
                print(f"baseline: {target} ({b.name} build) passes in {seconds:.1f} s")
        timeouts[b.name] = {t: max(60.0, args.timeout_factor * s) for t, s in baseline.items()}
    save()

    try:
        for n, m in enumerate(todo, 1):
            tests = tests_for_dir[m["file"].split("/")[0]]
            began = time.monotonic()
            workspace.apply(m)
            try:
                for b in builds:
                    status, detail = build_and_test(b.folder, tests, timeouts[b.name], args.jobs)
                    if status != "survived":
                        break
                detail = f"{b.name} build: {detail}" if len(builds) > 1 and detail else detail
            finally:
                workspace.restore()
            state["results"][m["key"]] = {"status": status, "detail": detail,
                                          "seconds": round(time.monotonic() - began, 1)}
            save()
            write_report(build / "mutate-report.md", mutants, state["results"], equivalents,
                         config)
            print(f"[{n}/{len(todo)}] {m['file']}:{m['line']} {m['kind']}: {status}"
                  f"{' (' + detail + ')' if detail else ''}", flush=True)
    except KeyboardInterrupt:
        workspace.restore()
        print("mutate: stopped; the file is restored and the next start resumes")
        save()
        return 130
    finally:
        workspace.restore()
        report = build / "mutate-report.md"
        write_report(report, mutants, state["results"], equivalents, config)

    tally = score(mutants, state["results"], equivalents)
    pending = sum(1 for m in mutants if m["key"] not in state["results"])
    print_score(tally, pending)
    print(f"report: {report}")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit("mutate: stopped before the first mutant")
