#!/usr/bin/env bash
# Kermit transfers over a pseudo-terminal with the simulator pacing the line:
# 64 KiB of text, of random bytes and of a program image with long runs of
# 0xFF, sent to the device and fetched back, at 115200 and at 921600 baud.
#   bench/kermit_transfer.sh [BUILD_DIR] [--bauds "115200 921600"]
# The device plays as a BUC does: its 'S' right behind its answer to 0x0C, in
# the same write, and a retry timer of 2 s. A transfer is timed from the
# moment the host has checked the answer that opens it (0x8A or 0x8C) to the
# caption put back at its end.
# For each transfer: the payload rate, the line bytes per payload byte (both
# directions), and the ratio of the line's own time for those bytes to the
# time the transfer took. The protocol moves one packet per acknowledgement
# and the two never overlap, so 1.0 is the stop-and-wait ceiling: the line
# never idles. The lowest ratio of each rate and direction closes the table,
# beside what it should reach (0.97 at 115200 baud, 0.90 at 921600).
#
#   bench/kermit_transfer.sh --wine [WINDOWS_BUILD_DIR] [--linux-build BUILD_DIR]
# The Windows program under Wine: 30,000 bytes sent and fetched back, on an
# unpaced line and at 115200 baud (the first of --bauds), by tessaril.exe
# through COM13 of a Wine prefix (scripts/wine-env) mapped to the Linux
# simulator, and by the Linux program the same way; the Windows time should
# be within twice the Linux one. The time runs on the program's own clock,
# from the answer that opens the transfer to the status frame after it. The
# Windows build (default build-windows/) is made first when it has no
# tessaril.exe.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
bauds="115200 921600"
wine_dir=""
while [ $# -gt 0 ]; do
  case "$1" in
    --bauds) bauds=$2; shift 2 ;;
    --wine)
      wine_dir=$root/build-windows
      if [ $# -gt 1 ] && [ "${2#--}" = "$2" ]; then wine_dir=$2; shift; fi
      shift ;;
    --linux-build) build=$2; shift 2 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) build=$1; shift ;;
  esac
done
build=$(mkdir -p "$build" && cd "$build" && pwd)
program=$build/src/tessaril
sim=$build/sim/tessaril-bucsim
[ -x "$program" ] && [ -x "$sim" ] || "$root/scripts/build" --dir "$build" tessaril tessaril-bucsim >/dev/null

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/device"

# Seconds between the answer that opens the transfer and the caption put
# back after the progress captions. The clock starts when the host has
# checked that answer (its result field is traced then): the 100 ms the
# command sequence waits after Frame 2's answer before checking it is the
# sequence's, not the transfer's. The device's first packet, sent with the
# answer, waits in the port meanwhile.
transfer_seconds() {
  local answer="" start="" progress="" t
  while IFS= read -r line; do
    t=$EPOCHREALTIME
    case "$line" in
      225:*" Rcv: 8A "* | 225:*" Rcv: 8C "*) answer=yes ;;
      2501=RSP=*) [ -n "$answer" ] && [ -z "$start" ] && start=$t ;;
      caption=*" bytes ("*) progress=yes ;;
      caption=*) [ -n "$start" ] && [ -n "$progress" ] && { awk -v a="$start" -v b="$t" 'BEGIN { printf "%.3f", b - a }'; cat >/dev/null; return; } ;;
    esac
  done
}

# Kermit bytes on the line, both directions, from the simulator's -v lines.
line_bytes() { awk '/^k[<>] / { n += NF - 1 } END { print n + 0 }' "$1"; }

device_scenario=$'kermit with-answer timer=2000\n'
# Starts the simulator on a pseudo-terminal linked at $work/buc; extra
# arguments go to it. Its -v output goes to $work/sim.log.
start_device() {
  rm -f "$work/buc"
  printf '%s' "$device_scenario" >"$work/scenario.txt"
  "$sim" -v --link "$work/buc" --folder "$work/device" --scenario "$work/scenario.txt" "$@" >"$work/sim.log" 2>&1 &
  device_pid=$!
  for _ in $(seq 100); do [ -e "$work/buc" ] && break; sleep 0.05; done
}
stop_device() {
  sleep 0.5
  kill "$device_pid"
  wait "$device_pid" 2>/dev/null || true
}

# The script of one transfer on COM<2>: FILE <3> sent (way <1> send) or
# fetched (receive); lines in <4> go before Send.
transfer_script() {
  if [ "$1" = send ]; then
    printf 'set port %s\nclick ENTER\nchoose %s\nclick 4152\nclick "Set Calibration File"\nset kermit_tmo 5000\n%sclick Send\nwait 600000\nexpect kermit SND_OK\n' "$2" "$3" "${4:-}"
  else
    printf 'set port %s\nclick ENTER\nclick "Get Calibration File"\nset kermit_tmo 5000\n%sclick Send\nwait 600000\nexpect kermit RCV_OK\n' "$2" "${4:-}"
  fi
}

# Seconds on the program's own clock (its traffic lines) from the answer
# that opens the transfer to the status frame after it; with no pause
# between the two (wait_kermit 0), that is the transfer.
trace_seconds() {
  awk '/^225:[0-9:.]+ Rcv: 8[AC] / && !a { a = $1 } /^225:[0-9:.]+ Snd: 0B / && a && !b { b = $1 }
       function t(s,  p) { split(s, p, "[:.]"); return p[2] * 3600 + p[3] * 60 + p[4] + p[5] / 1000 }
       END { if (a && b) printf "%.3f", t(b) - t(a) + (t(b) < t(a) ? 86400 : 0) }' "$1"
}

