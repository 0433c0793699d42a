"""Drives the program as a laboratory's script does, through pyvisa and its pure-Python
backend: identifies it, takes readings, sets a plan, sweeps to the end and reads every
reading back, then compares them with the scan record's JSON lines, line by line.

Usage: pyvisa_session.py PORT ROWS_FILE
Writes the readings' rows, as DATA:READ? sent them, to ROWS_FILE. Exits 0 when everything
agrees, 77 when pyvisa is missing, 1 with one line per difference otherwise.
"""

import json
import math
import re
import sys
import time

try:
    import pyvisa
except ImportError as e:
    print(f"missing Python module pyvisa: {e}")
    sys.exit(77)

port, rows_file = int(sys.argv[1]), sys.argv[2]
problems = []


def expect(ok, what):
    if not ok:
        problems.append(what)
    return ok


rm = pyvisa.ResourceManager("@py")
inst = rm.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET",
                        read_termination="\n", write_termination="\n", timeout=20000)


def no_error(after):
    answer = inst.query("SYST:ERR?")
    expect(answer == '0,"No error"', f"after {after}: {answer}")


# --- Identity and one reading of each kind.
idn = inst.query("*IDN?").split(",")
expect(idn[:3] == ["Brevane", "Simulated Vexilor II", "SIM"] and len(idn) == 4, f"*IDN? {idn}")
temperature = float(inst.query("MEASure:TEMPerature?"))
distance = float(inst.query("meas:dist?"))
expect(0 < temperature < 200 and 0 < distance < 200, f"readings {temperature} F, {distance} in")
no_error("the readings")

# --- A plan as a whole, then single keys; a value out of range changes nothing.
plan = json.loads(inst.query("SWEep:PLAN?"))
expect(plan["format"] == "brevane-plan", f"SWE:PLAN? {plan}")
plan["settings"].update(xmin=120, xmax=180, zmin=150, zmax=170, step=10, repeat=False)
inst.write("SWEep:PLAN " + json.dumps(plan, separators=(",", ":")))
no_error("SWE:PLAN")
inst.write("SWE:STEP 5;:SWE:GAIN 20;:SWE:SON ON;:SWE:TEMP ON")
no_error("the single keys")
inst.write("SWE:XMIN 99")
err = inst.query("SYST:ERR?")
expect(err.startswith("-222,") and "xmin" in err, f"SWE:XMIN 99: {err}")
inst.write("SWE:STEP 4")
expect(inst.query("SYST:ERR?").startswith("-222,"), "SWE:STEP 4 is no step")
expect(inst.query("SWE:XMIN?;XMAX?;ZMIN?;ZMAX?;STEP?;GAIN?;REP?") == "120;180;150;170;5;20;0",
       "the settings read back")
settings = json.loads(inst.query("SWE:PLAN?"))["settings"]
expect(settings["xmin"] == 120 and settings["step"] == 5 and not settings["sonic_off"],
       f"the plan read back: {settings}")

# --- Where the head was sent.
inst.write("POSition 120,150")
expect(inst.query("POS?") == "120,150", "POS? after POS 120,150")
inst.write("POS 256,150")
expect(inst.query("SYST:ERR?").startswith("-222,"), "POS 256,150 is out of range")
expect(inst.query("POS?") == "120,150", "a refused move changes nothing")

# --- A sweep to its end, polled as a script polls.
state_line = re.compile(r"^(IDLE|RUNNING|PAUSED|WAITING),\d+,[012],\d+,\d+,\d+\.\d,-?\d+,(NONE|COMPLETED|CANCELLED|STOPPED|ALARM|HEADLOST|FAILED)$")
# On the same line, the state is asked once the sweep has started and before it can end.
states = [inst.query("SWEep:STARt;:SWEep:STATe?").split(",")[0]]
expect(states[0] == "RUNNING", f"SWE:STAT? right after SWE:STAR: {states[0]}")
no_error("SWE:STAR")
deadline = time.monotonic() + 120
while time.monotonic() < deadline:
    state = inst.query("SWEep:STATe?")
    expect(state_line.match(state), f"SWE:STAT? {state}")
    states.append(state.split(",")[0])
    if states[-1] == "IDLE":
        break
    time.sleep(0.02)
expect(states[-1] == "IDLE", f"the sweep did not end: {states[-3:]}")
expect(inst.query("*OPC?") == "1", "*OPC? after the sweep")

# --- Every reading back, in blocks, and the record beside them.
count = int(inst.query("DATA:COUNt?"))
record_path = inst.query("DATA:RECord?")
expect(record_path.startswith('"') and record_path.endswith('"'), f"DATA:REC? {record_path}")
record_path = record_path[1:-1].replace('""', '"')
rows = b""
for start in range(0, count, 1000):
    rows += inst.query_binary_values(f"DATA:READ? {start},1000", datatype="s", container=bytes)
no_error("DATA:READ?")
with open(rows_file, "wb") as f:
    f.write(rows)
rows = rows.decode("ascii").splitlines()

with open(record_path, encoding="utf-8") as f:
    lines = [json.loads(line) for line in f]
readings = [o for o in lines if o.get("type") == "reading"]
expect(lines[-1].get("type") == "end" and lines[-1].get("how") == "completed",
       f"the record's last line: {lines[-1]}")
expect(len(readings) == count, f"{len(readings)} readings in the record, DATA:COUN? {count}")
expect(len(rows) == count, f"{len(rows)} rows read, DATA:COUN? {count}")
expect(any(r["kind"] == "point" for r in readings), "the record has no point readings")


def same(cell, value):
    if value is None:
        return cell == ""
    if isinstance(value, float) or isinstance(value, int):
        return cell != "" and float(cell) == float(value) and math.isfinite(float(cell))
    return cell == value


columns = ["cycle", "pass", "kind", "row", "point", "x", "z", "temperature_f", "distance_in", "ms"]
for n, (row, reading) in enumerate(zip(rows, readings)):
    cells = row.split(",")
    if not expect(len(cells) == len(columns), f"row {n}: {row}"):
        continue
    for cell, key in zip(cells, columns):
        if not same(cell, reading[key]):
            problems.append(f"row {n}, {key}: {cell!r}, the record {reading[key]!r}")
            break

inst.close()
for p in problems[:20]:
    print(p)
print(f"{count} readings read back; {len(problems)} difference(s)")
sys.exit(1 if problems else 0)
