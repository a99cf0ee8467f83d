#!/bin/sh
# The subcommands run as a script runs them: standard input not a terminal, no display. Each row
# gives the exit code and a text that the one line on standard output must hold.
# Usage: subcommands_test.sh TRESSEL MORVANE SOURCE_DIR
tressel=$1 morvane=$2 demo=$3/tools/demo/demo.vlf golden=$3/tests/golden
fail=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# check EXPECTED_CODE EXPECTED_OUTPUT PROGRAM ARG...
check() {
    code=$1 text=$2
    shift 2
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" </dev/null 2>/dev/null)
    rc=$?
    lines=$(printf "%s" "$out" | grep -c "")
    # A refused command line prints nothing there; anything else prints one line.
    want=${LINES_WANTED:-1}
    [ "$code" -eq 2 ] && want=0
    if [ "$rc" -ne "$code" ] || [ "$lines" -ne "$want" ] || { [ -n "$text" ] && ! printf "%s" "$out" | grep -qF -- "$text"; }; then
        echo "FAIL: $*: exit $rc (want $code), printed: $out"
        fail=1
    fi
}
check 0 "flashed and verified: $demo (120 packets)" "$tressel" flash "$demo" --simulate=latency=0
check 3 "failed: Unable to load file or wrong type" "$tressel" flash missing.vlf --simulate
# A FIFO named as the image is refused, and the log's hashing must not block on it either.
mkfifo "$tmp/fifo"
check 3 "failed: Unable to load file or wrong type" timeout 20 "$tressel" flash "$tmp/fifo" --simulate --log="$tmp/fifo.log"
# A log, trace or simulated drive state that is a FIFO nobody writes or reads is refused at
# once, not waited on.
check 2 "" timeout 20 "$tressel" flash "$demo" --simulate --log="$tmp/fifo"
check 2 "" timeout 20 "$morvane" disable --simulate --trace="$tmp/fifo"
check 2 "" timeout 20 "$morvane" disable --simulate=state="$tmp/fifo"
check 5 "bootloader mode" "$tressel" flash "$demo" --simulate=mode=firmware,latency=0
check 5 "No data received" "$tressel" flash "$demo" --simulate=power=off,latency=0
check 6 "Connection to drive lost" "$tressel" flash "$demo" --simulate=latency=0,ber=2e-3,seed=1
check 4 "Unable to open USB adapter" "$tressel" flash "$demo" --adapter=NO-SUCH-ADAPTER
check 0 "" "$tressel" flash "$demo" --simulate=latency=0 --power-cycle-wait=0.1
for bad in "bogus --simulate" "flash --simulate" "flash $demo --bogus" "flash $demo --simulate=bogus" \
    "flash $demo --simulate --power-cycle-wait=soon" "flash $demo --simulate --power-cycle-wait=nan" "flash $demo --adapter=A --adapter=B"; do
    # shellcheck disable=SC2086
    check 2 "" "$tressel" $bad
done
check 0 "drive disabled" "$morvane" disable --simulate=latency=0
check 6 "Connection to drive lost" "$morvane" disable --simulate=latency=0,ber=2e-3,seed=1
check 5 "No data received" "$morvane" diagnose --simulate=power=off,latency=0
check 5 "Unsupported drive type found" "$morvane" diagnose --simulate=mode=bootloader,latency=0
check 2 "" "$morvane" flash "$demo" --simulate
check 2 "" "$morvane" backup "" --simulate
LINES_WANTED=19 check 0 "Fault register 0000" "$morvane" diagnose --simulate=latency=0
# link-test: every frame passed (0), replies that failed their CRC (7), no drive (5), --frames
# out of range or on another subcommand (2).
check 0 "300 frames: " "$morvane" link-test --frames=300 --simulate=latency=0
check 7 "failed: 300 frames: " "$tressel" link-test --frames=300 --simulate=latency=0,ber=1e-3,seed=3
check 5 "No data received" "$tressel" link-test --simulate=power=off,latency=0
# The fast link flashes as the standard one does; the sweep recommends a fast setting on a clean
# line and none on a line that fails every one; a link mode or gap out of its range is refused.
check 0 "flashed and verified: $demo (120 packets)" "$tressel" flash "$demo" --simulate=latency=0 --link=fast --word-gap=0
# Each USB transfer costs time here, as on a real adapter: the standard link pays it per word.
check 0 "fastest without a failure: --link=fast" "$morvane" link-test --sweep --frames=300 --simulate=latency=0.5
check 7 "failed: every setting had failures" "$tressel" link-test --sweep --frames=300 --simulate=latency=0,ber=1e-2,seed=3
for bad in "link-test --frames=0" "link-test --frames=1000001" "disable --frames=5" "disable --link=quick" \
    "disable --word-gap=5" "disable --link=fast --word-gap=10001" "disable --link=fast --word-gap=+5" \
    "disable --link=fast --link=standard"; do
    # shellcheck disable=SC2086
    check 2 "" "$morvane" $bad --simulate
