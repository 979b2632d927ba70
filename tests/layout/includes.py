#!/usr/bin/env python3
"""Checks the layers of the source tree, drawn from its own includes:

    platform/  <  recorder/, convert/  <  controls/  <  ui/  <  app/

A file may include headers of its own folder and of the layers below it:
never a layer above, nor the other engine beside it. Nor may files include
each other round in a circle: a file and its header are one unit, and no
unit may reach itself again through the units it includes.

    includes.py SOURCE_DIR
"""
import os
import re
import sys

LAYERS = {"platform": 0, "recorder": 1, "convert": 1, "controls": 2, "ui": 3, "app": 4}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def main(src):
    units = {}  # "ui/CorvaneDlg" -> set of included units
    bad = []
    files = 0
    for top in LAYERS:
        for root, _, names in os.walk(os.path.join(src, top)):
            for name in sorted(names):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(root, name)
                rel = os.path.relpath(path, src)
                unit = os.path.splitext(rel)[0]
                deps = units.setdefault(unit, set())
                files += 1
                with open(path, encoding="utf-8") as f:
                    text = f.read()
                for inc in INCLUDE.findall(text):
                    folder = inc.split("/", 1)[0]
                    if folder not in LAYERS:
                        continue  # a header beside it, or a system one
                    if LAYERS[folder] > LAYERS[top]:
                        bad.append(f"{rel}: includes {inc}, a layer above {top}/")
                    elif LAYERS[folder] == LAYERS[top] and folder != top:
                        bad.append(f"{rel}: includes {inc}, beside {top}/ (the engines are apart)")
                    dep = os.path.splitext(inc)[0]
                    if dep != unit:
                        deps.add(dep)
    for circle in circles(units):
        bad.append("units that include each other in a circle: " + ", ".join(circle))
    for line in bad:
        print("FAIL: " + line, file=sys.stderr)
    if bad:
        return 1
    print(f"ok: {files} files in {len(units)} units; no include reaches up or sideways; no circle")
    return 0


def circles(graph):
    """The strongly connected parts of more than one unit (Tarjan)."""
    index, low, on, stack, out = {}, {}, set(), [], []
    counter = [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on.add(v)
        for w in sorted(graph.get(v, ())):
            if w not in graph:
                continue
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
                out.append(sorted(part))

    sys.setrecursionlimit(10000)
    for v in sorted(graph):
        if v not in index:
            visit(v)
    return out


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
