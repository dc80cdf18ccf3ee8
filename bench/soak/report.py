#!/usr/bin/env python3
"""The soak's figures from what bench/soak/run left in its folder.

  report.py FOLDER MINUTES INTERVAL_MS WAV_MS

FOLDER holds: events (start, pause, resume, stop, exit: epoch ms or code),
soak.tones (scripts/lib/tones.py find, bridging 30 ms), trace (Wine's
+timestamp,+mci trace of the program), clocks (label, wall, CLOCK_MONOTONIC_RAW
ms at each sample) and samples (minute, resident KiB, threads, descriptors,
load average). Can be run again on a kept folder.
"""
import array
import bisect
import math
import os
import re
import subprocess
import sys
import time

# A tone heard later than this after its nearest Play has no Play of its own
# (the program was paused or stopped meanwhile).
MAX_PLAY_TO_HEARD = 2000


def stats(values):  # nearest rank, as bench_support
    if not values:
        return "none"
    v = sorted(values)
    rank = lambda f: v[min(max(math.ceil(f * len(v)), 1), len(v)) - 1]
    return f"median {rank(0.5):.0f}, p99 {rank(0.99):.0f}, max {v[-1]:.0f}, min {v[0]:.0f} ms"


def read_clocks(folder):
    """(label, wall ms, CLOCK_MONOTONIC_RAW ms) read together. The wall clock
    may be stepped meanwhile (a virtual machine's time sync moved it 5.5 s in
    one run); the monotonic clock is not, and it stamps Wine's trace."""
    return [(f[0], float(f[1]), float(f[2]))
            for f in (line.split() for line in open(f"{folder}/clocks"))]


def to_monotonic(clocks, wall):
    """A wall-clock time on the monotonic clock, by the reading nearest it."""
    _, w, c = min(clocks, key=lambda row: abs(row[1] - wall))
    return wall - w + c


def read_events(folder, clocks):
    """Clicks and the exit code; times on the monotonic clock."""
    events = {}
    for line in open(f"{folder}/events"):
        key, value = line.split()
        events[key] = int(value) if key == "exit" else to_monotonic(clocks, int(value))
    return events


RATE = 44100
LOUD = 1024  # as tones.py


def wav_offsets(folder, pieces):
    """Where in the WAV each piece of the recording starts, in samples: the
    offset whose samples match the piece's first ones exactly (the sound path
    here neither resamples nor mixes). None where nothing matches."""
    wav = array.array("h")
    wav.frombytes(open(f"{folder}/tone.wav", "rb").read()[44:])
    t0 = float(open(f"{folder}/soak.raw.t0").read()) * 1000
    offsets = []
    with open(f"{folder}/soak.raw", "rb") as raw:
        for onset in pieces:
            raw.seek(max(round((onset - t0) * RATE / 1000) - 64, 0) * 2)
            data = array.array("h")
            data.frombytes(raw.read(256 * 2))
            first = next((i for i, v in enumerate(data) if abs(v) >= LOUD), None)
            if first is None:
                offsets.append(None)
                continue
            head = data[first:first + 100]
            best = min(range(len(wav) - len(head)),
                       key=lambda o: sum(abs(head[i] - wav[o + i]) for i in range(0, len(head), 4)))
            error = sum(abs(head[i] - wav[best + i]) for i in range(len(head))) / len(head)
            offsets.append(best if error < 64 else None)
    return offsets


def read_tones(folder, interval, wav):
    """Each play heard, as a dict: onset, span (ms), pieces, dropouts. Tones
    found closer than one interval are pieces of one play cut by output
    dropouts when each goes on in the WAV after the one before; a piece that
    starts the WAV again is the start of another play heard (a repeat)."""
    found = [list(map(int, line.split())) for line in open(f"{folder}/soak.tones")]
    clusters = []
    for onset, length, drops in found:
        if clusters and onset - clusters[-1][-1][0] < interval - 20:
            clusters[-1].append((onset, length, drops))
        else:
            clusters.append([(onset, length, drops)])
    have_raw = os.path.exists(f"{folder}/soak.raw") and os.path.exists(f"{folder}/soak.raw.t0")
    tones = []
    for cluster in clusters:
        offsets = wav_offsets(folder, [c[0] for c in cluster]) if len(cluster) > 1 and have_raw else []
        for k, (onset, length, drops) in enumerate(cluster):
            if k == 0:
                again = True
            elif offsets and None not in (offsets[k], offsets[k - 1]):
                again = offsets[k] < offsets[k - 1]
            else:  # no recording to look at: a whole WAV's length is another play
                again = length >= wav - 15
            if again:
                tones.append({"onset": onset, "span": length, "pieces": 1, "drops": drops,
                              "offsets": []})
            else:
                tone = tones[-1]
                tone["span"] = onset + length - tone["onset"]
                tone["pieces"] += 1
                tone["drops"] += drops
            if offsets:
                tones[-1]["offsets"].append(offsets[k])
    return tones


