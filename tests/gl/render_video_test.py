#!/usr/bin/env python3
"""nightbloom-render --video as a user runs it, the files checked with Debian's ffmpeg and
ffprobe: container, codecs, size, rate, frame count and duration; a frame against the PNG
the renderer writes for the same moment of the show; the sound against the show's trace
(sound where the show plays one, silence where it plays none); the same frames and samples
from the same command; refusals; Ctrl-C; the progress line on a terminal.

The moments are worked out here from the saver loop's rules (one pass per refresh at the
millisecond the refresh happens, 17 ms ticks, at most two a pass, the first pass two ticks),
independently of the program's own schedule code.

    render_video_test.py RENDER TRACE RESOURCES WORKDIR
"""
import json
import math
import os
import shutil
import signal
import struct
import subprocess
import sys
import time
import wave

RENDER, TRACE, RESOURCES, WORK = sys.argv[1:5]
SEED = 7  # sounds from its first half second on, several at once later
FPS = 60
SECONDS = 3
RATE = 48000
failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message, file=sys.stderr)


def run(args, timeout=120, **kwargs):
    return subprocess.run(args, capture_output=True, timeout=timeout, **kwargs)


def ticks_by_pass(fps, passes):
    """For each pass: its clock reading in ms and the ticks run by its end."""
    wrap = 1 << 32
    base = (0 - 34) % wrap
    accumulated = 0
    total = 0
    result = []
    for k in range(passes):
        now = k * 1000 // fps
        elapsed = (now - base) % wrap
        run_now = 0
        while (elapsed - accumulated) % wrap >= 17:
            total += 1
            run_now += 1
            if run_now >= 2:
                accumulated = elapsed  # time stands still within a pass
            else:
                accumulated += 17
        result.append((now, total))
    return result


def sound_events(ticks):
    """(tick, sound id) of every sound the show raises in its first `ticks` ticks."""
    out = run([TRACE, "--seed", str(SEED), "--ticks", str(ticks)]).stdout.decode()
    pending, events = [], []
    for line in out.splitlines():
        if line.startswith("sound "):
            pending.append(int(line.split()[1]))
        elif line.startswith("tick "):
            tick = int(line.split()[1])
            events += [(tick, sound) for sound in pending]
            pending = []
    return events


def wave_seconds():
    lengths = []
    for resource in range(200, 206):
        with wave.open(os.path.join(RESOURCES, f"wave{resource}.wav")) as w:
            lengths.append(w.getnframes() / w.getframerate())
    return lengths


def probe(path):
    out = run(["ffprobe", "-v", "error", "-count_frames", "-show_streams", "-show_format",
               "-of", "json", path]).stdout
    return json.loads(out or b"{}")


def decoded_sound(path):
    out = run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-f", "s16le", "-ac", "2",
               "-ar", str(RATE), "-"]).stdout
    samples = struct.unpack(f"<{len(out) // 2}h", out)
    return samples