if [ -n "$wine_dir" ]; then
  mkdir -p "$wine_dir"
  wine_dir=$(cd "$wine_dir" && pwd)
  [ -f "$wine_dir/src/tessaril.exe" ] || "$root/scripts/build" --windows --dir "$wine_dir" tessaril >/dev/null
  # shellcheck source=../scripts/wine-env
  . "$root/scripts/wine-env" "$wine_dir"
  trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"; wine_env_cleanup' EXIT
  wine_com_link 13 "$work/buc"
  # The device sends its 'S' after its usual pause; the time is the program's own.
  device_scenario=""
  mkdir -p "$work/upload"
  head -c 30000 /dev/urandom >"$work/upload/cal_w.xml"
  printf '%-8s %-8s %-8s %10s %10s %8s\n' baud way program seconds "Linux s" "ratio"
  for baud in 0 ${bauds%% *}; do
    for way in send receive; do
      linux=""
      for side in linux windows; do
        rm -f "$work"/device/* "$work"/*.XML
        [ "$way" = receive ] && cp "$work/upload/cal_w.xml" "$work/device/CAL_W.XML"
        if [ "$baud" = 0 ]; then start_device; else start_device --baud "$baud"; fi
        if [ "$side" = linux ]; then
          printf '[section1]\nsio_port=1\n[ports]\nCOM1=%s\n' "$work/buc" >"$work/buc_setup.ini"
          transfer_script "$way" 1 upload/cal_w.xml $'set wait_kermit 0\n' >"$work/script.txt"
          (cd "$work" && "$program" --headless --trace --script script.txt >program.out) || true
        else
          printf '[section1]\r\nsio_port=13\r\nbit_rate=38400\r\nbit_len=8\r\n' >"$work/buc_setup.ini"
          transfer_script "$way" 13 upload/cal_w.xml $'set wait_kermit 0\n' >"$work/script.txt"
          (cd "$work" && wine "$wine_dir/src/tessaril.exe" --headless --trace --script script.txt 2>/dev/null |
            tr -d '\r' >program.out) || true
        fi
        seconds=$(trace_seconds "$work/program.out")
        [ "$side" = linux ] && linux=$seconds
        stop_device
        grep -q "1 passed, 0 failed" "$work/program.out" && [ -n "$seconds" ] ||
          { echo "$baud $way by $side: the transfer failed"; tail -3 "$work/program.out"; continue; }
        awk -v r="$baud" -v w="$way" -v s="$side" -v t="$seconds" -v l="$linux" 'BEGIN {
          printf "%-8s %-8s %-8s %10.2f %10.2f %8.2f\n", r ? r : "unpaced", w, s, t, l, t / l }'
      done
    done
  done
  exit 0
fi

size=65536
# text: lines of a calibration table; random; an image: 0xFF runs with code between
awk 'BEGIN { srand(7); while (n < 65536) { l = sprintf("<point f=\"%05d\" gain=\"%+.3f\"/>\n", n, rand()*40-20); printf "%s", l; n += length(l) } }' | head -c $size >"$work/text.xml"
head -c $size /dev/urandom >"$work/random.xml"
{ for _ in $(seq 64); do head -c 256 /dev/urandom; head -c 768 /dev/zero | tr '\0' '\377'; done; } | head -c $size >"$work/image.xml"

cat >"$work/buc_setup.ini" <<INI
[section1]
sio_port=1
[ports]
COM1=$work/buc
INI

: >"$work/ratios"
printf '%-7s %-7s %-8s %10s %12s %12s %10s\n' baud file way seconds "payload B/s" "line B/pay B" "vs ceiling"
for baud in $bauds; do
  for kind in text random image; do
    for way in send receive; do
      rm -f "$work"/device/* "$work"/*.XML
      [ "$way" = receive ] && cp "$work/$kind.xml" "$work/device/$(echo "$kind" | tr a-z A-Z).XML"
      start_device --baud "$baud"
      # No step wait: the caption is put back once the whole size has shown.
      transfer_script "$way" 1 "$work/$kind.xml" $'set wait_kermit 0\n' >"$work/script.txt"
      seconds=$(cd "$work" && "$program" --headless --trace --script "$work/script.txt" | tee "$work/program.out" | transfer_seconds) || true
      if ! grep -q "1 passed, 0 failed" "$work/program.out"; then
        echo "$baud $kind $way: the transfer failed:"
        grep -E "FAIL|caption" "$work/program.out" | tail -3
        stop_device
        grep kermit "$work/sim.log" | grep -v "^k"
        continue
      fi
      stop_device
      bytes=$(line_bytes "$work/sim.log")
      awk -v b="$baud" -v f="$kind" -v w="$way" -v s="$seconds" -v n="$bytes" -v p="$size" 'BEGIN {
        printf "%-7s %-7s %-8s %10.2f %12.0f %12.3f %10.3f\n", b, f, w, s, p / s, n / p, (n * 10 / b) / s }'
      awk -v b="$baud" -v w="$way" -v s="$seconds" -v n="$bytes" 'BEGIN { printf "%s %s %.3f\n", b, w, (n * 10 / b) / s }' >>"$work/ratios"
    done
  done
done
echo
awk '{ k = $1 " " $2; if (!(k in low) || $3 < low[k]) low[k] = $3 }
     END { for (k in low) { split(k, p, " "); want = p[1] >= 921600 ? 0.90 : p[1] >= 115200 ? 0.97 : 0;
             printf "lowest at %s baud, %-7s %.3f of the ceiling%s\n", p[1], p[2] ":", low[k],
                    want ? sprintf(" (should be %.2f or more)", want) : "" } }' "$work/ratios" | sort -n -k3
