#!/usr/bin/env python3
"""Records a sound server's sink and finds the tones in the recording.

  tones.py record RAW SOURCE   records SOURCE (e.g. cap.monitor) into RAW until
                               SIGTERM; writes RAW.ready once sound arrives and
                               RAW.t0, the wall-clock time of the first sample
  tones.py wait RAW N LOUD MS  while RAW is recorded: waits at most MS until N
                               tones have begun in it and its last 20 ms are
                               loud (LOUD 1) or quiet (0); exit code 0 if so
  tones.py find RAW [BRIDGE]   one line per tone: onset, length (ms) and the
                               number of dropouts (quiet spans of 10 ms up to
                               BRIDGE inside it); onsets in wall-clock ms
                               (epoch) when RAW.t0 exists

Recording: s16le, 44.1 kHz, mono. The stream starts some hundreds of ms after
parec does, so each sample's wall-clock time comes from when the data arrived:
sample 0 lies at most min(arrival - samples before it / rate) in the past.
A tone: samples above 1/32 of full scale, with quiet spans shorter than
BRIDGE ms (default 150) taken as part of it: a sine is near zero for a moment
every half period, and on a busy machine the output path may drop out for up
to some tens of ms mid-tone (a glitch of the machine, not a new tone). Tones
of a test lie over 200 ms apart.
"""
import array
import os
import signal
import subprocess
import sys
import time

RATE = 44100
THRESHOLD = 1024
BLOCK = RATE // 1000  # about 1 ms
DROPOUT = RATE // 100  # 10 ms


def record(raw, source):
    parec = subprocess.Popen(
        ["parec", "-d", source, "--raw", "--format=s16le", f"--rate={RATE}",
         "--channels=1", "--latency-msec=10"], stdout=subprocess.PIPE)
    signal.signal(signal.SIGTERM, lambda *_: parec.send_signal(signal.SIGINT))
    samples, t0 = 0, None
    with open(raw, "wb") as out:
        while True:
            chunk = os.read(parec.stdout.fileno(), 8192)
            if not chunk:
                break
            now = time.time()
            out.write(chunk)
            if t0 is None:
                open(raw + ".ready", "w").close()
            samples += len(chunk) // 2
            start = now - samples / RATE
            t0 = start if t0 is None else min(t0, start)
    if t0 is not None:
        with open(raw + ".t0", "w") as f:
            f.write(f"{t0:.4f}\n")
    parec.wait()
    return 0 if t0 is not None else 1


def load(raw):
    data = array.array("h")
    with open(raw, "rb") as f:
        raw_bytes = f.read()
    data.frombytes(raw_bytes[:len(raw_bytes) // 2 * 2])  # a sample may be half written
    return data


def spans(data, bridge):
    tones, start, end, drops = [], None, None, 0
    for b in range(0, len(data), BLOCK):
        block = data[b:b + BLOCK]
        if max(block, default=0) < THRESHOLD and -min(block, default=0) < THRESHOLD:
            continue
        loud = [i for i, v in enumerate(block) if abs(v) >= THRESHOLD]
        first, last = b + loud[0], b + loud[-1]
        if start is not None and first - end > bridge:
            tones.append((start, end, drops))
            start = None
        if start is None:
            start, drops = first, 0
        elif first - end > DROPOUT:
            drops += 1
        end = last
    if start is not None:
        tones.append((start, end, drops))
    return tones


def wait(raw, want, loud_wanted, ms):
    deadline = time.monotonic() + ms / 1000
    bridge = RATE * 150 // 1000
    data, pending, done, begun, end = array.array("h"), b"", 0, 0, None
    with open(raw, "rb") as f:
        while True:
            pending += f.read()
            whole = len(pending) // 2 * 2  # a sample may be half written
            data.frombytes(pending[:whole])
            pending = pending[whole:]
            for b in range(done, len(data) - BLOCK + 1, BLOCK):
                block = data[b:b + BLOCK]
                if max(block) >= THRESHOLD or -min(block) >= THRESHOLD:
                    if end is None or b - end > bridge:
                        begun += 1
                    end = b + BLOCK
                done = b + BLOCK
            tail = data[-RATE // 50:]
            loud = max(tail, default=0) >= THRESHOLD or -min(tail, default=0) >= THRESHOLD
            if begun >= want and int(loud) == loud_wanted:
                return 0
            if time.monotonic() >= deadline:
                return 1
            time.sleep(0.02)


def find(raw, bridge_ms):
    data = load(raw)
    t0 = 0.0
    if os.path.exists(raw + ".t0"):
        t0 = float(open(raw + ".t0").read())
    for s, e, d in spans(data, RATE * bridge_ms // 1000):
        print(round(t0 * 1000 + s * 1000 / RATE), round((e + 1 - s) * 1000 / RATE), d)


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "record":
        sys.exit(record(sys.argv[2], sys.argv[3]))
    if len(sys.argv) == 6 and sys.argv[1] == "wait":
        sys.exit(wait(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])))
    if len(sys.argv) in (3, 4) and sys.argv[1] == "find":
        find(sys.argv[2], int(sys.argv[3]) if len(sys.argv) == 4 else 150)
        sys.exit(0)
    sys.exit(__doc__)
