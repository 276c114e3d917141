"""What the CMake build files say about the tree, read without running CMake:
the link graph, the library each folder builds, and the test executables.
Shared by check_layers.py and mutate.py."""
import os
import re
import subprocess

NOT_TARGETS = ('PUBLIC', 'PRIVATE', 'INTERFACE')


def tracked_files(root='.'):
    out = subprocess.run(['git', 'ls-files'], cwd=root, capture_output=True, text=True, check=True)
    return out.stdout.split()


def build_files(files):
    """(folder, text without comments) of every CMakeLists.txt."""
    for p in (f for f in files if os.path.basename(f) == 'CMakeLists.txt'):
        with open(p) as f:
            yield os.path.dirname(p), re.sub(r'#.*', '', f.read())


def link_graph(files):
    """Target -> the targets it links (target_link_libraries)."""
    graph = {}
    for _, text in build_files(files):
        for body in re.findall(r'target_link_libraries\s*\(([^)]*)\)', text):
            target, *deps = body.split()
            graph.setdefault(target, set()).update(d for d in deps if d not in NOT_TARGETS)
    return graph


def below(graph, node):
    """Every node reachable from `node`."""
    seen, todo = set(), [node]
    while todo:
        for d in graph.get(todo.pop(), ()):
            if d not in seen:
                seen.add(d)
                todo.append(d)
    return seen


def static_libraries(files):
    """(folder, library, its sources as written) for every add_library(... STATIC ...)."""
    for folder, text in build_files(files):
        for name, sources in re.findall(r'add_library\s*\(\s*(\S+)\s+STATIC\s+([^)]*)\)', text):
            yield folder, name, sources.split()


def test_executables(files):
    """(target, path in the build folder) of every executable that the build
    registers as tests (gtest_discover_tests), in the order the build files
    name them."""
    found = []
    for folder, text in build_files(files):
        for name in re.findall(r'gtest_discover_tests\s*\(\s*(\S+)', text):
            found.append((name, f'{folder}/{name}' if folder else name))
    return found


def tests_covering(files, library):
    """The test executables that link `library`, directly or further down."""
    links = link_graph(files)
    return [t for t in test_executables(files) if library in below(links, t[0])]
