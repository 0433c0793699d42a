"""Drives a service started in its reset state (--no-window, --listen-idle 2) the way a
laboratory scripts a bench instrument, through pyvisa with its pure-Python backend and through
lxi-tools' `lxi`, which opens one connection per command:

- a script that sets only the limits sweeps once and ends;
- *RST puts Repeat back off;
- *OPC? then ABORt on one connection both answer, each within a second;
- *ESE 1;*OPC, then *ESR? after the sweep answers 1;
- a bad command from one `lxi` call is read by the next call's SYST:ERR?;
- SWE:GAIN MAX, then SWE:GAIN? answers the top of the range;
- eight silent connections do not keep a ninth client out once they have idled past the limit.

Usage: bench_instrument_session.py PORT
Exits 0 when everything holds, 77 when pyvisa or lxi is missing, 1 with one line per
difference otherwise.
"""

import shutil
import socket
import subprocess
import sys
import time

try:
    import pyvisa
except ImportError as e:
    print(f"missing Python module pyvisa: {e}")
    sys.exit(77)
if shutil.which("lxi") is None:
    print("missing lxi (Debian's lxi-tools)")
    sys.exit(77)

port = int(sys.argv[1])
problems = []


def expect(ok, what):
    if not ok:
        problems.append(what)
    return ok


rm = pyvisa.ResourceManager("@py")


def connect(timeout_ms=20000):
    return rm.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET", read_termination="\n",
                            write_termination="\n", timeout=timeout_ms)


def wait_idle(inst):
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        state = inst.query("SWE:STAT?")
        if state.startswith("IDLE"):
            return state
        time.sleep(0.05)
    return inst.query("SWE:STAT?")


def lxi(command):
    done = subprocess.run(["lxi", "scpi", "-r", "-a", "127.0.0.1", "-p", str(port), command],
                          capture_output=True, text=True, timeout=20)
    return done.stdout.strip()


inst = connect()

# --- The reset state: a script that sets only the limits sweeps once and ends.
expect(inst.query("SWE:REP?;CYCL?") == "0;1", "a service does not start in the reset state")
inst.write("SWE:XMIN 120;XMAX 200;ZMIN 150;ZMAX 180")
inst.write("SWE:STAR")
state = wait_idle(inst).split(",")
expect(state[0] == "IDLE" and state[1] == "1" and state[-1] == "COMPLETED",
       f"the limits-only sweep ended as {state}")
expect(inst.query("SYST:ERR?") == '0,"No error"', "an error after the limits-only sweep")

# --- *RST then SWE:REP? answers 0.
inst.write("SWE:REP ON;CYCL INF")
expect(inst.query("*RST;SWE:REP?") == "0", "*RST left Repeat on")

# --- Repeat without a count is refused with the reason.
inst.write("SWE:REP ON;STAR")
error = inst.query("SYST:ERR?")
expect(error.startswith("-200,") and "SWEep:CYCLes" in error, f"Repeat without a count: {error}")

# --- *OPC? then ABORt on one connection: both answer within a second.
inst.write("SWE:CYCL INF;STAR")
expect(inst.query("SWE:STAT?").startswith("RUNNING"), "the endless sweep did not start")
quick = connect(timeout_ms=1000)
try:
    quick.write("*OPC?")
    quick.write("ABOR;SWE:STAT?")
    expect(quick.read() == "1", "*OPC? did not answer 1")
    ended = quick.read().split(",")
    expect(ended[0] == "IDLE" and ended[-1] == "CANCELLED", f"ABOR;SWE:STAT? gave {ended}")
except pyvisa.errors.VisaIOError as e:
    problems.append(f"*OPC? then ABOR did not answer within a second: {e}")
quick.close()

# --- *ESE 1;*OPC, then *ESR? after the sweep answers 1.
inst.write("*RST;*CLS")
inst.write("SWE:STAR;*ESE 1;*OPC")
wait_idle(inst)
expect(inst.query("*ESR?") == "1", "*ESR? after *OPC and the sweep")
expect(int(inst.query("*STB?")) & 32 == 0, "ESB stayed set after *ESR? was read")

# --- One error queue: lxi's next call reads the error of its previous one.
lxi("SWE:NOSUCH")
expect(lxi("SYST:ERR?").startswith("-113,"), "the next lxi call did not read the error")
lxi("SWE:GAIN MAX")
expect(lxi("SWE:GAIN?") == "40", "SWE:GAIN MAX did not set the top of the range")
expect(inst.query("SWE:GAIN? MIN;GAIN? DEF") == "1;10", "SWE:GAIN? MIN;DEF")
inst.close()

# --- Eight silent connections do not keep a ninth client out once idle past the limit.
silent = [socket.create_connection(("127.0.0.1", port)) for _ in range(8)]
time.sleep(3)  # past the service's --listen-idle 2
told = b""
silent[0].settimeout(5)
try:
    told = silent[0].recv(200)
except OSError:
    pass
expect(b"idle for more than 2 s" in told, f"a silent client was told {told!r}")
ninth = connect()
expect(ninth.query("*IDN?").startswith("Brevane,"), "the ninth client was kept out")
ninth.close()
for s in silent:
    s.close()

for p in problems:
    print(p)
sys.exit(1 if problems else 0)
