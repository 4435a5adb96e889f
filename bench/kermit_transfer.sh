#!/usr/bin/env bash
# Kermit transfers over a pseudo-terminal with the simulator pacing the line:
# 64 KiB of text, of random bytes and of a program image with long runs of
# 0xFF, sent to the device and fetched back, at 38400 and at 115200 baud.
#   bench/kermit_transfer.sh [BUILD_DIR]
# For each transfer: the payload rate, the line bytes per payload byte (both
# directions), and the ratio of the line's own time for those bytes to the
# time the transfer took (1.0: the line never idles; the protocol moves one
# packet per acknowledgement, so this is the ceiling of this configuration).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
program=$build/src/tessaril
sim=$build/sim/tessaril-bucsim
[ -x "$program" ] && [ -x "$sim" ] || "$root/scripts/build" --dir "$build" tessaril tessaril-bucsim >/dev/null

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/device"
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

# Seconds between the first progress caption and the caption put back.
transfer_seconds() {
  local start="" t
  while IFS= read -r line; do
    t=$EPOCHREALTIME
    case "$line" in
      caption=*" bytes ("*) [ -z "$start" ] && start=$t ;;
      caption=*) [ -n "$start" ] && { awk -v a="$start" -v b="$t" 'BEGIN { printf "%.3f", b - a }'; cat >/dev/null; return; } ;;
    esac
  done
}

# Kermit bytes on the line, both directions, from the simulator's -v lines.
line_bytes() { awk '/^k[<>] / { n += NF - 1 } END { print n + 0 }' "$1"; }

printf '%-7s %-7s %-8s %10s %12s %12s %8s\n' baud file way seconds "payload B/s" "line B/pay B" "vs line"
for baud in 38400 115200; do
  for kind in text random image; do
    for way in send receive; do
      rm -f "$work"/device/* "$work/buc" "$work"/*.XML
      [ "$way" = receive ] && cp "$work/$kind.xml" "$work/device/$(echo "$kind" | tr a-z A-Z).XML"
      "$sim" -v --link "$work/buc" --folder "$work/device" --baud "$baud" >"$work/sim.log" 2>&1 &
      pid=$!
      for _ in $(seq 100); do [ -e "$work/buc" ] && break; sleep 0.05; done
      if [ "$way" = send ]; then
        script="set port 1\nclick ENTER\nchoose $work/$kind.xml\nclick 4152\nclick \"Set Calibration File\"\nset kermit_tmo 5000\nclick Send\nwait 600000\nexpect kermit SND_OK\n"
      else
        script="set port 1\nclick ENTER\nclick \"Get Calibration File\"\nset kermit_tmo 5000\nclick Send\nwait 600000\nexpect kermit RCV_OK\n"
      fi
      printf "$script" >"$work/script.txt"
      seconds=$(cd "$work" && "$program" --headless --trace --script "$work/script.txt" | tee "$work/program.out" | transfer_seconds) || true
      grep -q "1 passed, 0 failed" "$work/program.out" || { echo "$baud $kind $way: the transfer failed:"; grep -E "FAIL|caption" "$work/program.out" | tail -3; grep kermit "$work/sim.log" | grep -v "^k" ; continue; }
      sleep 0.5
      kill $pid; wait $pid 2>/dev/null || true
      bytes=$(line_bytes "$work/sim.log")
      awk -v b="$baud" -v f="$kind" -v w="$way" -v s="$seconds" -v n="$bytes" -v p="$size" 'BEGIN {
        printf "%-7s %-7s %-8s %10.2f %12.0f %12.3f %8.3f\n", b, f, w, s, p / s, n / p, (n * 10 / b) / s }'
    done
  done
done