done
# --json: every line of standard output is a JSON object; the last is the result, whose exit
# code is the process's. A flash shows its writing as a few progress events, not one a packet.
dir=$tmp
# json_check EXPECTED_CODE JQ_TEST_OF_THE_LINES PROGRAM ARG...
json_check() {
    code=$1 test=$2
    shift 2
    "$@" --json </dev/null >"$dir/out" 2>/dev/null
    rc=$?
    if [ "$rc" -ne "$code" ] || ! jq -se --argjson rc "$rc" "last.exit_code == \$rc and ($test)" \
        "$dir/out" >/dev/null; then
        echo "FAIL: $* --json: exit $rc (want $code), printed: $(cat "$dir/out")"
        fail=1
    fi
}
json_check 0 'any(.[]; .event == "progress" and .phase == "write" and .done == 120)
    and ([.[] | select(.phase == "write")] | length) < 30
    and last.result == "done" and (last.message | startswith("flashed and verified"))
    and last.sha256 == "'"$(sha256sum "$demo" | cut -d" " -f1)"'" and last.version == "109"' \
    "$tressel" flash "$demo" --simulate=latency=0
json_check 3 'length == 1 and .[0].result == "failed"' "$tressel" flash missing.vlf --simulate
json_check 0 'all(.[:-1][]; .event == "progress") and (last.message | contains("Fault register 0000"))' \
    "$morvane" diagnose --simulate=latency=0
json_check 2 'length == 1 and .[0].result == "failed"' "$tressel" flash "$demo" --simulate --trace=-
json_check 2 'length == 1 and .[0].result == "failed"' "$tressel" flash "$demo" --simulate=bogus
# --trace=FILE takes the frames; standard output keeps only the result. With --trace=- the
# frames come first and the result line last.
check 0 "flashed and verified" "$tressel" flash "$demo" --simulate=latency=0 --trace="$dir/trace"
grep -q "^009,49928 " "$dir/trace" || { echo "FAIL: no erase frame in the trace file"; fail=1; }
out=$("$morvane" disable --simulate=latency=0 --trace=- </dev/null 2>/dev/null)
if [ "$(printf "%s\n" "$out" | tail -n 1)" != "drive disabled" ] ||
    [ "$(printf "%s" "$out" | grep -c "^[0-9]\{3\},[0-9]\{5\} ")" -lt 10 ]; then
    echo "FAIL: --trace=- printed: $out"
    fail=1
fi
# --log appends one line per run with the run's facts; a log that cannot be opened stops the
# run before the drive is touched.
LINES_WANTED=19 check 0 "Fault register" "$morvane" diagnose --simulate=latency=0 --log="$dir/log"
check 5 "bootloader mode" "$tressel" flash "$demo" --simulate=mode=firmware,latency=0 --log="$dir/log"
if ! jq -se --arg demo "$demo" 'length == 2
    and (.[0] | .program == "morvane" and .subcommand == "diagnose" and .adapter == "simulated"
        and .exit_code == 0 and .result == "done" and (.version | length > 0)
        and (.time | test("^20[0-9-]{8}T[0-9:.]+Z$")) and .duration_s > 0)
    and (.[1] | .program == "tressel" and .file == $demo and (.sha256 | length == 64)
        and .exit_code == 5 and (.message | contains("bootloader mode")))' "$dir/log" >/dev/null; then
    echo "FAIL: log: $(cat "$dir/log")"
    fail=1
