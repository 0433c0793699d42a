"""Runs the README's pandas recipe as written on a CSV export and compares its maps with the
NeXus export's, cell for cell.

Usage: check_csv_recipe.py README.md RECORD FILE.csv FILE.nxs
"""

import math
import os
import re
import shutil
import sys
import tempfile

from record_maps import checks, need

h5py, np, _ = need("h5py", "numpy", "pandas")

readme, record, table, nexus = sys.argv[1:5]
c = checks()
with open(readme, encoding="utf-8") as f:
    blocks = re.findall(r"^```python\n(.*?)^```", f.read(), re.S | re.M)
recipe = next((b for b in blocks if 'read_csv("scan.csv"' in b), None)
if recipe is None:
    c.expect(False, "the README has no pandas recipe")
    c.finish("")
record_name = re.search(r'^record = "(.*)"$', recipe, re.M).group(1)

here = os.getcwd()
with tempfile.TemporaryDirectory() as folder:
    # The files where the recipe looks for them.
    os.makedirs(os.path.join(folder, os.path.dirname(record_name)), exist_ok=True)
    shutil.copy(record, os.path.join(folder, record_name))
    shutil.copy(table, os.path.join(folder, "scan.csv"))
    os.chdir(folder)
    names = {}
    with open(os.devnull, "w") as quiet:
        stdout, sys.stdout = sys.stdout, quiet
        try:
            exec(compile(recipe, "README.md", "exec"), names)
        finally:
            sys.stdout = stdout
    os.chdir(here)

cells = 0
with h5py.File(nexus, "r") as f:
    for name, signal, frame in (("thermal", "temperature", names["thermal"]),
                                ("sonic", "distance", names["sonic"])):
        grid = f[f"entry/{name}/{signal}"][()]
        zs, xs = list(f[f"entry/{name}/z"][()]), list(f[f"entry/{name}/x"][()])
        for i, cycle in enumerate(f[f"entry/{name}/cycle"][()]):
            mine = frame.loc[cycle]
            c.expect(list(mine.index) == zs and list(mine.columns) == xs,
                     f"{name} cycle {cycle}: {mine.shape}, the NeXus file {grid[i].shape}")
            if mine.shape != grid[i].shape:
                continue
            seen = mine.to_numpy()
            same = (seen == grid[i]) | (np.isnan(seen) & np.isnan(grid[i]))
            cells += same.size
            c.expect(same.all(), f"{name} cycle {cycle}: {int((~same).sum())} cells differ")
shape = names["thermal"].loc[names["thermal"].index[-1][0]].shape
c.finish(f"the README's pandas recipe: maps of {shape[0]} x {shape[1]} per cycle, {cells} cells "
         f"equal to the NeXus file's")
