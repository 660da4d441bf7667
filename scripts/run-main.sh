#!/usr/bin/env bash
# The main job: prepares the machine, builds the release preset, then shows the fireworks
# without a screen. With the headless renderer (tools/render) it renders a few seconds of a
# show seeded from the clock to PNG frames; without it, it traces 3000 ticks of such a show
# and prints a summary: the header, the start line, the last tick and the peak list lengths.
#   scripts/run-main.sh [--seed S]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${NIGHTBLOOM_JOBS:-2}
seed=$(date +%s)
while [ $# -gt 0 ]; do
  case $1 in
    --seed)
      [[ "${2:-}" =~ ^[0-9]+$ ]] || { echo "run-main.sh: --seed needs a whole number" >&2; exit 2; }
      seed=$2; shift 2 ;;
    *) echo "usage: scripts/run-main.sh [--seed S]" >&2; exit 2 ;;
  esac
done
out="$root/build/main-job"

bash "$root/scripts/setup-debian.sh" </dev/null

build="$root/build/release"
cmake --preset release >/dev/null
targets=(nightbloom-trace)
[ -f "$root/tools/render/CMakeLists.txt" ] && targets+=(nightbloom-render)
cmake --build --preset release -j "$jobs" --target "${targets[@]}"

render="$build/tools/render/nightbloom-render"
trace="$build/tools/trace/nightbloom-trace"
mkdir -p "$out"

if [ -x "$render" ]; then
  rm -rf "$out/frames"
  mkdir -p "$out/frames"
  echo "rendering seed $seed: 600 ticks, 120 frames of 640x480"
  "$render" --seed "$seed" --ticks 600 --frames 120 --size 640x480 --out "$out/frames/frame.png"
  count=$(find "$out/frames" -name '*.png' | wc -l)
  if [ "$count" -eq 0 ]; then
    echo "the renderer wrote no frames" >&2
    exit 1
  fi
  echo "$count frames in $out/frames"
  exit 0
fi

echo "tracing seed $seed: 3000 ticks (the headless renderer is not built yet)"
"$trace" --seed "$seed" --ticks 3000 >"$out/trace.txt"
echo "trace: $out/trace.txt ($(wc -l <"$out/trace.txt") lines)"
grep -m 1 '^trace' "$out/trace.txt" || true
grep -m 1 '^init' "$out/trace.txt" || true
grep '^tick' "$out/trace.txt" | tail -n 1
# Peak of every count printed on the tick lines (the running draw counter excluded).
awk '
  $1 == "tick" {
    for (i = 3; i <= NF; i++) {
      split($i, kv, "=")
      if (kv[1] == "draws" || kv[2] !~ /^[0-9]+$/) continue
      if (!(kv[1] in peak)) order[++n] = kv[1]
      if (!(kv[1] in peak) || kv[2] + 0 > peak[kv[1]]) { peak[kv[1]] = kv[2] + 0; at[kv[1]] = $2 }
    }
  }
  $1 == "launch" { launches++ }
  $1 == "sound" { sounds++ }
  END {
    printf "peak list lengths:"
    for (i = 1; i <= n; i++) printf " %s=%d (tick %s)", order[i], peak[order[i]], at[order[i]]
    printf "\nlaunches=%d sounds=%d\n", launches, sounds
  }' "$out/trace.txt"