fi
err=$("$tressel" flash "$demo" --simulate=latency=0 --log="$dir/no/such/dir/log" </dev/null 2>&1 >/dev/null)
rc=$?
if [ "$rc" -ne 2 ] || [ "$(printf "%s\n" "$err" | head -n 1)" != "tressel: cannot open the log $dir/no/such/dir/log: No such file or directory" ]; then
    echo "FAIL: unwritable log: exit $rc, said: $err"
    fail=1
fi
# The progress line: on a terminal it is rewritten in place up to the last packet; a script
# reading standard error gets none.
err=$(script -qec "'$tressel' flash '$demo' --simulate=latency=0 </dev/null >/dev/null" /dev/null)
printf "%s" "$err" | grep -q "$(printf '\r')write 120/120" || { echo "FAIL: no progress line: $err"; fail=1; }
err=$("$tressel" flash "$demo" --simulate=latency=0 </dev/null 2>&1 >/dev/null)
printf "%s" "$err" | grep -q "write" && { echo "FAIL: progress without a terminal: $err"; fail=1; }
# backup writes the bytes of the window's save of the same drive (the window test holds the
# window to that file), and replaces the file when run again; restore reads back what it sent.
check 0 "saved: $tmp/drive.frx" "$morvane" backup "$tmp/drive.frx" --simulate=latency=0
check 0 "saved: $tmp/drive.frx" "$morvane" backup "$tmp/drive" --simulate=latency=0
cmp "$tmp/drive.frx" "$golden/factory_drive.frx" || fail=1
# What restore stores, the next run's drive holds.
sed 's/"650"/"700"/' "$tmp/drive.frx" >"$tmp/p700.frx"
check 0 "restored and read back: $tmp/p700.frx" "$morvane" restore "$tmp/p700.frx" \
    --simulate=latency=0,state="$tmp/drive.state"
check 0 "saved: $tmp/again.frx" "$morvane" backup "$tmp/again" --simulate=latency=0,state="$tmp/drive.state"
cmp "$tmp/again.frx" "$tmp/p700.frx" || fail=1
check 7 "parameter 200 sent 700, found 500" "$morvane" restore "$tmp/p700.frx" \
    --simulate=latency=0,clamp=200:500
# show and diff only read: their traces hold no frame but the no-op (002) and the read request
# (052). A backup diffs empty against its drive; one value changed in the file is one line and 7.
LINES_WANTED=25 check 0 "Motor continuous current, axis 1 (parameter 410): 2600 mA" "$morvane" show \
    --simulate=latency=0 --trace="$tmp/show.trace"
check 0 "the drive holds the settings of $tmp/drive.frx" "$morvane" diff "$tmp/drive.frx" \
    --simulate=latency=0 --trace="$tmp/diff.trace"
frames=$(cat "$tmp/show.trace" "$tmp/diff.trace" | grep -o "^[0-9]\{3\}," | sort -u | tr -d "\n")
[ "$frames" = "002,052," ] || { echo "FAIL: show and diff sent frames $frames"; fail=1; }
json_check 7 'last.message == "parameter 200 (P gain (Kp), axis 1): file 700, drive 650\nfailed: 1 setting differs from '"$tmp"'/p700.frx"
    and last.differences == [{"parameter": 200, "name": "P gain (Kp), axis 1", "file": "700", "drive": "650"}]' \
    "$morvane" diff "$tmp/p700.frx" --simulate=latency=0
