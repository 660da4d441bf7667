#!/usr/bin/env python3
"""Measurements for the end-to-end tests of the Windows program: pixels of screenshots
(read through ImageMagick as PPM) and samples of the audio that Wine played into a file.

  check.py coloured PNG X Y W H             pixels of the area that are coloured and lit
  check.py red PNG X Y W H                  pixels of the area that are clearly red
  check.py share PNG X Y W H RRGGBB TOL     share of the area's pixels within TOL of the
                                            colour RRGGBB, per channel
  check.py differ A.png B.png X Y W H       pixels of the area that differ between A and B
  check.py same-as PNG X Y W H PICTURE TOL  compares the area with PICTURE scaled to W x H
                                            (nearest pixel); prints the share of pixels
                                            further than TOL from it, per channel
  check.py timeline TRACE AUDIO TICKS SECONDS OUT
                                            every 10 ms until the saver's TRACE holds
                                            tick TICKS (at most SECONDS), writes to OUT
                                            the time, its last tick and the size of the
                                            AUDIO file, the last two read at one moment
  check.py send-at TRACE TICK SECONDS COMMAND...
                                            runs COMMAND as soon as the saver's TRACE
                                            holds tick TICK (waiting at most SECONDS)
                                            and prints the Unix time it returned
  check.py taken TIMELINE SECONDS           tells whether input sent at SECONDS (Unix
                                            time) was taken within 1 s of the saver's
                                            first tick, by the ticks that followed it
  check.py audio RAW RATE CHANNELS TIMELINE TRACE
                                            checks that audio (signed 16-bit) sounds at
                                            the show's sound events and is silent before
                                            the first one and in every long gap
Each prints its measurement; 'audio' exits 1 with the reasons when the rule fails.
"""
import os
import subprocess
import sys
import time


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


def red(args):
    _, _, pixels = read_ppm(args[0], geometry(args[1:5]))
    print(sum(1 for i in range(0, len(pixels), 3)
              if pixels[i] >= 128 and 2 * max(pixels[i + 1], pixels[i + 2]) <= pixels[i]))


