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
check 5 "bootloader mode" "$tressel" flash "$demo" --simulate=mode=firmware,latency=0
check 5 "No data received" "$tressel" flash "$demo" --simulate=power=off,latency=0
check 6 "Connection to drive lost" "$tressel" flash "$demo" --simulate=latency=0,ber=2e-3,seed=1
check 4 "Unable to open USB adapter" "$tressel" flash "$demo" --adapter=NO-SUCH-ADAPTER
check 0 "" "$tressel" flash "$demo" --simulate=latency=0 --power-cycle-wait=0.1
for bad in "bogus --simulate" "flash --simulate" "flash $demo --bogus" "flash $demo --simulate=bogus" \
    "flash $demo --simulate --power-cycle-wait=soon"; do
    # shellcheck disable=SC2086
    check 2 "" "$tressel" $bad
done
check 0 "drive disabled" "$morvane" disable --simulate=latency=0
check 5 "No data received" "$morvane" diagnose --simulate=power=off,latency=0
check 5 "Unsupported drive type found" "$morvane" diagnose --simulate=mode=bootloader,latency=0
check 2 "" "$morvane" flash "$demo" --simulate
LINES_WANTED=19 check 0 "Fault register 0000" "$morvane" diagnose --simulate=latency=0
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
# A refused file or settings cost no drive work: an unpowered drive would give 5.
printf "<SetupFRX><Param80" >"$tmp/broken.frx"
check 3 "File read failed" "$morvane" restore "$tmp/broken.frx" --simulate=power=off,latency=0
sed 's/"2600"/"7000"/' "$tmp/drive.frx" >"$tmp/over.frx"
check 7 "can't be greater than peak current" "$morvane" restore "$tmp/over.frx" --simulate=power=off
out=$("$morvane" step-test --axis=2 --span=100 --csv="$tmp/a2.csv" --simulate=latency=0 </dev/null 2>/dev/null)
figures=$(printf "%s" "$out" | sed -n 's/^Peak error \([0-9]*\) counts, undershoot \([0-9]*\) counts, settling time \([0-9]*\) ms\.$/peak error \1 counts, undershoot \2 counts, settling time \3 ms/p')
header="# Axis 2, span 100 ms, Kp 600, Ki 110, Kd 680, peak current 5500 mA, continuous current 2400 mA, $figures"
if [ -z "$figures" ] || [ "$(head -n 1 "$tmp/a2.csv")" != "$header" ] || [ "$(grep -c "" "$tmp/a2.csv")" -ne 502 ]; then
    echo "FAIL: step-test printed '$out', CSV starts '$(head -n 1 "$tmp/a2.csv")'"
    fail=1
fi
for bad in "--axis=3 --span=100" "--span=100" "--axis=1 --span=250" "--axis=1 --csv=$tmp/x.csv"; do
    # shellcheck disable=SC2086
    check 2 "" "$morvane" step-test $bad --simulate=power=off
done
# The box that asks for the power cycle appears as plain text on standard error.
err=$("$tressel" flash "$demo" --simulate=power=off,latency=0 </dev/null 2>&1 >/dev/null)
if printf "%s" "$err" | grep -q "<"; then
    echo "FAIL: markup on standard error: $err"
    fail=1
fi
# The help, asked for alone or after a subcommand, names the subcommands and the exit codes.
for help in "$tressel --help" "$tressel flash --help" "$morvane --help"; do
    # shellcheck disable=SC2086
    out=$($help 2>&1)
    for text in "flash IMAGE.vlf" "diagnose" "6 link lost"; do
        case "$help:$text" in *morvane*flash* | *tressel*diagnose) continue ;; esac
        printf "%s" "$out" | grep -qF -- "$text" || { echo "FAIL: $help lacks '$text'"; fail=1; }
    done
done
exit $fail
