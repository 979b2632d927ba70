#!/usr/bin/env python3
"""A click track whose gaps all differ, and the samples a recording of it
lost or gained.

  clicks.py make FILE SECONDS    raw s16le stereo 44,100 Hz
  clicks.py count RECORDING      prints clicks=, missing_samples=, extra_samples=

Each click is a short 3 kHz burst; the gaps between clicks (100 to 200 ms)
follow a fixed pseudo-random sequence, so a click found in the recording is
placed in the track by the gaps around it, even where whole clicks were lost.
A gap shorter than the track's is samples missing, a longer one samples
added (silence a starved feeder left)."""
import array
import math
import random
import subprocess
import sys

RATE = 44100
BURST = 64
TOLERANCE = 16  # samples an onset may move in the encoder's frames


def gaps(count):
    rnd = random.Random(26)
    return [rnd.randrange(4410, 8820) for _ in range(count)]


def positions(seconds):
    out, at = [], 2205
    for g in gaps(seconds * 10):
        if at + BURST >= seconds * RATE:
            break
        out.append(at)
        at += g
    return out


def make(path, seconds):
    pcm = array.array("h", bytes(seconds * RATE * 4))
    burst = [int(29000 * math.sin(2 * math.pi * 3000 * n / RATE) *
                 math.sin(math.pi * n / BURST) ** 2) for n in range(BURST)]
    for at in positions(seconds):
        for n, v in enumerate(burst):
            pcm[2 * (at + n)] = v
            pcm[2 * (at + n) + 1] = v
    with open(path, "wb") as f:
        pcm.tofile(f)


def onsets(path):
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-ac", "1", "-ar", str(RATE),
                          "-f", "s16le", "-"], check=True, stdout=subprocess.PIPE).stdout
    pcm = array.array("h", raw)
    found, n, size = [], 0, len(pcm)
    while n < size:
        if abs(pcm[n]) > 8000:
            found.append(n)
            n += 2000  # past this click's burst and its echo
        else:
            n += 1
    return found


def count(path):
    track = positions(3600)
    gap = [b - a for a, b in zip(track, track[1:])]
    got = onsets(path)
    seen = [b - a for a, b in zip(got, got[1:])]
    if len(got) < 6:
        print(f"clicks={len(got)} missing_samples=unknown extra_samples=unknown")
        return 1

    def fits(k, j):  # detected gaps from got[j] on match the track's from click k
        return all(abs(seen[j + m] - gap[k + m]) <= TOLERANCE for m in range(4))

    # The take starts anywhere in the track: its first clicks' gaps say where.
    start = next((k for k in range(len(gap) - 4) if fits(k, 0)), None)
    if start is None:
        print(f"clicks={len(got)} missing_samples=unknown extra_samples=unknown")
        return 1
    missing = extra = 0
    k = start
    for j in range(1, len(got)):
        # The click after a gap is the one whose next gaps match; a gap that
        # has none after it is the next click.
        want = got[j] - got[j - 1]
        cands = range(k + 1, min(k + 40, len(track)))
        best = k + 1
        if j + 4 < len(got):
            best = min(cands, key=lambda c: (0 if fits(c, j) else 1,
                                            abs(track[c] - track[k] - want)))
        delta = want - (track[best] - track[k])
        if delta < -TOLERANCE:
            missing += -delta
        elif delta > TOLERANCE:
            extra += delta
        k = best
    print(f"clicks={len(got)} missing_samples={missing} extra_samples={extra}")
    return 0


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], int(sys.argv[3]))
    else:
        sys.exit(count(sys.argv[2]))
