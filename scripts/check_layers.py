#!/usr/bin/env python3
"""Checks that the tree depends one way.

- Files: no two source units (a.h with a.cpp) include each other, directly
  or around a longer loop.
- Libraries: the CMake link graph (target_link_libraries in every
  CMakeLists.txt) has no cycle.
- Includes against links: a file of one library includes headers of its own
  library, of the libraries it links (directly or further down), or shared
  vocabulary headers that hold no code of a library (VOCABULARY below).

Prints every fault and exits 1 when there is one; -v also prints the graphs."""
import os
import re
import subprocess
import sys

# Which library each folder (or file stem) builds; the longest prefix wins.
# Folders of executables (tools' front ends, test suites) are left out: they
# sit on top and may include anything below them.
OWNERS = {
    'sim/machine/': 'korvid_machine',
    'platform/host/videoport/': 'korvid_videoport',
    'sim/display/display_driver': 'korvid_display_driver',
    'sim/display/': 'korvid_display',
    'sim/loader/host_driver': 'korvid_hostdrv',
    'sim/loader/': 'korvid_loader',
    'sim/pe/': 'korvid_pe',
    'miniport/': 'korvid_miniport',
    'platform/host/win32/': 'qv_win32',
    'applet/': 'qv_cpl',
    'tools/korvid-sim/': 'korvid_sim_cli',
}

# Headers of constants and records that two sides of an interface share;
# they belong to no library's code.
VOCABULARY = {
    'miniport/private_ioctl.h',
    'applet/escapes.h',
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def tracked():
    out = subprocess.run(['git', 'ls-files'], capture_output=True, text=True, check=True).stdout
    return [p for p in out.split('\n') if p]


def resolver(files):
    present = set(files)
    by_name = {}
    for p in files:
        by_name.setdefault(os.path.basename(p), []).append(p)

    def resolve(source, name):
        for base in (os.path.dirname(source), '', 'platform/host', 'miniport', 'applet',
                     'tools/korvid-sim', 'tests'):
            candidate = os.path.normpath(os.path.join(base, name))
            if candidate in present:
                return candidate
        found = by_name.get(os.path.basename(name), [])
        return found[0] if len(found) == 1 else None

    return resolve


def include_graph(files):
    resolve = resolver(files)
    edges = {}
    for p in files:
        if not p.endswith(('.cpp', '.h')):
            continue
        with open(p, encoding='utf-8', errors='replace') as f:
            text = f.read()
        edges[p] = {r for r in (resolve(p, n) for n in INCLUDE.findall(text)) if r and r != p}
    return edges


def cycles(graph):
    """The strongly connected parts of more than one node (Tarjan)."""
    index, low, stack, on, parts = {}, {}, [], set(), []
    counter = [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on.add(v)
        for w in graph.get(v, ()):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            part = []
            while True:
                w = stack.pop()
                on.discard(w)
                part.append(w)
                if w == v:
                    break
            if len(part) > 1:
                parts.append(sorted(part))

    sys.setrecursionlimit(10000)
    for v in list(graph):
        if v not in index:
            visit(v)
    return parts


def unit_graph(includes):
    unit = lambda p: os.path.splitext(p)[0]
    graph = {}
    for source, targets in includes.items():
        graph.setdefault(unit(source), set()).update(
            unit(t) for t in targets if unit(t) != unit(source))
    return graph


def link_graph(files):
    command = re.compile(r'target_link_libraries\s*\(([^)]*)\)', re.S)
    graph = {}
    for p in files:
        if os.path.basename(p) != 'CMakeLists.txt':
            continue
        with open(p) as f:
            text = re.sub(r'#.*', '', f.read())
        for body in command.findall(text):
            words = body.split()
            deps = [w for w in words[1:] if w not in ('PUBLIC', 'PRIVATE', 'INTERFACE')]
            graph.setdefault(words[0], set()).update(deps)
    return graph


def below(graph, target):
    seen, todo = set(), [target]
    while todo:
        for d in graph.get(todo.pop(), ()):
            if d not in seen:
                seen.add(d)
                todo.append(d)
    return seen


def owner(path):
    best = None
    for prefix, lib in OWNERS.items():
        if path.startswith(prefix) and (best is None or len(prefix) > len(best[0])):
            best = (prefix, lib)
    return best[1] if best else None


def main():
    verbose = '-v' in sys.argv
    os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
    files = tracked()
    includes = include_graph(files)
    links = link_graph(files)
    faults = []
    for part in cycles(unit_graph(includes)):
        faults.append('files include each other: ' + ' -> '.join(part))
    for part in cycles(links):
        faults.append('libraries link each other: ' + ' -> '.join(part))
    for source, targets in sorted(includes.items()):
        mine = owner(source)
        if not mine:
            continue
        allowed = below(links, mine) | {mine}
        for t in sorted(targets):
            theirs = owner(t)
            if theirs and theirs not in allowed and t not in VOCABULARY:
                faults.append(f'{source} ({mine}) includes {t} of {theirs}, '
                              f'which {mine} does not link')
    if verbose:
        for lib in sorted(links):
            print(f'{lib}: {" ".join(sorted(links[lib]))}')
    for f in faults:
        print(f)
    units = len(unit_graph(includes))
    print(f'{units} source units, {sum(map(len, includes.values()))} includes, '
          f'{len(links)} linking targets: {len(faults)} fault(s)')
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
