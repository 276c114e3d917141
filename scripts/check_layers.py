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
import sys

from build_files import below, link_graph, static_libraries, tracked_files

# Headers of constants and records that two sides of an interface share;
# they belong to no library's code.
VOCABULARY = {'miniport/private_ioctl.h', 'applet/escapes.h'}

# Folders of executables and their helpers (test suites, the Wine harness)
# sit on top: they may include anything below them.
ON_TOP = ('tests/',)


def include_graph(files):
    """Every quoted include names a file from the repository root; one that
    does not is a fault."""
    present, edges, faults = set(files), {}, []
    for p in (f for f in files if f.endswith(('.cpp', '.h'))):
        with open(p, encoding='utf-8', errors='replace') as f:
            names = re.findall(r'^\s*#\s*include\s+"([^"]+)"', f.read(), re.M)
        edges[p] = {n for n in names if n in present and n != p}
        faults += [f'{p} includes "{n}", not a path from the repository root'
                   for n in names if n not in present]
    return edges, faults


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


def libraries(files):
    """Folder -> the host library its build file defines (the STATIC one;
    the deliverables' folders also define the Windows image). A folder
    defines one library; faults name a folder that defines more, or a
    library with a source outside its folder."""
    owners, faults = {}, []
    for folder, name, sources in static_libraries(files):
        if folder.startswith(ON_TOP) or not folder:
            continue
        if folder + '/' in owners:
            faults.append(f'{folder}/CMakeLists.txt defines two libraries: '
                          f'{owners[folder + "/"]} and {name}')
        owners[folder + '/'] = name
        faults += [f'{folder}/CMakeLists.txt: {name} builds {s}, outside its folder'
                   for s in sources if '/' in s and not s.startswith('${')]
    return owners, faults


def owner(owners, path):
    folder = os.path.dirname(path) + '/'
    return owners.get(folder)


def readme_order():
    """The folders as the README's tree lists them, bottom layer first:
    the lines that start with a folder in backquotes under "## The tree"."""
    with open('README.md', encoding='utf-8') as f:
        text = f.read()
    section = text.split('## The tree', 1)[-1].split('\n## ', 1)[0]
    return re.findall(r'^\| `([\w./-]+/)`', section, re.M)


def folder_faults(includes, owners):
    """Folders include one way: no loop between folders, and none includes
    a folder that the README lists after its own."""
    graph = {}
    for source, targets in includes.items():
        a = os.path.dirname(source) + '/'
        graph.setdefault(a, set()).update(
            os.path.dirname(t) + '/' for t in targets
            if os.path.dirname(t) + '/' != a and t not in VOCABULARY)
    faults = ['folders include each other: ' + ' -> '.join(c) for c in cycles(graph)]
    order = readme_order()
    rank = {f: i for i, f in enumerate(order)}
    faults += [f'README.md does not list {f} ({lib}) in its tree'
               for f, lib in sorted(owners.items()) if f not in rank]
    for a, targets in sorted(graph.items()):
        for b in sorted(targets):
            if a in rank and b in rank and rank[b] > rank[a]:
                faults.append(f'{a} includes {b}, which the README lists above it')
    return faults


def main():
    os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
    files = tracked_files()
    (includes, faults), links = include_graph(files), link_graph(files)
    owners, library_faults = libraries(files)
    units = unit_graph(includes)
    calls = call_graph(includes, lambda p: open(p, errors='replace').read())
    faults += library_faults
    faults += ['files include each other: ' + ' -> '.join(c) for c in cycles(units)]
    faults += ['files call each other: ' + ' -> '.join(c) for c in cycles(calls)]
    faults += ['libraries link each other: ' + ' -> '.join(c) for c in cycles(links)]
    faults += folder_faults(includes, owners)
    for source, targets in sorted(includes.items()):
        mine = owner(owners, source)
        allowed = below(links, mine) | {mine}
        for t in sorted(targets):
            theirs = owner(owners, t)
            if mine and theirs and theirs not in allowed and t not in VOCABULARY:
                faults.append(f'{source} ({mine}) includes {t} of {theirs}, '
                              f'which {mine} does not link')
    if '-v' in sys.argv:
        for folder, lib in sorted(owners.items()):
            print(f'{folder}: {lib}')
        for lib in sorted(links):
            print(f'{lib}: {" ".join(sorted(links[lib]))}')
    print('\n'.join(faults + [f'{len(units)} source units, '
                              f'{sum(map(len, includes.values()))} includes, '
                              f'{sum(map(len, calls.values()))} calls, {len(links)} '
                              f'linking targets: {len(faults)} fault(s)']))
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
