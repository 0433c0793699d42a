"""Reads a TIFF export back with tifffile and compares it with its scan record.

Usage: check_tiff.py RECORD FILE.tif CYCLE [SHAPE]   (SHAPE as 7,32)
"""

import json
import math
import os
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

cells = 0
missing = 0
with tifffile.TiffFile(tiff_path) as tif:
    pages = tif.pages
    c.expect(len(pages) == 2, f"{len(pages)} pages, not 2")
    for page, (name, units, which) in zip(pages, (("thermal", "degF", 0), ("sonic", "in", 1))):
        image = page.asarray()
        c.expect(image.dtype == np.float32, f"{name} is {image.dtype}, not float32")
        c.expect(image.shape == (len(zs), len(xs)), f"{name} is {image.shape}")
        c.expect(page.samplesperpixel == 1, f"{name} has {page.samplesperpixel} samples")
        about = json.loads(page.description)
        c.expect(about.get("map") == name and about.get("units") == units, f"{name}'s name or units")
        c.expect(about.get("cycle") == cycle, f"{name}'s cycle")
        c.expect(about.get("x") == xs, f"{name}'s column positions")
        c.expect(about.get("z") == zs[::-1], f"{name}'s row positions, top row the highest Z")
        c.expect(about.get("settings") == record["header"]["settings"], f"{name}'s settings")
        c.expect(about.get("record") == os.path.basename(record_path), f"{name}'s record")
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
         f"{cells} cells equal to the record ({missing} NaN where no reading), JSON "
         f"descriptions with {len(xs)} X and {len(zs)} Z positions and the settings")
