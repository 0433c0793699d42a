"""The maps a scan record should export, worked out from its JSON lines alone.

Each cycle's cell at a position holds the last reading taken there in that cycle (row starts
and points; the baseline is no map). A position outside every scan limit the record names (the
settings and each raster change) is no cell. Lines that are not JSON are skipped, as the
program skips them.
"""

import json
import math
import sys

SKIP = 77  # the test skips instead of failing when a reader is missing


def need(*modules):
    """Imports the readers, or exits SKIP naming the one missing."""
    found = []
    for name in modules:
        try:
            found.append(__import__(name, fromlist=["_"]))
        except ImportError as e:
            print(f"missing Python module {name}: {e}")
            sys.exit(SKIP)
    return found


def read_record(path):
    lines = []
    with open(path, encoding="utf-8") as f:
        for text in f:
            try:
                lines.append(json.loads(text))
            except ValueError:
                pass
    header = lines[0]
    limits = dict(header["settings"])
    cells = {}
    readings = []
    for o in lines[1:]:
        kind = o.get("type")
        if kind == "end":
            break
        if kind == "raster":
            for key, widen in (("xmin", min), ("zmin", min), ("xmax", max), ("zmax", max)):
                limits[key] = widen(limits[key], o[key])
        elif kind == "reading":
            readings.append(o)
            if o["kind"] != "baseline":
                cells[(o["cycle"], o["z"], o["x"])] = (o["temperature_f"], o["distance_in"])
    last_cycle = max((c for c, _, _ in cells), default=0)

    def on_map(z, x):
        return limits["xmin"] <= x <= limits["xmax"] and limits["zmin"] <= z <= limits["zmax"]

    cells = {k: v for k, v in cells.items() if on_map(k[1], k[2])}
    return {
        "header": header,
        "readings": readings,
        "cells": cells,
        "cycles": list(range(1, last_cycle + 1)),
        "z": sorted({z for _, z, _ in cells}),
        "x": sorted({x for _, _, x in cells}),
    }


def expected(record, cycle, z, x, which):
    """The reading at a cell, NaN when none was taken; which: 0 thermal, 1 sonic."""
    value = record["cells"].get((cycle, z, x), (None, None))[which]
    return math.nan if value is None else value


def same(seen, wanted):
    return (math.isnan(seen) and math.isnan(wanted)) or seen == wanted


class checks:
    """Counts what was checked and collects what failed, for one line of outcome."""

    def __init__(self):
        self.failures = []

    def expect(self, ok, what):
        if not ok:
            self.failures.append(what)

    def finish(self, summary):
        for f in self.failures[:20]:
            print("FAIL:", f)
        if self.failures:
            sys.exit(1)
        print(summary)
