# The Windows simulator under Wine on one end of the runner's null-modem pair,
# tessaril.exe on the other: Get Fault Status (examples/get_fault_status.txt)
# and its answer.
. "$(dirname "$0")/bench.sh" "$@"
pair=${TESSARIL_TEST_COM_PAIR:-}
host=${pair#*,}
start_windows_device
write_ini "${host#COM}"
example_for_port get_fault_status.txt "${host#COM}" script.txt
run_program --script script.txt
stop_device

check "the script ran" equal "$status" 0
check "the result field shows success" grep -q "^2401=RSP=Success(0x01)" out.txt
check "the device got the frame" equal "$(sed -n 's/^< //p' device.log | tr -d '\r')" "01 00 00 01 00 00 A9 78 C0"
answer=$(sed -n 's/^> //p' device.log | tr -d '\r')
check "the device answered" test -n "$answer"
check "its answer is what the program listed" equal "$(sed -n 's/^225:[0-9:.]* Rcv: //p' out.txt | tr -d '\r')" "$answer"
finish
