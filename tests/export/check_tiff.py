"""Reads a TIFF export back with tifffile and ImageMagick and compares it with its scan record.

Usage: check_tiff.py RECORD FILE.tif CYCLE [SHAPE]   (SHAPE as 7,32)

ImageMagick 6 scales float samples by its quantum:minimum and quantum:maximum options, never by
the file's SMinSampleValue and SMaxSampleValue; they are passed to it from the file's tags.
"""

import json
import math
import os
import shutil
import subprocess
import sys

from record_maps import checks, expected, need, read_record, same

tifffile, np = need("tifffile", "numpy")

record_path, tiff_path, cycle = sys.argv[1], sys.argv[2], int(sys.argv[3])
record = read_record(record_path)
zs, xs = record["z"], record["x"]
c = checks()
if len(sys.argv) > 4:
    wanted = tuple(int(n) for n in sys.argv[4].split(","))
    c.expect((len(zs), len(xs)) == wanted, f"the record gives {len(zs)} x {len(xs)}")


def pitch(positions):
    return (positions[-1] - positions[0]) / (len(positions) - 1) if len(positions) > 1 else 1


def nearest(x, z):
    """The (row, column) of the cell nearest head position (x, z)."""
    return (min(range(len(zs)), key=lambda r: abs(zs[::-1][r] - z)),
            min(range(len(xs)), key=lambda k: abs(xs[k] - x)))


def grey(page, cell, low, high):
    """ImageMagick's grey level (0 to 1) at cell."""
    run = subprocess.run(["identify", "-quiet", "-define", f"quantum:minimum={low!r}",
                          "-define", f"quantum:maximum={high!r}",
                          "-format", f"%[fx:p{{{cell[1]},{cell[0]}}}]", f"{tiff_path}[{page}]"],
                         capture_output=True, text=True, timeout=60)
    return float(run.stdout) if run.returncode == 0 and run.stdout else math.nan


cells = 0
missing = 0
contrast = []
with tifffile.TiffFile(tiff_path) as tif:
    pages = tif.pages
    c.expect(len(pages) == 2, f"{len(pages)} pages, not 2")
    c.expect(tif.is_imagej, "ImageJ finds no description of its own")
    ij = tif.imagej_metadata or {}
    c.expect((ij.get("channels"), ij.get("hyperstack")) == (2, True), "no two-channel hyperstack")
    c.expect(ij.get("Labels") == ["thermal (degF)", "sonic (in)"], f"channels {ij.get('Labels')}")
    c.expect(ij.get("unit") == "position", "the calibration's unit")
    about = json.loads(ij.get("Info", "{}"))
    c.expect([(m["map"], m["units"]) for m in about.get("maps", [])] ==
             [("thermal", "degF"), ("sonic", "in")], "the maps' names and units")
    c.expect(about.get("cycle") == cycle, "the cycle")
    c.expect(about.get("x") == xs, "the column positions")
    c.expect(about.get("z") == zs[::-1], "the row positions, top row the highest Z")
    c.expect(about.get("settings") == record["header"]["settings"], "the settings")
    c.expect(about.get("record") == os.path.basename(record_path), "the record")
    # The calibration puts every column and row on its head position.
    px, pz = pitch(xs), pitch(zs)
    c.expect(all(math.isclose((k - ij.get("xorigin", 0)) * px, x) for k, x in enumerate(xs)) and
             all(math.isclose((ij.get("yorigin", 0) - r) * pz, z)
                 for r, z in enumerate(zs[::-1])), "xorigin and yorigin")
    for i, (page, (name, which)) in enumerate(zip(pages, (("thermal", 0), ("sonic", 1)))):
        tags = page.tags
        image = page.asarray()
        c.expect(image.dtype == np.float32, f"{name} is {image.dtype}, not float32")
        c.expect(image.shape == (len(zs), len(xs)), f"{name} is {image.shape}")
        c.expect(tags["ResolutionUnit"].value == 1, f"{name}'s resolution unit is no NONE")
        for tag, size in (("XResolution", px), ("YResolution", pz)):
            n, d = tags[tag].value
            c.expect(math.isclose(n / d, 1 / size, rel_tol=1e-6), f"{name}'s {tag} {n}/{d}")
        low, high = tags["SMinSampleValue"].value, tags["SMaxSampleValue"].value
        c.expect((low, high) == (np.nanmin(image), np.nanmax(image)), f"{name}'s sample bounds")
        # The simulated scene: a warm, near object at X 210, Z 172 on a cool, far wall.
        cells_seen = [nearest(210, 172), nearest(110, 150)]
        if shutil.which("identify") and not any(np.isnan(image[cell]) for cell in cells_seen):
            warm, wall = (grey(i, cell, low, high) for cell in cells_seen)
            contrast.append(abs(warm - wall))
            c.expect(abs(warm - wall) >= 0.5, f"ImageMagick's {name}: object {warm}, wall {wall}")
        if image.shape != (len(zs), len(xs)):
            continue
        for r, z in enumerate(reversed(zs)):
            for k, x in enumerate(xs):
                want = expected(record, cycle, z, x, which)
                want = math.nan if math.isnan(want) else float(np.float32(want))
                seen = float(image[r, k])
                cells += 1
                missing += math.isnan(want)
                c.expect(same(seen, want), f"{name} Z {z} X {x}: {seen}, the record {want}")

c.finish(f"tifffile: {len(pages)} float32 pages of {len(zs)} x {len(xs)} (cycle {cycle}), "
         f"{cells} cells equal to the record ({missing} NaN where no reading); an ImageJ "
         f"hyperstack of channels {ij.get('Labels')}, pixels {px:g} x {pz:g} "
         f"{ij.get('unit')}s, resolution tags and sample bounds; ImageMagick: object and wall "
         f"{', '.join(f'{d:.2f}' for d in contrast) or 'not checked'} of the grey range apart")
