"""Reads a NeXus export back with h5py and silx and compares it with its scan record.

Usage: check_nexus.py RECORD FILE.nxs [SHAPE]   (SHAPE as 2,7,32)
"""

import math
import os
import sys

from record_maps import checks, expected, need, read_record, same

h5py, np, silx_io, nxdata = need("h5py", "numpy", "silx.io", "silx.io.nxdata")

record_path, nexus_path = sys.argv[1], sys.argv[2]
record = read_record(record_path)
shape = (len(record["cycles"]), len(record["z"]), len(record["x"]))
c = checks()
if len(sys.argv) > 3:
    wanted = tuple(int(n) for n in sys.argv[3].split(","))
    c.expect(shape == wanted, f"the record gives the shape {shape}, the test expects {wanted}")

cells = 0
missing = 0
with h5py.File(nexus_path, "r") as f:
    c.expect(f.attrs.get("default") == "entry", "the file's default is not entry")
    entry = f["entry"]
    c.expect(entry.attrs.get("NX_class") == "NXentry", "entry is no NXentry")
    c.expect(entry.attrs.get("default") == "thermal", "the entry's default is not thermal")
    header = record["header"]
    c.expect(entry["title"][()].decode() == os.path.basename(record_path), "title")
    c.expect(entry["start_time"][()].decode() == header["start"], "start_time")
    c.expect(entry["program_name"].attrs.get("version") == header["program_version"], "version")
    for key, value in header["settings"].items():
        c.expect(entry["parameters"][key][()] == value, f"the setting {key}")
    c.expect(entry["parameters"].attrs.get("NX_class") == "NXparameters", "NXparameters")

    for name, signal, units, which in (("thermal", "temperature", "degF", 0),
                                       ("sonic", "distance", "in", 1)):
        group = entry[name]
        c.expect(group.attrs.get("NX_class") == "NXdata", f"{name} is no NXdata")
        c.expect(group.attrs.get("signal") == signal, f"{name}'s signal")
        c.expect(list(group.attrs.get("axes")) == ["cycle", "z", "x"], f"{name}'s axes")
        for i, axis in enumerate(("cycle", "z", "x")):
            c.expect(group.attrs.get(axis + "_indices") == i, f"{name}'s {axis}_indices")
        data = group[signal]
        c.expect(data.shape == shape, f"{name} has shape {data.shape}, not {shape}")
        c.expect(data.dtype == np.float64, f"{name} is {data.dtype}, not float64")
        c.expect(data.attrs.get("units") == units, f"{name}'s units")
        for axis in ("cycle", "z", "x"):
            c.expect(list(group[axis][()]) == record[axis + "s" if axis == "cycle" else axis],
                     f"{name}'s {axis} axis")
        values = data[()]
        if data.shape != shape:
            continue
        for i, cycle in enumerate(record["cycles"]):
            for r, z in enumerate(record["z"]):
                for k, x in enumerate(record["x"]):
                    want = expected(record, cycle, z, x, which)
                    seen = float(values[i, r, k])
                    cells += 1
                    missing += math.isnan(want)
                    c.expect(same(seen, want),
                             f"{name} cycle {cycle} Z {z} X {x}: {seen}, the record {want}")

    table = entry["readings"]
    readings = record["readings"]
    c.expect(table.attrs.get("NX_class") == "NXcollection", "readings is no NXcollection")
    for column in ("cycle", "row", "point", "x", "z", "ms"):
        c.expect(list(table[column][()]) == [r[column] for r in readings], f"readings {column}")
    for column in ("pass", "kind"):
        c.expect([v.decode() for v in table[column][()]] ==
                 [r[column] or "" for r in readings], f"readings {column}")
    for column in ("temperature_f", "distance_in"):
        c.expect(all(same(float(s), math.nan if r[column] is None else r[column])
                     for s, r in zip(table[column][()], readings)) and
                 len(table[column]) == len(readings), f"readings {column}")

default_name = None
with silx_io.open(nexus_path) as f:
    default = nxdata.get_default(f)
    default_name = default.group.name if default is not None else None
    c.expect(default is not None and default.is_valid, "silx finds no valid default NXdata")
    if default is not None:
        c.expect(default.group.name == "/entry/thermal", f"silx's default is {default.group.name}")
        c.expect(default.signal_dataset_name == "temperature", "silx's default signal")
    c.expect(nxdata.is_valid_nxdata(f["entry/sonic"]), "silx finds the sonic NXdata invalid")

c.finish(f"h5py: shape {shape}, {cells} cells equal to the record ({missing} NaN where no "
         f"reading), {len(record['readings'])} readings, {len(record['header']['settings'])} "
         f"settings; silx: default NXdata {default_name} valid")
