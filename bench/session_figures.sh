#!/usr/bin/env bash
# Figures of the process-wide link state, taken the same way before and
# after it moves into a session object.
#   bench/session_figures.sh [--build DIR] [--suite] [-v]
# DIR (default build/) is a built tree (scripts/test --dir DIR -R NONE);
# the sources counted are the ones DIR was configured from. --suite adds the
# wall time of `ctest -j2` (minutes); -v lists what each count counted.
# The timings depend on the machine's load: its load average is printed.
set -euo pipefail
export LC_ALL=C
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
suite=no
verbose=no
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --suite) suite=yes; shift ;;
    -v) verbose=yes; shift ;;
    *) echo "usage: bench/session_figures.sh [--build DIR] [--suite] [-v]" >&2; exit 2 ;;
  esac
done
src=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
[ -d "$src/src" ] || { echo "no configured tree in $build" >&2; exit 2; }

load() { cut -d' ' -f1-3 /proc/loadavg; }
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) { print "-"; exit }
  m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
  printf "%.1f ms (min %.1f, max %.1f, n=%d)\n", m, v[1], v[NR], NR }'; }

echo "tree:     $src at $(git -C "$src" log -1 --format='%h %s' 2>/dev/null || echo '?')"
echo "build:    $build"
echo "machine:  $(nproc) cores, load average $(load) at $(date '+%F %T')"

echo
echo "== writable data symbols (scripts/check-globals --list: .bss/.data objects, inline variables once)"
globals=$("$here/scripts/check-globals" "$build" --list)
for lib in status kermit link commands; do
  printf '  tessaril_%-9s %3d\n' "$lib" "$(printf '%s\n' "$globals" | grep -c "^$lib	" || true)"
done
printf '  %-18s %3d\n' total "$(printf '%s\n' "$globals" | grep -c . || true)"
[ "$verbose" = no ] || printf '%s\n' "$globals" | sed 's/^/    /'