def rms_dbfs(samples, start, end):
    """RMS of both channels over sound frames [start, end), in dB against full scale."""
    start, end = max(start, 0), min(end, len(samples) // 2)
    if end <= start:
        return -200.0
    chunk = samples[2 * start:2 * end]
    mean = sum(s * s for s in chunk) / len(chunk)
    return 10 * math.log10(mean / 32768.0 ** 2) if mean > 0 else -200.0


def psnr(video, frame, png):
    """PSNR in dB of decoded frame `frame` of video against a PNG (RGB, all channels)."""
    result = run(["ffmpeg", "-v", "info", "-nostats", "-i", video, "-i", png, "-lavfi",
                  f"[0:v]select=eq(n\\,{frame}),format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr",
                  "-frames:v", "1", "-f", "null", "-"])
    for line in result.stderr.decode().splitlines():
        if "PSNR" in line and "average:" in line:
            value = line.split("average:")[1].split()[0]
            return math.inf if value == "inf" else float(value)
    fail(f"no PSNR for frame {frame} of {video}: {result.stderr.decode()[-300:]}")
    return 0.0


def refusals():
    def refused(code, *args):
        result = run([RENDER, *args])
        lines = [l for l in result.stderr.decode().splitlines() if l.strip()]
        if result.returncode != code or len(lines) != 1:
            fail(f"nightbloom-render {' '.join(args)} -> exit {result.returncode}, {lines}")

    base = ["--seed", "1", "--seconds", "1"]
    refused(2, *base, "--video", f"{WORK}/a.avi")               # unknown container
    refused(2, *base, "--video", f"{WORK}/mp4")                 # no extension at all
    refused(2, *base, "--video", f"{WORK}/a.mp4", "--ticks", "5")
    refused(2, *base, "--video", f"{WORK}/a.mp4", "--out", f"{WORK}/a.png")
    refused(2, "--seed", "1", "--video", f"{WORK}/a.mp4")      # no --seconds
    refused(2, "--seed", "1", "--ticks", "5", "--out", f"{WORK}/a.png", "--fps", "30")
    refused(2, "--seed", "1", "--ticks", "5", "--out", f"{WORK}/a.png", "--no-sound")
    refused(2, *base, "--video", f"{WORK}/a.mp4", "--fps", "0")
    refused(2, *base, "--video", f"{WORK}/a.mp4", "--fps", "241")
    refused(2, *base, "--video", f"{WORK}/a.mp4", "--crf", "52")
    refused(2, *base, "--video", f"{WORK}/a.webm", "--crf", "64")
    refused(2, *base, "--video", f"{WORK}/a.mp4", "--size", "641x480")
    refused(2, "--seed", "1", "--seconds", "0", "--video", f"{WORK}/a.mp4")
    refused(2, *base, "--video", f"{WORK}/missing/dir/a.mp4")  # unwritable
    os.makedirs(f"{WORK}/locked")
    os.chmod(f"{WORK}/locked", 0o555)
    if os.geteuid() != 0:  # root writes anywhere
        refused(2, *base, "--video", f"{WORK}/locked/a.webm")
    left = sorted(set(os.listdir(WORK)) - {"locked"})
    if left or os.listdir(f"{WORK}/locked"):
        fail(f"refused runs left files: {left}")


def check_file(path, kind):
    codecs = {"mp4": ("h264", "aac"), "webm": ("vp9", "opus")}[kind]
    info = probe(path)
    streams = {s.get("codec_type"): s for s in info.get("streams", [])}
    video, sound = streams.get("video", {}), streams.get("audio", {})
    if (video.get("codec_name"), sound.get("codec_name")) != codecs:
        fail(f"{path}: codecs {video.get('codec_name')}, {sound.get('codec_name')}, not {codecs}")
    if (video.get("width"), video.get("height")) != (640, 480):
        fail(f"{path}: {video.get('width')}x{video.get('height')}, not 640x480")
    if video.get("r_frame_rate") != f"{FPS}/1" or video.get("avg_frame_rate") != f"{FPS}/1":
        fail(f"{path}: frame rate {video.get('r_frame_rate')} / {video.get('avg_frame_rate')}")
    if video.get("nb_read_frames") != str(FPS * SECONDS):
        fail(f"{path}: {video.get('nb_read_frames')} frames, not {FPS * SECONDS}")
    if (sound.get("sample_rate"), sound.get("channels")) != (str(RATE), 2):
        fail(f"{path}: sound {sound.get('sample_rate')} Hz, {sound.get('channels')} channels")
    duration = float(info.get("format", {}).get("duration", 0))
    if abs(duration - SECONDS) > 0.025:
        fail(f"{path}: lasts {duration} s, not {SECONDS}")
    samples = decoded_sound(path)
    if abs(len(samples) // 2 - SECONDS * RATE) > RATE // 100:
        fail(f"{path}: {len(samples) // 2} sound frames, not {SECONDS * RATE}")
    return samples


def check_frames(path, schedule):
    """Frame 150 is the show after the ticks its pass ran, and not one tick off."""
    frame = 150
    ticks = schedule[frame][1]
    scores = {}
    for t in (ticks - 1, ticks, ticks + 1):
        png = f"{WORK}/tick-{t}.png"
        if not os.path.exists(png):
            result = run([RENDER, "--seed", str(SEED), "--ticks", str(t), "--out", png])
            if result.returncode != 0:
                fail(f"rendering tick {t} failed: {result.stderr.decode()}")
                return
        scores[t] = psnr(path, frame, png)
    if scores[ticks] <= 35.0 or scores[ticks] <= max(scores[ticks - 1], scores[ticks + 1]):
        fail(f"{path}: frame {frame} against ticks {ticks - 1}..{ticks + 1}: {scores} dB")
    print(f"{os.path.basename(path)}: frame {frame} (tick {ticks}) PSNR {scores[ticks]:.1f} dB, "
          f"ticks {ticks - 1} and {ticks + 1}: {scores[ticks - 1]:.1f}, {scores[ticks + 1]:.1f} dB")


def check_sound(path, samples, schedule, lengths):
    """Sound within 50 ms of each play; silence wherever no play's wave can still sound."""
    tick_ms = {}
    previous = 0
    for now, total in schedule:
        for tick in range(previous + 1, total + 1):
            tick_ms[tick] = now
        previous = total
    plays = [(tick_ms[t], sound) for t, sound in sound_events(previous) if t in tick_ms]
    if len(plays) < 5:
        fail(f"seed {SEED} plays only {len(plays)} sounds in {SECONDS} s")
    quiet = []
    for ms, sound in plays:
        start = ms * RATE // 1000
        level = rms_dbfs(samples, start, start + RATE // 20)
        if level < -45.0:
            fail(f"{path}: sound {sound} at {ms} ms is missing ({level:.1f} dBFS)")
        quiet.append(level)
    # A play that starts in silence starts on time: its first sample above -40 dBFS lies
    # within 5 ms of its moment (which also rules out the codec's delay left in the file).
    alone = [(ms, sound) for ms, sound in plays
             if not any(m < ms < m + 1000 * lengths[x] + 60 for m, x in plays)]
    for ms, sound in alone:
        start = ms * RATE // 1000
        onset = next((i for i in range(start - RATE // 10, start + RATE // 10)
                      if 0 <= i < len(samples) // 2 and abs(samples[2 * i]) > 328), None)
        if onset is None or abs(onset - start) > RATE // 200:
            fail(f"{path}: sound {sound} due at {ms} ms starts at "
                 f"{'never' if onset is None else onset * 1000 / RATE} ms")
    if not alone:
        fail(f"no play of seed {SEED} starts in silence")
    # 20 ms windows that no wave reaches (with 60 ms either side for the codec's own
    # spreading of sound in time) must be silent.
    margin = 0.06
    busy = [(ms / 1000 - margin, ms / 1000 + lengths[sound] + margin) for ms, sound in plays]
    silent_windows = 0
    for w in range(SECONDS * 50):
        begin, end = w / 50, (w + 1) / 50
        if any(b < end and begin < e for b, e in busy):
            continue
        silent_windows += 1
        level = rms_dbfs(samples, w * RATE // 50, (w + 1) * RATE // 50)
        if level > -70.0:
            fail(f"{path}: {begin:.2f}..{end:.2f} s should be silent, is {level:.1f} dBFS")
    if silent_windows < 10:
        fail(f"only {silent_windows} silent windows to check: choose another seed")
    print(f"{os.path.basename(path)}: {len(plays)} plays each heard within 50 ms "
          f"(quietest {min(quiet):.1f} dBFS), {len(alone)} starting in silence on time, "
          f"{silent_windows} silent windows silent")


def decoded_digests(path):
    video = run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:v", "-f", "framemd5", "-"]).stdout
    sound = run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-f", "md5", "-"]).stdout
    return video, sound


def make(path, *extra):
    result = run([RENDER, "--seed", str(SEED), "--seconds", str(SECONDS), "--video", path, *extra],
                 timeout=300)
    if result.returncode != 0 or not os.path.exists(path) or os.path.exists(path + ".part"):
        fail(f"making {path} -> exit {result.returncode}: {result.stderr.decode()}")
        return False
    if result.stderr.strip():
        fail(f"making {path} wrote to stderr without a terminal: {result.stderr.decode()!r}")
    print(result.stdout.decode().strip())
    return True


def interrupted():
    """Ctrl-C in the middle keeps a playable file of the frames made; before any, nothing."""
    path = f"{WORK}/stopped.webm"
    process = subprocess.Popen([RENDER, "--seed", "3", "--seconds", "600", "--video", path],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and process.poll() is None:
        if os.path.exists(path + ".part") and os.path.getsize(path + ".part") > 8000:
            break
        time.sleep(0.05)
    process.send_signal(signal.SIGINT)
    try:
        _, err = process.communicate(timeout=60)
    except subprocess.TimeoutExpired:
        process.kill()
        process.communicate()
        fail("the interrupted render did not end within 60 s")
        return
    err = err.decode()
    if process.returncode != 130 or "kept" not in err or len(err.strip().splitlines()) != 1:
        fail(f"interrupted render -> exit {process.returncode}: {err!r}")
    if os.path.exists(path + ".part") or not os.path.exists(path):
        fail("the interrupted render left no file, or left its .part")
        return
    info = probe(path)
    streams = {s.get("codec_type"): s for s in info.get("streams", [])}
    frames = int(streams.get("video", {}).get("nb_read_frames", 0))
    duration = float(info.get("format", {}).get("duration", 0))
    if frames < 2 or abs(duration - frames / FPS) > 0.03 or "audio" not in streams:
        fail(f"the interrupted file holds {frames} frames over {duration} s: {streams.keys()}")
    print(f"interrupted: {err.strip()} ({frames} frames, {duration:.2f} s)")


def progress_on_terminal():
    path = f"{WORK}/tty.mp4"
    command = f"{RENDER} --seed 2 --seconds 1 --fps 30 --size 160x120 --no-sound --video {path}"
    result = run(["script", "-qec", command, "/dev/null"], timeout=120)
    screen = result.stdout.decode(errors="replace")
    if result.returncode != 0 or "frame 30/30  100%" not in screen or "left" not in screen:
        fail(f"no progress line on a terminal: exit {result.returncode}, {screen!r}")
    info = probe(path)
    if [s.get("codec_type") for s in info.get("streams", [])] != ["video"]:
        fail(f"--no-sound still wrote: {[s.get('codec_type') for s in info.get('streams', [])]}")


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    refusals()
    schedule = ticks_by_pass(FPS, FPS * SECONDS)
    lengths = wave_seconds()
    for kind in ("mp4", "webm"):
        path = f"{WORK}/show.{kind}"
        if not make(path):
            continue
        samples = check_file(path, kind)
        check_frames(path, schedule)
        check_sound(path, samples, schedule, lengths)
    again = f"{WORK}/again.mp4"
    if make(again) and decoded_digests(again) != decoded_digests(f"{WORK}/show.mp4"):
        fail("the same command made other frames or samples")
    interrupted()
    progress_on_terminal()
    os.chmod(f"{WORK}/locked", 0o755)
    if failures:
        print(f"{len(failures)} check(s) failed; files in {WORK}", file=sys.stderr)
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
