#!/usr/bin/env python3
"""Checks the include graph of src/: no circle between files, and no room includes a room above it.

Usage: check_includes.py SRC_DIR
"""
import pathlib
import re
import sys

# Each room may include only itself and the rooms listed for it.
ALLOWED = {
    "base": set(),
    "colouring": {"base"},
    "document": {"base"},
    "dialogs": set(),
    "typing": {"base", "colouring"},
    "editor": {"base", "colouring", "typing"},
    "insertion": {"base", "dialogs", "editor"},
    "about": set(),
    "checking": {"base", "colouring"},
    "preview": {"base", "colouring"},
    # The web engine's plugin sees only the pane's interface.
    "webpreview": {"preview"},
    "site": {"base", "colouring", "dialogs", "document", "editor", "typing"},
    "app": {"base", "colouring", "checking", "document", "dialogs", "editor", "insertion", "about", "site", "preview"},
    "tools": {"base", "checking", "colouring", "document"},
}


def main(src: pathlib.Path) -> int:
    include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
    files = {p.relative_to(src).as_posix(): p for p in src.rglob("*") if p.suffix in (".h", ".cpp")}
    graph, problems = {}, []
    for name, path in files.items():
        room = name.split("/")[0] if "/" in name else None
        edges = []
        for target in include.findall(path.read_text(encoding="utf-8")):
            resolved = target if target in files else str(pathlib.PurePosixPath(name).parent / target)
            if resolved not in files:
                continue  # generated headers
            edges.append(resolved)
            other = resolved.split("/")[0]
            if room and other != room and other not in ALLOWED.get(room, set()):
                problems.append(f"{name} includes {resolved}: {room} may not include {other}")
        graph[name] = edges
    # Depth-first search for a circle.
    state = {}

    def visit(node, trail):
        state[node] = 1
        for nxt in graph[node]:
            if state.get(nxt) == 1:
                problems.append("include circle: " + " -> ".join(trail[trail.index(nxt):] + [nxt]))
            elif nxt not in state:
                visit(nxt, trail + [nxt])
        state[node] = 2

    for node in graph:
        if node not in state:
            visit(node, [node])
    for p in problems:
        print(p)
    print(f"{len(graph)} files, {sum(map(len, graph.values()))} includes, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1])))