def share(args):
    _, _, pixels = read_ppm(args[0], geometry(args[1:5]))
    colour = bytes.fromhex(args[5])
    tolerance = int(args[6])
    near = sum(1 for i in range(0, len(pixels), 3)
               if max(abs(pixels[i + c] - colour[c]) for c in range(3)) <= tolerance)
    print("%.4f" % (near / max(1, len(pixels) // 3)))


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


def last_tick(path):
    """The number of the last whole tick line of a trace, or 0."""
    try:
        with open(path, "rb") as trace:
            trace.seek(0, os.SEEK_END)
            trace.seek(max(0, trace.tell() - 8192))
            tail = trace.read()
    except OSError:
        return 0
    lines = tail.split(b"\n")[:-1]  # the last piece may be a line still being written
    for line in reversed(lines):
        if line.startswith(b"tick "):
            return int(line.split()[1])
    return 0


def file_size(path):
    try:
        return os.stat(path).st_size
    except OSError:
        return 0


def timeline(args):
    # The show's tick is the program's own clock: each sample pairs the audio written so
    # far with the last tick written, read while that tick was the last one (the same tick
    # before and after), however late the sample itself comes.
    trace_path, audio_path, ticks, seconds, out_path = args[0], args[1], int(args[2]), float(args[3]), args[4]
    end = time.monotonic() + seconds
    tick = 0
    with open(out_path, "w") as out:
        while tick < ticks and time.monotonic() < end:
            tick = last_tick(trace_path)
            size = file_size(audio_path)
            if last_tick(trace_path) == tick:
                out.write("%.3f %d %d\n" % (time.time(), tick, size))
                out.flush()
            time.sleep(0.01)


def send_at(args):
    trace_path, wanted, seconds, command = args[0], int(args[1]), float(args[2]), args[3:]
    end = time.monotonic() + seconds
    while last_tick(trace_path) < wanted:
        if time.monotonic() >= end:
            sys.exit(1)
        time.sleep(0.005)
    subprocess.run(command, check=True)
    print("%.3f" % time.time())


def taken(args):
    # The saver takes its input at the start of a pass, before that pass's ticks, and a
    # pass runs at most two ticks: once the trace holds three ticks more than when the
    # input was sent, the input has been taken. Its first tick comes right after the
    # saver's grace period starts.
    rows = [line.split() for line in open(args[0]) if line.strip()]
    rows = [(float(t), int(tick)) for t, tick, _ in rows]
    sent = float(args[1])
    first = next((t for t, tick in rows if tick >= 1), None)
    before = [tick for t, tick in rows if t <= sent]
    if first is None or not before:
        print("the timeline does not reach back to the saver's start")
        sys.exit(1)
    after = next((t for t, tick in rows if tick >= before[-1] + 3), None)
    if after is None:
        print("sent %.2f s after the first tick; no pass came after it" % (sent - first))
        sys.exit(1)
    print("sent %.2f s after the first tick, taken within %.2f s of it" % (sent - first, after - first))
    sys.exit(0 if after - first < 1.0 else 1)


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

    # The timeline: "tick bytes" samples taken from before the show started.
    timeline = [(int(tick), int(size)) for _, tick, size in
                (line.split() for line in open(timeline_path) if line.strip())]

    lengths = {0: 0.40, 1: 0.40, 2: 0.40, 3: 0.86, 4: 0.86, 5: 2.09}
    # A sound line comes before the line of the tick that raised it.
    events, tick = [], 0
    for line in open(trace_path):
        if line.startswith("tick "):
            tick = int(line.split()[1])
        elif line.startswith("sound "):
            events.append((tick + 1, int(line.split()[1])))

    def window_of(tick_number):
        # The sound of tick T was asked for after the line of tick T-1 was written and
        # before the line of tick T was: its audio starts after what was written while
        # T-2 was the last tick (or before the show, for the first tick), and before what
        # was written once T had appeared, plus the mixer's lead. A starved saver or
        # sampler widens the window instead of misplacing the sound. In 10 ms blocks, or
        # None beyond the timeline.
        before = [b for t, b in timeline if t <= tick_number - 2] or \
                 [b for t, b in timeline[:1] if tick_number == 1 and t == 0]
        after = [b for t, b in timeline if t >= tick_number]
        if not before or not after:
            return None
        return before[-1] // frame_bytes // block, after[0] // frame_bytes // block

    # Only audio written while the timeline was taken can be placed against the show.
    known = min(len(peaks), timeline[-1][1] // frame_bytes // block if timeline else 0)
    # Silence is near zero whatever the waves are; what counts as sounding is relative to
    # the loudest moment, so that the test does not depend on the waves' levels.
    quiet = 60
    loud = max(4 * quiet, max(peaks or [0]) // 50)
    # Wine's mixer writes ahead of the moment a sound is asked for, in bursts that may run
    # faster than real time into a file that nothing plays: a sound may begin up to
    # 400 ms past its window, and 100 ms is allowed on the other side.
    lead, slack = 40, 10
    every = [(window_of(t), sound) for t, sound in events]
    placed = [(w, s) for w, s in every if w is not None and w[1] < known]
    problems, silent, widest, onsets = [], 0, 0, []
    if not placed:
        problems.append("no sound event fell within the recorded audio")
    for (low, high), sound in placed:
        heard = peaks[max(0, low - slack):high + lead]
        widest = max(widest, high - low)
        if not heard or max(heard) < loud:
            problems.append("silent at a sound %d event (blocks %d-%d, peak %d)"
                            % (sound, low, high, max(heard or [0])))
        elif low >= slack and heard[0] <= quiet:
            onsets.append((next(i for i, p in enumerate(heard) if p >= loud) - slack) * 10)
    # Silence where nothing was asked for: before the first event (when the timeline
    # reaches back to it), and in the gaps after a sound's length and the mixer's lead
    # have passed.
    if placed and every[0][0] is not None:
        before = peaks[:max(0, placed[0][0][0] - slack)]
        silent += len(before)
        if before and max(before) > quiet:
            problems.append("sound before the first event (peak %d)" % max(before))
    end = 0
    for ((_, high), sound), following in zip(placed, placed[1:] + [((known, known), None)]):
        end = max(end, high + int(lengths[sound] * 100) + lead)
        gap = peaks[end:max(end, following[0][0] - slack)]
        if len(gap) >= 20:
            silent += len(gap)
            if max(gap) > quiet:
                problems.append("sound in a gap without events (blocks %d-%d, peak %d)"
                                % (end, following[0][0] - slack, max(gap)))
    print("audio: %d frames, %d placed against the show, %d events heard, %d ms of gaps"
          " silent, loudest %d" % (frames, known * block, len(placed), silent * 10, max(peaks or [0])))
    if onsets:
        print("events placed within %d ms; sounds out of silence began %d to %d ms after"
              " their window opened" % (widest * 10, min(onsets), max(onsets)))
    for problem in problems[:10]:
        print("  " + problem)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    commands = {"coloured": coloured, "red": red, "share": share, "differ": differ, "same-as": same_as, "timeline": timeline,
                "send-at": send_at, "taken": taken, "audio": audio}
    if len(sys.argv) < 2 or sys.argv[1] not in commands:
        print(__doc__)
        sys.exit(2)
    commands[sys.argv[1]](sys.argv[2:])
