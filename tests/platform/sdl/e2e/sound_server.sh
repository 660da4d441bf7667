#!/usr/bin/env bash
# The full-screen show with sound through a real PulseAudio server (SDL's pulseaudio
# driver), the server run by a user the test makes, as a desktop session runs it. With no
# server at start the show runs silent. With one, the show's sounds reach it; killed in the
# middle of the show, the show goes on silent without a frame later than frames come
# anyway; started again, the sound comes back by itself. Each time one line on the error
# stream, and never a message box. The times are the program's own (NIGHTBLOOM_FRAME_LOG)
# and the kernel's uptime, which counts on the same clock.
# Making the user and switching to it need root: run as anyone else the test is skipped
# (exit 77). The user (nightbloom-pa) is removed again afterwards when the test made it.
source "$(dirname "$0")/lib.sh"
if [ "$(id -u)" -ne 0 ]; then echo "skipped: needs root"; exit 77; fi
for tool in pulseaudio pactl parec setpriv useradd userdel; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup-debian.sh installs it)"; exit 1; }
done

# One run at a time: the user is shared by the builds of every preset.
exec 9>/tmp/nightbloom-sound-server-test.lock
flock -w $((120 * slower)) 9 || { echo "FAIL: another run holds the lock"; exit 1; }
user=nightbloom-pa
made_user=0
if ! id "$user" >/dev/null 2>&1; then
  useradd --system --user-group --no-create-home --home-dir /nonexistent \
          --shell /usr/sbin/nologin "$user" || { echo "FAIL: cannot make the user $user"; exit 1; }
  made_user=1
fi
finish_user() {
  cleanup
  if [ $made_user -eq 1 ]; then
    for _ in $(seq 1 50); do [ -z "$(pgrep -u "$user")" ] && break; sleep 0.1; done
    userdel "$user" 2>/dev/null || echo "note: $user not removed"
  fi
}
trap finish_user EXIT

pa="$WORK/pa"
mkdir -p "$pa/run" "$pa/home" "$pa/config" "$WORK/bin"
cp "$NB" "$WORK/bin/nightbloom"
cat >"$pa/default.pa" <<EOT
load-module module-null-sink sink_name=out rate=44100
load-module module-native-protocol-unix socket=$pa/run/native auth-anonymous=1
set-default-sink out
EOT
echo "autospawn = no" >"$pa/client.conf"  # the client must not start a server itself
log="$WORK/frames.log"
: >"$log"
chown -R "$user:" "$pa" "$log"
chmod 755 "$WORK" "$WORK/bin" "$WORK/bin/nightbloom"
as_user=(setpriv --reuid="$user" --regid="$user" --clear-groups
         env -i PATH=/usr/bin:/bin HOME="$pa/home" XDG_RUNTIME_DIR="$pa/run" XDG_CONFIG_HOME="$pa/config"
         PULSE_SERVER="unix:$pa/run/native" PULSE_CLIENTCONFIG="$pa/client.conf" NO_AT_BRIDGE=1)
for name in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
  [ -n "${!name:-}" ] && as_user+=("$name=${!name}")
done

server=
server_start() {
  "${as_user[@]}" pulseaudio -n -F "$pa/default.pa" --daemonize=no --exit-idle-time=-1 \
    --use-pid-file=no --log-target=stderr --log-level=error >>"$WORK/pulseaudio.log" 2>&1 &
  server=$!
  started+=("$server")
  wait_until 10 "${as_user[@]}" pactl info >/dev/null 2>&1
}
server_kill() { kill -KILL "$server"; wait "$server" 2>/dev/null; server=; }
streams() { "${as_user[@]}" pactl list short sink-inputs 2>/dev/null | wc -l; }
has_stream() { [ "$(streams)" -ge 1 ]; }
# Whether the server's output holds sound (not only silence) over the next 3 seconds.
sounds() {
  local file="$WORK/recording.raw" recorder
  "${as_user[@]}" parec -d out.monitor --raw >"$file" 2>/dev/null &
  recorder=$!
  sleep 3
  kill "$recorder"; wait "$recorder" 2>/dev/null
  [ "$(tr -d '\000' <"$file" | head -c 4096 | wc -c)" -ge 4096 ]
}
uptime_us() { awk '{ printf "%.0f", $1 * 1000000 }' /proc/uptime; }
frames() { wc -l <"$log"; }
boxes() { xwininfo -root -children | grep -c '"Nightbloom": ()'; }
show() {  # name: the show as the user, its id in $pid
  "${as_user[@]}" DISPLAY="$DISPLAY" SDL_AUDIODRIVER=pulseaudio NIGHTBLOOM_FRAME_LOG="$log" \
    "$WORK/bin/nightbloom" --fullscreen --sound >"$WORK/$1.out" 2>"$WORK/$1.err" &
  pid=$!
  started+=("$pid")
  err_of[$pid]="$WORK/$1.err"
  wait_window "$pid" 10 >/dev/null
}
start_xvfb 800x600

say "no sound server at start"
if show missing; then
  before=$(frames)
  check "the show runs" wait_until 5 bash -c "[ \$(wc -l <'$log') -gt $((before + 10)) ]"
  check "one line says it is silent" test "$(grep -c 'no sound device' "$WORK/missing.err")" -eq 1
  check "no message box" test "$(boxes)" -eq 0
  kill -TERM "$pid"; wait_exit "$pid" 2
  check "SIGTERM ends it (exit $code)" test "$code" -eq 0
else
  fail "no window"
fi

say "the sound server killed in the middle of the show, then started again"
: >"$log"
server_start || fail "the server did not start"
if show lost; then
  check "the show plays to the server" wait_until 5 has_stream
  check "... and its sounds are heard" sounds
  sleep 1
  killed_at=$(uptime_us)
  server_kill
  before=$(frames)
  check "the show goes on" wait_until 5 bash -c "[ \$(wc -l <'$log') -gt $((before + 10)) ]"
  # The loss is seen once the sound system reports it, which may be after those frames.
  check "one line says the device went away" \
    wait_until 5 bash -c "[ \$(grep -c 'the sound device went away' '$WORK/lost.err') -eq 1 ]"
  check "no message box" test "$(boxes)" -eq 0
  # The frames around the loss: the longest gap in the two seconds after it, against the
  # longest gap between the frames of the rest of the run (after its first second); on a
  # busy machine frames come late now and then, by a scheduling's whim.
  read -r at_loss ordinary < <(awk -v k="$killed_at" '
    NR == 1 { first = $1 }
    NR > 1 && $1 > k && p <= k + 2000000 { if ($1 - p > a) a = $1 - p; p = $1; next }
    NR > 1 && $1 > first + 1000000 { if ($1 - p > o) o = $1 - p }
    { p = $1 } END { printf "%.1f %.1f\n", a / 1000, o / 1000 }' "$log")
  check "no frame later at the loss than frames come anyway (${at_loss} ms; elsewhere up to ${ordinary} ms)" \
    awk -v a="$at_loss" -v o="$ordinary" 'BEGIN { exit !(a > 0 && a <= 2 * o) }'
  server_start || fail "the server did not start again"
  check "the show plays to the server again by itself" wait_until 10 has_stream
  check "... and its sounds are heard" sounds
  check "still one line on the error stream" \
    test "$(grep -c '^nightbloom:' "$WORK/lost.err")" -eq 1
  kill -TERM "$pid"; wait_exit "$pid" 2
  check "SIGTERM ends it (exit $code)" test "$code" -eq 0
else
  fail "no window"
fi
finish