def read_plays(folder):
    """(called, returned) of each MCI_PLAY, on the monotonic clock."""
    plays, calling = [], {}
    pattern = re.compile(r"\s*(\d+)\.(\d{3}):(\w+):trace:mci:mciSendCommand([AW]) (.*)")
    for line in open(f"{folder}/trace", errors="replace"):
        m = pattern.match(line)
        if not m:
            continue
        stamp = int(m.group(1)) * 1000 + int(m.group(2))
        thread, rest = m.group(3), m.group(5)
        if m.group(4) == "A" and ", MCI_PLAY," in rest:
            calling[thread] = stamp
        elif m.group(4) == "W" and rest.startswith("=>") and thread in calling:
            plays.append((calling.pop(thread), stamp))
    return plays


def main(folder, minutes, interval, wav):
    clocks = read_clocks(folder)
    events = read_events(folder, clocks)
    tones = read_tones(folder, interval, wav)
    plays = read_plays(folder)
    # The recording runs on the sound server's clock from the wall time of
    # its first sample: onto the monotonic clock from there.
    t0 = float(open(f"{folder}/soak.raw.t0").read()) * 1000
    shift = to_monotonic(clocks, t0) - t0
    for t in tones:
        t["onset"] += shift
    onsets = [t["onset"] for t in tones]
    start, stop = events["start"], events.get("stop")
    pause, resume = events.get("pause"), events.get("resume")
    paused_ms = resume - pause if pause and resume else 0
    end = stop if stop else onsets[-1]

    def across_pause(a, b):
        return pause is not None and resume is not None and a <= (pause + resume) / 2 <= b

    def gaps(times):  # gap - interval of the ordinary gaps; lost; doubled
        diffs, lost, doubled = [], [], []
        for a, b in zip(times, times[1:]):
            if across_pause(a, b):
                continue
            if b - a < interval - 20:
                doubled.append((a, b))
                continue
            diffs.append(b - a - interval)
            if b - a > 1.5 * interval:
                lost.append((a, b))
        return diffs, lost, doubled

    loads = [line.split()[4:7] for line in open(f"{folder}/samples") if len(line.split()) >= 7]
    wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    began = clocks[0][1] / 1000
    print(f"# {time.strftime('%Y-%m-%dT%H:%MZ', time.gmtime(began))}, {os.cpu_count()} cores,"
          f" {wine}, load (1 min) {min(float(l[0]) for l in loads):.2f}-"
          f"{max(float(l[0]) for l in loads):.2f} at the samples")
    print(f"{minutes} min endless count, {interval} ms interval, {wav} ms WAV, private PulseAudio"
          f" server, one pause at half time ({paused_ms:.0f} ms between the Pause and Resume clicks)")

    counting = end - start - paused_ms
    print(f"counting {counting / 60000:.2f} min (Start to Stop, less the pause):"
          f" {len(onsets)} ends heard, {len(plays)} Play commands made;"
          f" {counting // interval:.0f} whole intervals fit; {counting / max(len(onsets), 1):.1f} ms"
          f" per end heard")

    diffs, lost, doubled = gaps(onsets)
    print(f"heard: gaps over {1.5 * interval:.0f} ms (an end lost or late; the pause apart) {len(lost)};"
          f" doubled (gap under {interval - 20} ms) {len(doubled)}")
    if diffs:
        print(f"heard: gap - interval {stats(diffs)} ({len(diffs)} gaps)")
    cut = [t for t in tones if t["pieces"] > 1]
    print(f"heard: plays cut in pieces by output dropouts over 30 ms {len(cut)}"
          f" (each piece matched to the WAV: {sum(1 for t in cut if None not in t['offsets'])});"
          f" with dropouts of 10-30 ms {sum(1 for t in tones if t['drops'])};"
          f" spanning more than {wav + 40} ms {sum(1 for t in tones if t['span'] > wav + 40)}")
    across = next(((a, b) for a, b in zip(onsets, onsets[1:]) if across_pause(a, b)), None)
    if across:
        print(f"heard: the gap across the pause {across[1] - across[0]:.0f} ms = interval + the time"
              f" between the clicks + {across[1] - across[0] - interval - paused_ms:.0f} ms")

    if plays:
        called = [p[0] for p in plays]
        pdiffs, plost, pdoubled = gaps(called)
        print(f"program: Plays lost {len(plost)}, doubled {len(pdoubled)};"
              f" Play to Play - interval {stats(pdiffs)}")
        print(f"program: the Play command took {stats([p[1] - p[0] for p in plays])}")
        # Each tone to the Play nearest to its onset less the recent Play to
        # heard lag: a Play with no tone was lost on the output path, a tone
        # with none (or a second one) came from it. The lag is learnt as it
        # goes, since the two clocks agree only to some tens of ms, which may
        # put a tone just before its Play. Nothing sounds before the first
        # Play, so the first tone is its own.
        heard_of = [[] for _ in plays]
        orphans, recent = [], []
        if tones and abs(tones[0]["onset"] - called[0]) < interval / 2:
            recent = [tones[0]["onset"] - called[0]]
        for t in tones:
            lag = sorted(recent)[len(recent) // 2] if recent else 0.0
            at = bisect.bisect_left(called, t["onset"] - lag)
            near = [k for k in (at - 1, at) if 0 <= k < len(called)]
            j = min(near, key=lambda k: abs(t["onset"] - lag - called[k]))
            if -interval / 2 < t["onset"] - called[j] <= MAX_PLAY_TO_HEARD:
                heard_of[j].append(t)
                recent = (recent + [t["onset"] - called[j]])[-50:]
            else:
                orphans.append(t)
        pairs = [(c, ts[0]["onset"] - c) for c, ts in zip(called, heard_of) if ts]
        # The recording's sample clock and the monotonic clock drift apart by
        # some ppm: taken out with a line through the medians of 500 plays.
        chunks = [pairs[k:k + 500] for k in range(0, len(pairs), 500)]
        points = [(sum(c for c, _ in ch) / len(ch), sorted(l for _, l in ch)[len(ch) // 2])
                  for ch in chunks if len(ch) >= 50]
        slope, level = 0.0, points[0][1] if points else 0.0
        if len(points) >= 2:
            mx = sum(x for x, _ in points) / len(points)
            my = sum(y for _, y in points) / len(points)
            slope = (sum((x - mx) * (y - my) for x, y in points) /
                     max(sum((x - mx) ** 2 for x, _ in points), 1e-9))
            level = my - slope * (mx - pairs[0][0])
        latency = [l - slope * (c - pairs[0][0]) for c, l in pairs]
        print(f"output path: the clocks drift {slope * 1e6:.0f} ppm; Play call to heard at"
              f" the start {level:.0f} ms (the first sample's time is known to some tens of"
              f" ms: below 0 is that)")
        unheard = [c for c, ts in zip(called, heard_of) if not ts]
        twice = [(c, ts) for c, ts in zip(called, heard_of) if len(ts) > 1]
        print(f"output path: Play call to heard, the drift taken out: {stats(latency)}")
        print(f"output path: Plays not heard {len(unheard)}; heard twice {len(twice)};"
              f" tones without a Play {len(orphans)}")
        call_of = {t["onset"]: c for c, ts in zip(called, heard_of) for t in ts}
        late = [(a, b) for a, b in lost
                if a in call_of and b in call_of and call_of[b] - call_of[a] > 1.5 * interval]
        print(f"heard gaps over {1.5 * interval:.0f} ms whose Plays were as far apart (the program"
              f" late): {len(late)}; the others: played on time, heard late or not at all")
        for c in unheard:
            print(f"  not heard: the Play at +{(c - start) / 1000:.1f} s")
        for c, ts in twice:
            after = ", ".join(f"{t['onset'] - c:.0f}" for t in ts)
            k = called.index(c)
            # The output keeps order: a Play before it never heard came out late.
            before = " (the Play before it was not heard: its sound, late)" if k and not heard_of[k - 1] else ""
            print(f"  heard twice: the Play at +{(c - start) / 1000:.1f} s, heard {after} ms"
                  f" after it{before}")
        for label, items in (("doubled", doubled), ("lost", lost)):
            for a, b in items[:20]:
                near = [round(c - a) for c in called if a - 1000 <= c <= b + 200]
                print(f"  {label}: heard at +{(a - start) / 1000:.1f} s and {b - a} ms later;"
                      f" Play commands at {near} ms from the first")
    for t in [t for t in tones if t["pieces"] > 1][:10]:
        pieces = ", ".join("?" if o is None else f"{o * 1000 / RATE:.1f}" for o in t["offsets"])
        print(f"  cut: at +{(t['onset'] - start) / 1000:.1f} s, {t['pieces']} pieces over"
              f" {t['span']} ms, starting {pieces} ms into the WAV")

    print("minute  resident MiB  threads  descriptors  load average")
    for line in open(f"{folder}/samples"):
        f = line.split()
        if len(f) >= 7:
            print(f"{f[0]:>6}  {int(f[1]) / 1024:12.1f}  {f[2]:>7}  {f[3]:>11}  {' '.join(f[4:7])}")
        else:
            print(f"{f[0]:>6}  the process is gone")
    print(f"Stop reached idle: {'yes' if stop else 'NO'};"
          f" exit code after Quit: {events.get('exit', '?')}")


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(sys.argv[1], *map(int, sys.argv[2:]))
