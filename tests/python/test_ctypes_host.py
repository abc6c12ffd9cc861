#!/usr/bin/env python3
"""A host that is not ours: Python drives the link control through ctypes.

Starts corvane-meter-sim on a pseudo-terminal, maps COM 1 to it through
WENDREL_PORTS, opens the line, runs command 3 and reads p03Pv1; the
line's frames reach the host through fw_advise_frames.

usage: test_ctypes_host.py LIBFENWIRE CORVANE_METER_SIM
"""
import ctypes
import os
import subprocess
import sys
import tempfile
import time


class Variant(ctypes.Structure):
    _fields_ = [("vt", ctypes.c_int32), ("i4", ctypes.c_int32), ("r4", ctypes.c_float), ("str", ctypes.c_char_p)]


EVENT_FN = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int32, ctypes.c_int32, ctypes.POINTER(ctypes.c_int16))
FRAME_FN = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int32, ctypes.POINTER(ctypes.c_uint8), ctypes.c_int32,
                            ctypes.c_int32, ctypes.c_int32, ctypes.c_uint32)


def main(library_path, sim_path):
    workdir = tempfile.mkdtemp(prefix="fenwire-py-")
    link = os.path.join(workdir, "com1")
    sim = subprocess.Popen([sim_path, "--pty", link], stdout=subprocess.PIPE, text=True)
    try:
        ready = sim.stdout.readline()
        assert "listening" in ready, "the simulated meter did not start: %r" % ready
        os.environ["WENDREL_PORTS"] = "1=" + link

        lib = ctypes.CDLL(library_path)
        lib.fw_create.restype = ctypes.c_void_p
        lib.fw_create.argtypes = [ctypes.c_char_p]
        lib.fw_release.argtypes = [ctypes.c_void_p]
        lib.fw_get.argtypes = [ctypes.c_void_p, ctypes.c_int32, ctypes.POINTER(Variant)]
        lib.fw_put.argtypes = [ctypes.c_void_p, ctypes.c_int32, ctypes.POINTER(Variant)]
        lib.fw_dispid_of.argtypes = [ctypes.c_char_p]
        lib.fw_advise.argtypes = [ctypes.c_void_p, EVENT_FN, ctypes.c_void_p]
        lib.fw_process_events.argtypes = [ctypes.c_int32]
        lib.fw_advise_frames.argtypes = [ctypes.c_void_p, FRAME_FN, ctypes.c_void_p]

        control = lib.fw_create(b"Fenwire.HartCtrl.1")
        assert control, "fw_create failed"

        def dispid(name):
            d = lib.fw_dispid_of(name.encode())
            assert d != -1, name
            return d

        def put(name, value):
            hr = lib.fw_put(control, dispid(name), ctypes.byref(Variant(3, value, 0.0, None)))
            assert hr == 0, "%s: 0x%08X" % (name, hr & 0xFFFFFFFF)

        def get(name):
            v = Variant()
            hr = lib.fw_get(control, dispid(name), ctypes.byref(v))
            assert hr == 0, "%s: 0x%08X" % (name, hr & 0xFFFFFFFF)
            if v.vt == 4:
                return v.r4
            if v.vt == 8:
                return v.str.decode()
            return v.i4

        results = []

        @EVENT_FN
        def on_event(context, event, argc, args):
            if event == 2:  # Result(iAction, iCommand, iResult)
                results.append((args[0], args[1], args[2]))

        frames = []

        @FRAME_FN
        def on_frame(context, origin, data, count, error, preambles, time_ms):
            line = bytes(data[:count])
            # origin, error, and the command byte of a frame with a long address
            frames.append((origin, error, line[preambles + 6] if len(line) > preambles + 6 else None))

        lib.fw_advise(control, on_event, None)
        lib.fw_advise_frames(control, on_frame, None)
        put("cComPort", 1)
        put("cComState", 1)
        assert get("cComError") == 0, "the line did not open"
        put("cDoCommand", 3)
        deadline = time.monotonic() + 30
        while get("cBusy") != 0 and time.monotonic() < deadline:
            lib.fw_process_events(200)
        assert get("cBusy") == 0, "the transaction never ended"
        assert results[-1] == (0, 3, 1), results
        pv = get("p03Pv1")
        unit = get("p03sPv1Unit")
        assert pv > 0, pv
        assert get("p00sVendor") == "Corvane"
        lib.fw_process_events(0)
        # command 0 by polling address first, then command 3 by long address, each answered
        assert [f[0] for f in frames] == [0, 1, 0, 1], frames
        assert all(f[1] == 0 for f in frames), frames
        assert [f[2] for f in frames[2:]] == [3, 3], frames
        put("cComState", 0)
        lib.fw_advise_frames(control, FRAME_FN(), None)
        lib.fw_release(control)
        print("p03Pv1 = %.3f %s; results %s" % (pv, unit, results))
        print("1 passed, 0 failed")
        return 0
    finally:
        sim.terminate()
        sim.wait(timeout=10)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
