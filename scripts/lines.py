#!/usr/bin/env python3
"""Counts the tree's lines of code and of tests: tracked source lines that are
neither blank nor comments (C++, CMake, shell and Python), by top folder.
With --base REV, also the lines added and removed since that commit."""
import argparse
import subprocess
import sys

SOURCES = ('.cpp', '.h', '.cmake', '.txt', '.sh', '.py', '.rc', '.def')


def is_source(path):
    return path.endswith(SOURCES) and not path.startswith('tests/fuzz/corpus')


def is_code_line(line, in_block):
    s = line.strip()
    if in_block:
        return False, '*/' not in s
    if not s or s.startswith('//') or s.startswith('#!'):
        return False, False
    if s.startswith('/*'):
        return False, '*/' not in s
    if s.startswith('#') and not s.startswith(('#include', '#define', '#if', '#pragma',
                                               '#endif', '#else', '#elif', '#undef', '#error')):
        return False, False
    return True, False


def count(text, python=False):
    n, block, docstring = 0, False, False
    for line in text.splitlines():
        if python and (docstring or line.strip().startswith('"""')):
            # A docstring is documentation, as a comment is.
            quotes = line.count('"""')
            docstring = docstring != (quotes % 2 == 1)
            continue
        code, block = is_code_line(line, block)
        n += code
    return n


def files_at(rev):
    out = subprocess.run(['git', 'ls-tree', '-r', '--name-only', rev], capture_output=True,
                         text=True, check=True).stdout
    return [p for p in out.split('\n') if p and is_source(p)]


def tally(rev):
    kinds = {'code': 0, 'tests': 0}
    folders = {}
    for path in files_at(rev):
        text = subprocess.run(['git', 'show', f'{rev}:{path}'], capture_output=True,
                              text=True, errors='replace').stdout
        n = count(text, path.endswith('.py'))
        kind = 'tests' if path.startswith('tests/') else 'code'
        kinds[kind] += n
        top = path.split('/')[0] if '/' in path else '.'
        folders[top] = folders.get(top, 0) + n
    return kinds, folders


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument('rev', nargs='?', default='HEAD', help='commit to count (default HEAD)')
    ap.add_argument('--base', help='commit to compare with')
    args = ap.parse_args()
    kinds, folders = tally(args.rev)
    for top in sorted(folders):
        print(f'{top:12} {folders[top]:6}')
    print(f'code  {kinds["code"]:6}   tests {kinds["tests"]:6}')
    if args.base:
        base, _ = tally(args.base)
        for kind in ('code', 'tests'):
            print(f'{kind:5} {base[kind]:6} -> {kinds[kind]:6} ({kinds[kind] - base[kind]:+d})')


if __name__ == '__main__':
    sys.exit(main())
