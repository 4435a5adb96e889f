# What the end-to-end cases under Wine share; sourced by each case with
#   . bench.sh PROGRAM_EXE SIMULATOR_EXE SOURCE_DIR WORK_DIR
# The case runs in WORK_DIR (made empty). The device is the Linux simulator
# (TESSARIL_LINUX_SIMULATOR) on a pseudo-terminal mapped to a COM port of the
# Wine prefix, or the Windows simulator on one end of the runner's null-modem
# pair (TESSARIL_TEST_COM_PAIR). scripts/test-windows sets all of this up; a
# case run without it skips (exit 77) and says why.
set -euo pipefail
program=$1 simulator_exe=$2 source_dir=$3 work=$4
skip() {
  echo "skipped: $*"
  exit 77
}
[ -n "${WINEPREFIX:-}" ] || skip "no Wine prefix (run scripts/test-windows, or source scripts/wine-env)"
rm -rf "$work"
mkdir -p "$work/device"
cd "$work"

bench_pids=()
bench_links=()
bench_failures=0
bench_cleanup() {
  local pid
  for pid in "${bench_pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
  bench_pids=()
  for link in "${bench_links[@]}"; do rm -f "$link"; done
  return 0
}
trap bench_cleanup EXIT

# Plays the device with the Linux simulator on COM<N> of the prefix; the
# simulator's frames ("<" lines) go to device.log.
start_linux_device() {
  local n=$1
  shift
  [ -x "${TESSARIL_LINUX_SIMULATOR:-}" ] || skip "no Linux simulator (TESSARIL_LINUX_SIMULATOR)"
  "$TESSARIL_LINUX_SIMULATOR" --link "$work/device.pty" --folder "$work/device" -v "$@" >"$work/device.log" 2>&1 &
  bench_pids+=($!)
  for _ in $(seq 100); do [ -e "$work/device.pty" ] && break; sleep 0.05; done
  [ -e "$work/device.pty" ] || { cat "$work/device.log"; echo "the simulator did not start"; exit 1; }
  ln -sfn "$work/device.pty" "$WINEPREFIX/dosdevices/com$n"
  bench_links+=("$WINEPREFIX/dosdevices/com$n")
}

# Plays the device with the Windows simulator on the first port of the pair;
# echoes the number of the second, the host's.
start_windows_device() {
  local pair=${TESSARIL_TEST_COM_PAIR:-}
  [ -n "$pair" ] || skip "no COM pair (TESSARIL_TEST_COM_PAIR)"
  wine "$simulator_exe" --device "${pair%,*}" --folder device -v "$@" >"$work/device.log" 2>&1 &
  bench_pids+=($!)
  for _ in $(seq 100); do grep -q "playing the BUC" "$work/device.log" 2>/dev/null && break; sleep 0.05; done
  grep -q "playing the BUC on ${pair%,*}" "$work/device.log" || { cat "$work/device.log"; echo "no device"; exit 1; }
}

# Stops the device, so that its log is whole.
stop_device() { bench_cleanup; }

# buc_setup.ini with COM<N>; the command log goes to cmd_log/.
write_ini() {
  printf '[section1]\r\nsio_port=%s\r\nbit_rate=38400\r\nbit_len=8\r\ncmd_log_folder=cmd_log/\r\n' "$1" >buc_setup.ini
}

# An example script of examples/ with its port set to N, as FILE in the work folder.
example_for_port() {
  sed "s/^set port 1\$/set port $2/" "$source_dir/examples/$1" >"$3"
  grep -q "^set port $2\$" "$3"
}

# Runs the program headless with the arguments; its output goes to out.txt,
# its exit status to the variable status.
run_program() {
  status=0
  timeout 240 wine "$program" --headless "$@" >"$work/out.txt" 2>"$work/err.txt" || status=$?
}

check() {  # check WHAT COMMAND...: counts a failure when the command fails
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    bench_failures=$((bench_failures + 1))
  fi
}
count() { grep -c -- "$1" "$2" || true; }  # lines of FILE matching PATTERN
equal() { [ "$1" = "$2" ] || { echo "  got \"$1\", want \"$2\""; false; }; }

# Ends the case: the outputs on a failure, the status from the checks.
finish() {
  if [ "$bench_failures" -gt 0 ]; then
    for f in out.txt err.txt device.log; do [ -f "$f" ] && { echo "--- $f"; tail -n 40 "$f"; }; done
    exit 1
  fi
  exit 0
}
