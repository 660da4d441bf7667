#!/usr/bin/env python3
"""Measurements for the end-to-end tests of the Windows program: pixels of screenshots
(read through ImageMagick as PPM) and samples of the audio that Wine played into a file.

  check.py coloured PNG X Y W H             pixels of the area that are coloured and lit
  check.py differ A.png B.png X Y W H       pixels of the area that differ between A and B
  check.py same-as PNG X Y W H PICTURE TOL  compares the area with PICTURE scaled to W x H
                                            (nearest pixel); prints the share of pixels
                                            further than TOL from it, per channel
  check.py audio RAW RATE CHANNELS TIMELINE TRACE
                                            checks that audio (signed 16-bit) sounds at
                                            the show's sound events and is silent before
                                            the first one and in every long gap
Each prints its measurement; 'audio' exits 1 with the reasons when the rule fails.
"""
import subprocess
import sys


def read_ppm(path, geometry=None, resize=None):
    command = ["convert", path]
    if geometry:
        command += ["-crop", geometry, "+repage"]
    if resize:
        command += ["-sample", resize + "!"]
    command += ["-depth", "8", "ppm:-"]
    data = subprocess.run(command, check=True, capture_output=True).stdout
    # P6 header: magic, width, height, maximum, each followed by white space.
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        start = at
        while not data[at:at + 1].isspace():
            at += 1
        fields.append(data[start:at])
    width, height = int(fields[1]), int(fields[2])
    pixels = data[at + 1:at + 1 + width * height * 3]
    return width, height, pixels


def geometry(args):
    x, y, w, h = (int(v) for v in args)
    return "%dx%d+%d+%d" % (w, h, x, y)


def coloured(args):
    _, _, pixels = read_ppm(args[0], geometry(args[1:5]))
    count = 0
    for i in range(0, len(pixels), 3):
        r, g, b = pixels[i], pixels[i + 1], pixels[i + 2]
        high, low = max(r, g, b), min(r, g, b)
        if high >= 60 and high - low >= 40:
            count += 1
    print(count)


def differ(args):
    area = geometry(args[2:6])
    _, _, a = read_ppm(args[0], area)
    _, _, b = read_ppm(args[1], area)
    count = sum(1 for i in range(0, min(len(a), len(b)), 3) if a[i:i + 3] != b[i:i + 3])
    print(count)


def same_as(args):
    x, y, w, h = (int(v) for v in args[1:5])
    tolerance = int(args[6])
    _, _, shot = read_ppm(args[0], geometry(args[1:5]))
    _, _, picture = read_ppm(args[5], resize="%dx%d" % (w, h))
    far = 0
    for i in range(0, len(shot), 3):
        if max(abs(shot[i + c] - picture[i + c]) for c in range(3)) > tolerance:
            far += 1
    print("%.4f" % (far / (w * h)))


def audio(args):
    path, rate, channels, timeline_path, trace_path = args[0], int(args[1]), int(args[2]), args[3], args[4]
    raw = open(path, "rb").read()
    frame_bytes = 2 * channels
    frames = len(raw) // frame_bytes
    block = rate // 100  # 10 ms
    peaks = []
    samples = memoryview(raw[:frames * frame_bytes]).cast("h")
    for start in range(0, frames - block + 1, block):
        chunk = samples[start * channels:(start + block) * channels]
        peaks.append(max(max(chunk), -min(chunk)))

    # The timeline: "seconds ticks bytes" samples taken while the saver ran, mapping the
    # show's ticks to wall time and wall time to the audio file's length.
    timeline = [tuple(float(v) for v in line.split()) for line in open(timeline_path) if line.strip()]

    def interpolate(points, value):
        for (a0, a1), (b0, b1) in zip(points, points[1:]):
            if a0 <= value <= b0 and b0 > a0:
                return a1 + (b1 - a1) * (value - a0) / (b0 - a0)
        return None

    # The first sample at which a tick count was reached, so flat stretches (ticks not yet
    # written) map to their start.
    tick_points, seen = [], -1
    for seconds, ticks, _ in timeline:
        if ticks > seen:
            tick_points.append((ticks, seconds))
            seen = ticks
    byte_points = [(seconds, size) for seconds, _, size in timeline]

    lengths = {0: 0.40, 1: 0.40, 2: 0.40, 3: 0.86, 4: 0.86, 5: 2.09}
    events, tick = [], 0
    for line in open(trace_path):
        if line.startswith("tick "):
            tick = int(line.split()[1])
        elif line.startswith("sound "):
            events.append((tick + 1, int(line.split()[1])))

    def block_at(tick_number):
        seconds = interpolate(tick_points, tick_number)
        if seconds is None:
            return None
        size = interpolate(byte_points, seconds)
        if size is None:
            return None
        return int(size / frame_bytes / block)

    # Only audio written while the timeline was taken can be placed against the show.
    known = min(len(peaks), int(byte_points[-1][1] / frame_bytes / block) if byte_points else 0)
    loud, quiet = 1000, 60
    problems, checked, silent = [], 0, 0
    placed = [(block_at(t), sound) for t, sound in events]
    placed = [(b, s) for b, s in placed if b is not None and b < known]
    if not placed:
        problems.append("no sound event fell within the recorded audio")
    # Wine's mixer may write audio faster than real time into a file that nothing plays,
    # so the 50 ms sampling of the timeline blurs the moment by more than that in the
    # file: sound is required within 300 ms before to 400 ms after the placed moment.
    for b, sound in placed:
        window = peaks[max(0, b - 30):b + 40]
        checked += 1
        if not window or max(window) < loud:
            problems.append("silent at a sound %d event (block %d, peak %d)" % (sound, b, max(window or [0])))
    # Silence where nothing was asked for: before the first event, and in the gaps after a
    # sound's length has passed, with 400 ms of slack each side.
    if placed:
        first = placed[0][0]
        before = peaks[:max(0, first - 40)]
        silent += len(before)
        if before and max(before) > quiet:
            problems.append("sound before the first event (peak %d)" % max(before))
        end = 0
        for (b, sound), following in zip(placed, placed[1:] + [(known, None)]):
            end = max(end, b + int(lengths[sound] * 100) + 40)
            gap = peaks[end:max(end, following[0] - 40)]
            if len(gap) >= 20:
                silent += len(gap)
            if len(gap) >= 20 and max(gap) > quiet:
                problems.append("sound in a gap without events (blocks %d-%d, peak %d)"
                                % (end, following[0] - 40, max(gap)))
    print("audio: %d frames, %d placed against the show, %d events heard, %d ms of gaps"
          " silent, loudest %d" % (frames, known * block, checked, silent * 10, max(peaks or [0])))
    for problem in problems[:10]:
        print("  " + problem)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    commands = {"coloured": coloured, "differ": differ, "same-as": same_as, "audio": audio}
    if len(sys.argv) < 2 or sys.argv[1] not in commands:
        print(__doc__)
        sys.exit(2)
    commands[sys.argv[1]](sys.argv[2:])
