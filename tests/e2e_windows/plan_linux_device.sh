# The example test plan (15 Get commands, each answer checked) from
# tessaril.exe under Wine through COM12, which opens only under its long name
# \\.\COM12, to the Linux simulator. The frames the program logged are the
# frames the device saw, byte for byte, both ways.
. "$(dirname "$0")/bench.sh" "$@"
printf '<calibration/>\n' >device/BUC_CAL.XML
start_linux_device 12
write_ini 12
example_for_port get_commands_plan.txt 12 plan.txt
run_program --script plan.txt --junit report.xml
stop_device

check "the plan passes" equal "$status" 0
check "every expectation held" equal "$(count '^30 passed, 0 failed' out.txt)" 1
log=$(cat cmd_log/Clog*.txt 2>/dev/null | tr -d '\r')
sent=$(sed -n 's/^[0-9:.]* Snd: \([0-9A-F]\)/\1/p' <<<"$log")
received=$(sed -n 's/^[0-9:.]* Rcv: \([0-9A-F]\)/\1/p' <<<"$log")
check "a frame for each of the 15 commands at least" test "$(grep -c . <<<"$sent")" -ge 15
check "the frames sent are the frames the device got" equal "$sent" "$(sed -n 's/^< //p' device.log)"
check "the answers logged are the answers the device gave" equal "$received" "$(sed -n 's/^> //p' device.log)"
check "the command log has the decoded answers" grep -q "Rcv:FAULT=00000000" <<<"$log"
check "the JUnit report has 15 cases, none failed" grep -q 'tests="15" failures="0"' report.xml
finish