echo
echo "== files under src/ that include \"platform/controls.h\""
includers=$(cd "$src" && grep -rlE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"platform/controls\.h"' src | sort)
printf '%s\n' "$includers" | xargs -n1 dirname | uniq -c | awk '{ printf "  %-18s %3d\n", $2, $1 }'
printf '  %-18s %3d\n' total "$(printf '%s\n' "$includers" | grep -c . || true)"
[ "$verbose" = no ] || printf '%s\n' "$includers" | sed 's/^/    /'

# Counted in the C++ files of tests/, lines that start with // left out.
sleep_re='(^|[^_[:alnum:]])(sleep|sleep_ms|sleep_for|sleep_until|usleep|nanosleep|msleep|Sleep|sleep_serving_calls|qWait|qSleep)[[:space:]]*\('
clock_re='(^|[^_[:alnum:]])(EXPECT|ASSERT)_(LT|LE|GT|GE|NEAR)[[:space:]]*\(.*(monotonic_ms|steady_clock|system_clock|elapsed|took|waited|duration)'
count_in_tests() {
  local hits
  hits=$(cd "$src" && grep -rnE "$1" tests --include='*.cpp' --include='*.h' | grep -vE '^[^:]+:[0-9]+:[[:space:]]*//') || true
  printf '%s\n' "$hits" | grep . | cut -d/ -f2 | sort | uniq -c | awk '{ printf "  tests/%-12s %3d\n", $2, $1 }'
  printf '  %-18s %3d\n' total "$(printf '%s\n' "$hits" | grep -c . || true)"
  [ "$verbose" = no ] || printf '%s\n' "$hits" | sed 's/^/    /'
}
echo
echo "== sleep calls in tests/ (lines matching grep -E '$sleep_re')"
count_in_tests "$sleep_re"
echo
echo "== wall-clock assertions in tests/ (lines matching grep -E '$clock_re')"
count_in_tests "$clock_re"

if [ "$suite" = yes ]; then
  echo
  echo "== test suite: ctest --test-dir $build -j2 --timeout 300 (load average before: $(load))"
  start=$EPOCHREALTIME
  ctest --test-dir "$build" -j2 --timeout 300 >"$build/session_figures_ctest.log" 2>&1 && status=0 || status=$?
  end=$EPOCHREALTIME
  grep -E 'tests passed|Total Test time' "$build/session_figures_ctest.log" | sed 's/^/  /'
  awk -v a="$start" -v b="$end" -v s="$status" 'BEGIN { printf "  wall time %.1f s, exit status %d\n", b - a, s }'
  echo "  load average after: $(load); output in $build/session_figures_ctest.log"
fi

# The program headless in a folder of its own, COM1 being the simulator
# (as scripts/run sets it up).
work=$(mktemp -d)
sim=""
cleanup() {
  [ -z "$sim" ] || { kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/device"
"$build/sim/tessaril-bucsim" --link "$work/buc.pty" --folder "$work/device" --baud 38400 >"$work/bucsim.log" 2>&1 &
sim=$!
for _ in $(seq 100); do [ -e "$work/buc.pty" ] && break; sleep 0.05; done
[ -e "$work/buc.pty" ] || { echo "the simulator did not start:" >&2; cat "$work/bucsim.log" >&2; exit 1; }
printf '[section1]\nsio_port=1\nbit_rate=38400\nbit_len=8\ncmd_log_folder=cmd_log/\n\n[ports]\nCOM1=%s\n' \
  "$work/buc.pty" >"$work/buc_setup.ini"
program="$build/src/tessaril"

# Each stdout line stamped as it arrives (stdbuf: line by line into a pipe).
runs=10
{
  printf 'set port 1\nclick ENTER\nwait 20000\nrepeat %d\n' "$runs"
  printf 'echo MARK\nclick "Get Fault Status"\nclick Send\nwait 20000\nend\n'
} >"$work/exchange.txt"
echo
echo "== Get Fault Status, from the click on its button (then Send) to the result field filled, $runs exchanges"
echo "  load average before: $(load)"
(cd "$work" && stdbuf -oL "$program" --headless --trace --script "$work/exchange.txt" </dev/null) |
  while IFS= read -r line; do printf '%s %s\n' "$EPOCHREALTIME" "$line"; done >"$work/exchange.log"
if [ "$(grep -c ' 2401=RSP=Success' "$work/exchange.log" || true)" -ne "$runs" ]; then
  echo "  not every exchange succeeded:" >&2
  cat "$work/exchange.log" >&2
  exit 1
fi
awk '$2 == "MARK" { t0 = $1; filled = 0 }
     $2 ~ /^2401=RSP=/ && !filled { filled = 1; print ($1 - t0) * 1000 }' "$work/exchange.log" |
  median | sed 's/^/  to the result field: /'
awk '$2 == "MARK" { t0 = $1 } $2 == "idle" && t0 { print ($1 - t0) * 1000; t0 = 0 }' "$work/exchange.log" |
  median | sed 's/^/  to idle (the wait):   /'

# utime + stime (fields 14 and 15, counted after the command name).
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
wait_line() {
  for _ in $(seq 600); do grep -qx "$1" "$work/idle.log" && return 0; sleep 0.02; done
  echo "the program did not print $1:" >&2; cat "$work/idle.log" >&2; exit 1
}
printf 'set port 1\nclick ENTER\nwait 20000\necho OPEN\nsleep 10000\necho DONE\n' >"$work/idle.txt"
echo
echo "== idle CPU, the command dialog open (sleep 10000 in the script)"
echo "  load average before: $(load)"
(cd "$work" && exec stdbuf -oL "$program" --headless --script "$work/idle.txt" </dev/null >"$work/idle.log" 2>&1) &
program_pid=$!
wait_line OPEN
t0=$EPOCHREALTIME c0=$(cpu_ticks "$program_pid")
wait_line DONE
t1=$EPOCHREALTIME c1=$(cpu_ticks "$program_pid")
wait "$program_pid" || true
awk -v c="$((c1 - c0))" -v hz="$(getconf CLK_TCK)" -v a="$t0" -v b="$t1" \
  'BEGIN { ms = c * 1000 / hz; printf "  %d ms CPU in %.1f s: %.1f ms CPU per s\n", ms, b - a, ms / (b - a) }'
echo "  load average after: $(load)"
