#!/usr/bin/env python3
"""Checks that the tree depends one way.

- Files: no two source units (a.h with a.cpp) include each other, and no two
  call each other, directly or around a longer loop. A call is a use of a
  free function that a header declares and one .cpp defines.
- Libraries: the CMake link graph (target_link_libraries in every
  CMakeLists.txt) has no cycle.
- Includes against links: a file of one library includes headers of its own
  library, of the libraries it links (directly or further down), or shared
  vocabulary headers that hold no code of a library (VOCABULARY below).

Prints every fault and exits 1 when there is one; -v also prints the links."""
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
VOCABULARY = {'miniport/private_ioctl.h', 'applet/escapes.h'}

# Where a quoted include is looked for after the including file's folder.
INCLUDE_DIRS = ('', 'platform/host', 'miniport', 'applet', 'tools/korvid-sim', 'tests')


def include_graph(files):
    present = set(files)
    by_name = {}
    for p in files:
        by_name.setdefault(os.path.basename(p), []).append(p)

    def resolve(source, name):
        for base in (os.path.dirname(source),) + INCLUDE_DIRS:
            if os.path.normpath(os.path.join(base, name)) in present:
                return os.path.normpath(os.path.join(base, name))
        found = by_name.get(os.path.basename(name), [])
        return found[0] if len(found) == 1 else None

    edges = {}
    for p in (f for f in files if f.endswith(('.cpp', '.h'))):
        with open(p, encoding='utf-8', errors='replace') as f:
            names = re.findall(r'^\s*#\s*include\s+"([^"]+)"', f.read(), re.M)
        edges[p] = {r for r in (resolve(p, n) for n in names) if r and r != p}
    return edges


def call_graph(includes, read):
    """Unit -> units whose free functions it calls: a name that a header
    declares, called from a file that includes that header (directly or
    further down) and defined in one unit that includes it too. A function
    handed over by name (a table entry, a callback) is not a call. The Wine
    harness is left out: the cross build links it with the platform's own
    functions, not the stand-in's."""
    files = [f for f in includes if not f.startswith('tests/wine/')]
    seen = {f: below(includes, f) | {f} for f in files}
    declared = {}
    for h in (f for f in files if f.endswith('.h')):
        for name in re.findall(r'^(?!\s)(?!#|//|return|typedef|using)[\w:<>*&, ]+?\b(\w+)'
                               r'\s*\([^;{}]*\)\s*;', read(h), re.M):
            declared.setdefault(name, set()).add(h)
    homes = {}
    for c in (f for f in files if f.endswith('.cpp')):
        for name in re.findall(r'^(?!\s)(?!#|//)[\w<>*&, ]*?\b(\w+)\s*\([^;{}]*\)\s*'
                               r'(?:const\s*)?\n?\{', read(c), re.M):
            for h in declared.get(name, set()) & seen[c]:
                homes.setdefault((name, h), set()).add(unit(c))
    graph = {}
    for c in (f for f in files if f.endswith('.cpp')):
        text, callees = read(c), set()
        for (name, h), where in homes.items():
            if len(where) == 1 and h in seen[c] and re.search(r'\b' + name + r'\s*\(', text):
                callees |= {w for w in where if w != unit(c) and reaches(c, w)}
        graph[unit(c)] = callees
    return graph


def reaches(caller, callee):
    """A test suite's functions are linked into that suite alone."""
    folder = os.path.dirname(callee)
    return not callee.startswith('tests/') or os.path.dirname(caller) == folder


def unit(path):
    return os.path.splitext(path)[0]


def below(graph, node):
    """Every node reachable from `node`."""
    seen, todo = set(), [node]
    while todo:
        for d in graph.get(todo.pop(), ()):
            if d not in seen:
                seen.add(d)
                todo.append(d)
    return seen


def cycles(graph):
    """The groups of two or more nodes that reach each other."""
    reach = {v: below(graph, v) for v in graph}
    groups = {tuple(sorted(w for w in reach[v] if v in reach.get(w, ()))) for v in graph}
    return [g for g in groups if len(g) > 1]


def unit_graph(includes):
    graph = {}
    for source, targets in includes.items():
        graph.setdefault(unit(source), set()).update(
            unit(t) for t in targets if unit(t) != unit(source))
    return graph


def link_graph(files):
    graph = {}
    for p in (f for f in files if os.path.basename(f) == 'CMakeLists.txt'):
        with open(p) as f:
            text = re.sub(r'#.*', '', f.read())
        for body in re.findall(r'target_link_libraries\s*\(([^)]*)\)', text):
            target, *deps = body.split()
            graph.setdefault(target, set()).update(
                d for d in deps if d not in ('PUBLIC', 'PRIVATE', 'INTERFACE'))
    return graph


def owner(path):
    prefixes = [p for p in OWNERS if path.startswith(p)]
    return OWNERS[max(prefixes, key=len)] if prefixes else None


def main():
    os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
    files = subprocess.run(['git', 'ls-files'], capture_output=True, text=True,
                           check=True).stdout.split()
    includes, links = include_graph(files), link_graph(files)
    units = unit_graph(includes)
    calls = call_graph(includes, lambda p: open(p, errors='replace').read())
    faults = ['files include each other: ' + ' -> '.join(c) for c in cycles(units)]
    faults += ['files call each other: ' + ' -> '.join(c) for c in cycles(calls)]
    faults += ['libraries link each other: ' + ' -> '.join(c) for c in cycles(links)]
    for source, targets in sorted(includes.items()):
        mine = owner(source)
        allowed = below(links, mine) | {mine}
        for t in sorted(targets):
            if mine and owner(t) and owner(t) not in allowed and t not in VOCABULARY:
                faults.append(f'{source} ({mine}) includes {t} of {owner(t)}, '
                              f'which {mine} does not link')
    if '-v' in sys.argv:
        for lib in sorted(links):
            print(f'{lib}: {" ".join(sorted(links[lib]))}')
    print('\n'.join(faults + [f'{len(units)} source units, '
                              f'{sum(map(len, includes.values()))} includes, '
                              f'{sum(map(len, calls.values()))} calls, {len(links)} '
                              f'linking targets: {len(faults)} fault(s)']))
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
