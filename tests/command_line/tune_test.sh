#!/bin/sh
# morvane tune on the simulated drive: the result's JSON fields, gains kept when the test with
# them matches the prediction, and the old gains put back when it cannot (the drive keeps at
# most 700 of P, so the proposed 1499 never reaches the axis).
# Usage: tune_test.sh MORVANE
morvane=$1
fail=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# tune EXPECTED_CODE JQ_TEST STATE[,MORE_SIMULATE_KEYS] ARG...: the last line of --json output
# must pass the test.
tune() {
    code=$1 test=$2 state=$3
    shift 3
    "$morvane" tune --axis=1 --json --simulate="latency=0,state=$tmp/$state" "$@" </dev/null >"$tmp/out" 2>/dev/null
    rc=$?
    if [ "$rc" -ne "$code" ] || ! tail -n 1 "$tmp/out" | jq -e "$test" >/dev/null; then
        echo "FAIL: tune $*: exit $rc (want $code): $(tail -n 1 "$tmp/out")"
        fail=1
    fi
}
# gain_p STATE: the P gain of axis 1 the drive keeps.
gain_p() {
    "$morvane" backup "$tmp/$1.frx" --simulate="latency=0,state=$tmp/$1" </dev/null >/dev/null 2>&1
    sed -n 's/.*<Param200 Type="uint16" Value="\([0-9]*\)".*/\1/p' "$tmp/$1.frx"
}
tune 0 '(.identified | has("inertia_a_s2_per_count") and has("viscous_a_s_per_count") and
    has("coulomb_a") and has("load_a") and has("current_lag_ms") and .fit_percent > 80) and
    (.proposed | .bandwidth_hz == 40 and .damping == 1 and .p > 0 and .i > 0 and .d > 0 and
    (.predicted | has("peak_error") and has("undershoot") and has("settling_ms"))) and
    (has("kept") | not)' plain --log="$tmp/log"
grep -q '"proposed":{' "$tmp/log" || { echo "FAIL: the log lacks the proposal"; fail=1; }
[ "$(gain_p plain)" = 650 ] || { echo "FAIL: tune without --apply changed P"; fail=1; }
tune 0 '.kept == true and .measured.peak_error == .proposed.predicted.peak_error and
    .validation_fit_percent > 80' kept --bandwidth=60 --apply
[ "$(gain_p kept)" = "$(tail -n 1 "$tmp/out" | jq '.proposed.p')" ] || { echo "FAIL: kept gains not on the drive"; fail=1; }
tune 7 '.kept == false and (.message | contains("the old gains are back"))' clamped,clamp=200:700 \
    --bandwidth=60 --apply
[ "$(gain_p clamped)" = 650 ] || { echo "FAIL: the old P was not put back"; fail=1; }
tune 7 '(.message | contains("Not offered at 200 Hz")) and (has("kept") | not)' refused --bandwidth=200 --apply
for bad in --bandwidth=fast --damping=0 --axis=3; do
    "$morvane" tune --axis=1 $bad --simulate </dev/null >/dev/null 2>&1
    [ $? -eq 2 ] || { echo "FAIL: tune $bad not refused"; fail=1; }
done
exit $fail
