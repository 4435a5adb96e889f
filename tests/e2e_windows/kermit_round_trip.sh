# A calibration file to the Linux simulator and back over Kermit, from
# tessaril.exe under Wine through COM13 (examples/calibration_round_trip.txt):
# both copies equal the original byte for byte.
. "$(dirname "$0")/bench.sh" "$@"
# Every byte value, runs for the repeat prefix and the protocol's prefix
# characters. It is sent from upload/: Windows names are case-blind, and the
# copy fetched back as CAL_DATA.XML would land on cal_data.xml.
mkdir upload
{
  printf '<calibration unit="sample">\n'
  for _ in 1 2 3 4; do printf "$(printf '\\%03o' $(seq 0 255))"; done
  head -c 600 /dev/zero | tr '\0' '#'
  printf '</calibration>\n'
} >upload/cal_data.xml
start_linux_device 13
write_ini 13
example_for_port calibration_round_trip.txt 13 round_trip.txt
sed -i 's|^choose cal_data.xml$|choose upload/cal_data.xml|' round_trip.txt
grep -q "^choose upload/cal_data.xml$" round_trip.txt
run_program --trace --script round_trip.txt
stop_device

check "both cases pass" equal "$status" 0
check "the send ended well" grep -q "SND_OK" out.txt
check "the receive ended well" grep -q "RCV_OK" out.txt
check "the device's copy is the file" cmp upload/cal_data.xml device/CAL_DATA.XML
check "the copy fetched back is the file" cmp upload/cal_data.xml CAL_DATA.XML
finish