json_check 0 '[last.axes[] | .axis, (.settings | length)] == [1, 12, 2, 13]
    and last.axes[1].settings[3] == {"name": "Motor inductance, axis 2", "parameter": 8501, "value": "3.00", "unit": "mH"}' \
    "$morvane" show --simulate=latency=0
# A refused file or settings cost no drive work: an unpowered drive would give 5.
printf "<SetupFRX><Param80" >"$tmp/broken.frx"
check 3 "File read failed" "$morvane" restore "$tmp/broken.frx" --simulate=power=off,latency=0
sed 's/"2600"/"7000"/' "$tmp/drive.frx" >"$tmp/over.frx"
check 7 "can't be greater than peak current" "$morvane" restore "$tmp/over.frx" --simulate=power=off
# So is a file that the window would load only with a warning.
sed 's/Version="100"/Version="101"/' "$tmp/drive.frx" >"$tmp/v101.frx"
check 3 "Unsupported version of Ferrox settings file" "$morvane" restore "$tmp/v101.frx" --simulate=power=off
check 3 "Unsupported version of Ferrox settings file" "$morvane" diff "$tmp/v101.frx" --simulate=power=off
grep -v "<Param410 " "$tmp/drive.frx" >"$tmp/lacking.frx"
check 3 "Error in config file" "$morvane" restore "$tmp/lacking.frx" --simulate=power=off
# A value the writer would not write, a parameter given twice: named, and the file refused.
for value in abc "" 650.7 1e3 "6 50" -1 0x28a 65536; do
    sed "s/\"650\"/\"$value\"/" "$tmp/drive.frx" >"$tmp/value.frx"
    check 3 "Param200 holds \"$value\", not a whole decimal number from 0 to 32767" \
        "$morvane" restore "$tmp/value.frx" --simulate=power=off
done
check 3 "Param200 holds \"65536\"" "$morvane" diff "$tmp/value.frx" --simulate=power=off
sed 's#</SetupFRX># <Param200 Type="uint16" Value="700"/>\n</SetupFRX>#' "$tmp/drive.frx" >"$tmp/twice.frx"
check 3 'Param200 appears more than once: the later "700" is not loaded' \
    "$morvane" restore "$tmp/twice.frx" --simulate=power=off
check 3 'Param200 appears more than once' "$morvane" diff "$tmp/twice.frx" --simulate=power=off
# The sample table goes with the trace: standard error stays empty on a good run.
out=$("$morvane" step-test --axis=2 --span=100 --csv="$tmp/a2.csv" --simulate=latency=0 </dev/null 2>"$tmp/err")
[ -s "$tmp/err" ] && { echo "FAIL: step-test wrote to standard error: $(head -n 3 "$tmp/err")"; fail=1; }
figures=$(printf "%s" "$out" | sed -n 's/^Peak error \([0-9]*\) counts, undershoot \([0-9]*\) counts, settling time \([0-9]*\) ms\.$/peak error \1 counts, undershoot \2 counts, settling time \3 ms/p')
header="# Axis 2, span 100 ms, Kp 600, Ki 110, Kd 680, peak current 5500 mA, continuous current 2400 mA, $figures"
if [ -z "$figures" ] || [ "$(head -n 1 "$tmp/a2.csv")" != "$header" ] || [ "$(grep -c "" "$tmp/a2.csv")" -ne 502 ]; then
    echo "FAIL: step-test printed '$out', CSV starts '$(head -n 1 "$tmp/a2.csv")'"
    fail=1
fi
# The phases a script follows, as the workflows announce them.
json_check 0 '[.[] | select(.event == "progress") | .phase] == ["connect", "import", "apply", "read-back"]' \
    "$morvane" restore "$tmp/p700.frx" --simulate=latency=0
json_check 0 'any(.[]; .phase == "download")' "$morvane" step-test --axis=1 --span=100 --simulate=latency=0
for bad in "--axis=3 --span=100" "--span=100" "--axis=1 --span=250" "--axis=1 --csv=$tmp/x.csv"; do
    # shellcheck disable=SC2086
    check 2 "" "$morvane" step-test $bad --simulate=power=off
