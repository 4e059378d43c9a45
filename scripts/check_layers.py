#!/usr/bin/env python3
"""Fails when a source file includes a header of a higher layer.

The layers, bottom to top: platform, core, store, managers, location, schedule, ui, app. A folder
may include its own layer and the layers below it. platform/ proper knows none of its backends
(platform/sim/, ...); a backend knows only platform/. Nothing below ui/ includes Qt headers (the
window system) or links Qt6::Widgets. Programs, tools, the dialog library, tests and benchmarks
stand above every layer.
"""
import os
import re
import sys

LAYERS = ["platform", "core", "store", "managers", "location", "schedule", "ui", "app"]
RANK = {name: i for i, name in enumerate(LAYERS)}
BACKENDS = ["sim", "linux"]
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
# Qt modules a layer below the window may still use (the system bus of a Linux backend).
ALLOWED_QT = ("QDBus", "QtDBus")
# The Linux backend runs its own bus thread and reads the bus's values: Qt's core classes too.
ALLOWED_QT_LINUX = ALLOWED_QT + ("QObject", "QThread", "QCoreApplication", "QMetaObject", "QVariant",
                                 "QString", "QByteArray", "QList", "QMap", "QTimer", "QPointer",
                                 "QDateTime", "QSocketNotifier", "QEventLoop", "QtCore")


def layer_of(path):
    parts = path.split("/")
    if parts[0] not in RANK:
        return None, None
    backend = parts[1] if parts[0] == "platform" and len(parts) > 2 and parts[1] in BACKENDS else None
    return parts[0], backend


def check(root):
    problems = []
    for folder in LAYERS:
        for dirpath, _, files in os.walk(os.path.join(root, folder)):
            for name in files:
                full = os.path.join(dirpath, name)
                rel = os.path.relpath(full, root).replace(os.sep, "/")
                if name == "CMakeLists.txt":
                    if RANK[folder] < RANK["ui"] and "Qt6::Widgets" in open(full, encoding="utf-8").read():
                        problems.append(f"{rel}: links Qt6::Widgets below ui/")
                    continue
                if not name.endswith((".h", ".cpp")):
                    continue
                layer, backend = layer_of(rel)
                with open(full, encoding="utf-8") as source:
                    for number, line in enumerate(source, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        kind, target = m.groups()
                        where = f"{rel}:{number}: includes {target}"
                        if kind == "<":
                            allowed = ALLOWED_QT_LINUX if backend == "linux" else ALLOWED_QT
                            if target.startswith("Q") and RANK[layer] < RANK["ui"] and not target.startswith(allowed):
                                problems.append(f"{where} (Qt below ui/)")
                            continue
                        t_layer, t_backend = layer_of(target)
                        if t_layer is None:
                            continue
                        if RANK[t_layer] > RANK[layer]:
                            problems.append(f"{where} (a higher layer)")
                        elif layer == "platform" and t_backend and t_backend != backend:
                            problems.append(f"{where} (a platform backend)")
    return problems


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    problems = check(os.path.abspath(root))
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} include(s) break the layer order", file=sys.stderr)
        return 1
    print("layer order kept")
    return 0


if __name__ == "__main__":
    sys.exit(main())
