"""Reads a NeXus export back with h5py, silx and Debian's NeXus tools (nxdir, nxsummary) and
compares it with its scan record.

Usage: check_nexus.py RECORD FILE.nxs [SHAPE]   (SHAPE as 2,7,32)
"""

import math
import os
import re
import shutil
import subprocess
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



def is_vlen_text(dtype):
    info = h5py.check_string_dtype(dtype)
    return info is None or (info.length is None and info.encoding == "utf-8")


def check_forms(f):
    """NX_class on every group; every text UTF-8 of variable length and scalar (the NeXus API
    reads no arrays of texts); a code column names its codes."""
    texts = []

    def visit(name, obj):
        if isinstance(obj, h5py.Group):
            c.expect("NX_class" in obj.attrs, f"{name} has no NX_class")
        else:
            info = h5py.check_string_dtype(obj.dtype)
            if info is not None:
                texts.append(name)
                c.expect(info.length is None and info.encoding == "utf-8",
                         f"{name} is a text of fixed length or not UTF-8")
                c.expect(obj.shape == (), f"{name} is an array of texts")
        for key, value in obj.attrs.items():
            c.expect(is_vlen_text(obj.attrs.get_id(key).dtype),
                     f"{name}@{key} is a text of fixed length or not UTF-8")

    f.visititems(visit)
    visit("/", f)
    return texts


def words(dataset):
    names = dataset.attrs["names"].split(",")
    return [names[code] for code in dataset[()]]


cells = 0
missing = 0
with h5py.File(nexus_path, "r") as f:
    text_count = len(check_forms(f))
    c.expect(f.attrs.get("default") == "entry", "the file's default is not entry")
    entry = f["entry"]
    c.expect(entry.attrs.get("NX_class") == "NXentry", "entry is no NXentry")
    c.expect(entry.attrs.get("default") == "thermal", "the entry's default is not thermal")
    header = record["header"]
    c.expect(entry["title"][()].decode() == os.path.basename(record_path), "title")
    c.expect(entry["start_time"][()].decode() == header["start"], "start_time")
    c.expect(entry["program_name"].attrs.get("version") == header["program_version"], "version")
    # A key that is no HDF5 name is kept under an escaped one, its own in the description.
    settings = {d.attrs.get("description", name): d for name, d in entry["parameters"].items()}
    booleans = 0
    for key, value in header["settings"].items():
        if value is None:
            continue
        d = settings.get(key)
        seen = d[()] if d is not None else None
        seen = seen.decode() if isinstance(seen, bytes) else seen
        c.expect(seen == value, f"the setting {key!r}: {seen!r}, the record {value!r}")
        if isinstance(value, bool) and d is not None:
            booleans += 1
            c.expect(d.dtype == np.uint8, f"the setting {key!r} is {d.dtype}, not NX_BOOLEAN (uint8)")
    c.expect(entry["parameters"].attrs.get("NX_class") == "NXparameters", "NXparameters")
    own = entry["brevane"]
    c.expect(own.attrs.get("NX_class") == "NXcollection", "entry/brevane is no NXcollection")
    c.expect(len(own["sweep_end"][()]) > 0, "no sweep_end")
    c.expect(set(entry["instrument"]) <= {"name", "brevane"}, "a field NXinstrument lacks")
    c.expect(set(entry) <= {"title", "start_time", "end_time", "program_name", "brevane",
                            "instrument", "thermal", "sonic", "parameters", "readings",
                            "raster_changes", "interruptions"}, "a field NXentry lacks")

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
        for axis in ("z", "x"):
            c.expect(group[axis].dtype == np.float64, f"{name}'s {axis} is not NX_FLOAT")
            c.expect(group[axis].attrs.get("units") == "1", f"{name}'s {axis} units")
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
        c.expect(words(table[column]) == [r[column] or "" for r in readings], f"readings {column}")
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
        c.expect(default.axes_dataset_names == ["cycle", "z", "x"], "silx's default axes")
        c.expect(default.signal.attrs.get("units") == "degF", "silx's signal units")
        c.expect(default.signal.attrs.get("long_name") == "temperature (\u00b0F)",
                 "silx's signal label")
        labels = [a.attrs.get("long_name") for a in default.axes]
        c.expect(labels == ["cycle", "Z (head position)", "X (head position)"],
                 f"silx's axis labels {labels}")
    c.expect(nxdata.is_valid_nxdata(f["entry/sonic"]), "silx finds the sonic NXdata invalid")

# Debian's nexus-tools: every group and field read, with their attributes.
tools = []
for command in (["nxdir", nexus_path, "-p", "*", "-o"], ["nxsummary", nexus_path]):
    if shutil.which(command[0]) is None:
        continue
    run = subprocess.run(command, capture_output=True, text=True, errors="replace", timeout=60)
    said = run.stdout + run.stderr
    c.expect(run.returncode == 0 and "ERROR" not in said,
             f"{command[0]} exits {run.returncode}: {said[-300:]}")
    tools.append(f"{command[0]} ({said.count(chr(10))} lines)")
if len(tools) < 2:
    print("missing nexus-tools (nxdir, nxsummary)")
    sys.exit(77)


def browse(group):
    """nxbrowse's commands to list and open every group and read every field under group."""
    yield "dir"
    for name, obj in group.items():
        yield from ([f"open {name}", *browse(obj), "close"] if isinstance(obj, h5py.Group)
                    else [f"read {name}"])


# nxbrowse lists a group's attributes with it, and its API reads no array attribute: NXdata's
# axes, an array as the class defines it, is the one line of ERROR it may print.
with h5py.File(nexus_path, "r") as f:
    commands = [*browse(f), "exit"]
run = subprocess.run(["nxbrowse", nexus_path], input="\n".join(commands) + "\n",
                     capture_output=True, text=True, errors="replace", timeout=60)
errors = [line for line in (run.stdout + run.stderr).splitlines() if "ERROR" in line]
read = sum(command.startswith("read ") for command in commands)
c.expect(len(re.findall(r"\(NX_\w+\) =", run.stdout)) == read and
         all("array attribute not understood" in line for line in errors),
         f"nxbrowse: {errors[:3]}, {run.stdout[-300:]}")
tools.append(f"nxbrowse ({read} fields read, {len(errors)} lines on NXdata's array axes)")

c.finish(f"h5py: shape {shape}, {cells} cells equal to the record ({missing} NaN where no "
         f"reading), {len(record['readings'])} readings, {len(record['header']['settings'])} "
         f"settings ({booleans} NX_BOOLEAN as uint8), {text_count} texts all variable-length "
         f"UTF-8; silx: default NXdata {default_name} valid with units and labels; "
         f"{', '.join(tools)}: no other error")