done
# The unit a production line names goes into the log and the JSON result; a name that could not
# be filed (empty, over 64 characters, a control or invisible character, blanks at an end) or
# read (a kernel's file) is refused. --retries runs
# a flash or restore again after a lost link, no drive or a failed check, one log line an
# attempt, the last attempt's exit code; no other subcommand takes it. A flash done whose log
# line is lost is not done (8); a failed one keeps its code.
printf "SN-0042\r\nnext\n" >"$tmp/scanned"
long=$(printf "%065d" 0)
printf "SN-0043" >"$tmp/scanned-without-break"
for bad in "--unit=" "--unit=$long" "--unit=a$(printf '\t')b" "--unit-from=$tmp/none" "--unit-from=/dev/zero" \
    "--unit=U-$(printf '\342\200\256')7140" "--unit= U-1" "--unit-from=/proc/self/environ" \
    "--retries=11" "--retries=-1"; do
    check 2 "" "$tressel" flash "$demo" --simulate=latency=0 "$bad"
done
check 2 "" "$morvane" disable --simulate --retries=1
check 2 "" "$morvane" disable --simulate --unit=a --unit-from="$tmp/scanned"
check 0 "drive disabled" "$morvane" disable --simulate=latency=0 --unit="${long#0}" --log="$dir/units"
check 5 "No data received" "$morvane" restore "$tmp/p700.frx" --simulate=power=off,latency=0 --retries=1 \
    --unit-from="$tmp/scanned" --log="$dir/units"
check 0 "flashed and verified" "$tressel" flash "$demo" --simulate=latency=0,ber=2e-7,seed=1 --retries=3 --log="$dir/units"
check 6 "Connection to drive lost" "$tressel" flash "$demo" --simulate=latency=0,ber=2e-3,seed=1 --retries=1 --log="$dir/units"
if ! jq -se --arg long "${long#0}" '[.[] | [.unit, .attempt, .exit_code]] == [[$long, 1, 0],
    ["SN-0042", 1, 5], ["SN-0042", 2, 5], [null, 1, 6], [null, 2, 0], [null, 1, 6], [null, 2, 6]]' \
    "$dir/units" >/dev/null; then
    echo "FAIL: units and attempts: $(cat "$dir/units")"
    fail=1
fi
json_check 0 'last.unit == "SN-0042"' "$morvane" disable --simulate=latency=0 --unit-from="$tmp/scanned"
json_check 0 'last.unit == "SN-0043"' "$morvane" disable --simulate=latency=0 --unit-from="$tmp/scanned-without-break"
check 8 "flashed and verified" "$tressel" flash "$demo" --simulate=latency=0 --log=/dev/full
json_check 8 'last.result == "failed"' "$tressel" flash "$demo" --simulate=latency=0 --log=/dev/full
check 5 "bootloader mode" "$tressel" flash "$demo" --simulate=mode=firmware,latency=0 --log=/dev/full
# The box that asks for the power cycle appears as plain text on standard error.
err=$("$tressel" flash "$demo" --simulate=power=off,latency=0 </dev/null 2>&1 >/dev/null)
if printf "%s" "$err" | grep -q "<"; then
    echo "FAIL: markup on standard error: $err"
    fail=1
fi
# The help, asked for alone or after a subcommand, names the subcommands, their output options
# and the exit codes.
for help in "$tressel --help" "$tressel flash --help" "$morvane --help"; do
    # shellcheck disable=SC2086
    out=$($help 2>&1)
    for text in "flash IMAGE.vlf" "diagnose" "6 link lost" "--json" "--log=FILE" "--log=journal" "--trace=FILE" "--axis=1|2" "--unit=ID" "8 done"; do
        case "$help:$text" in *morvane*flash* | *tressel*diagnose | *tressel*--axis*) continue ;; esac
        printf "%s" "$out" | grep -qF -- "$text" || { echo "FAIL: $help lacks '$text'"; fail=1; }
    done
done
exit $fail
