#!/bin/sh
# The line's report on a simulated line: four units flashed at once into one log, one of them on
# a noisy line whose first attempt loses the link and whose retry passes (that seed's errors);
# the report must count exactly that. Then what report refuses, and an empty log.
# Usage: line_report_test.sh TRESSEL SOURCE_DIR
tressel=$1 demo=$2/tools/demo/demo.vlf
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail=0
check() {  # check WHAT EXPECTED ACTUAL
    [ "$2" = "$3" ] || { echo "FAIL: $1: expected $2, got $3"; fail=1; }
}
pids=""
for unit in 1 2 3 4; do
    line=latency=0
    [ "$unit" = 4 ] && line=latency=0,ber=1e-6,seed=2
    "$tressel" flash "$demo" --simulate="$line" --unit="U-$unit" --retries=2 \
        --log="$dir/line.jsonl" </dev/null >/dev/null 2>&1 &
    pids="$pids $!"
done
for pid in $pids; do
    wait "$pid" || { echo "FAIL: a flasher exited with $?"; fail=1; }
done
"$tressel" report --json --html="$dir/line.html" "$dir/line.jsonl" >"$dir/report.json"
check "report's exit code" 0 $?
check "figures" \
    '{"runs":5,"units":4,"first_pass_yield":0.75,"final_yield":1,"failures_by_class":{"link_lost":1},"adapters":[{"adapter":"simulated","runs":5,"failures":1,"alarm":false}]}' \
    "$(jq -c '{runs,units,first_pass_yield,final_yield,failures_by_class,adapters:[.adapters[]|{adapter,runs,failures,alarm}]}' "$dir/report.json")"
check "page's charts" 3 "$(grep -c '<svg' "$dir/line.html")"
check "text summary" "5 runs, 4 units, first-pass yield 75.0 %, final yield 100.0 %" \
    "$("$tressel" report - <"$dir/line.jsonl" | head -n 1)"
check "empty log" "0 null" "$(: | "$tressel" report --json - | jq -r '"\(.runs) \(.final_yield)"')"
# The same log twice, or a copy of it, holds no more runs: the second copies are counted apart.
cp "$dir/line.jsonl" "$dir/copy.jsonl"
check "a log and its copy" "5 4 5" "$("$tressel" report --json "$dir/line.jsonl" - "$dir/copy.jsonl" \
    <"$dir/line.jsonl" | jq -r '"\(.runs) \(.units) \(.duplicate_records / 2)"')"
# A device may never end: refused before a byte is read, by name or as standard input.
timeout 10 "$tressel" report /dev/zero >"$dir/out" 2>&1
check "report of a device" 2 $?
grep -q "cannot read the log /dev/zero: a device" "$dir/out" || { echo "FAIL: $(cat "$dir/out")"; fail=1; }
timeout 10 "$tressel" report - </dev/zero >/dev/null 2>&1
check "report of a device as standard input" 2 $?
"$tressel" report "$dir/line.jsonl" --simulate >/dev/null 2>&1
check "report with --simulate" 2 $?
"$tressel" report "$dir/missing.jsonl" >"$dir/out" 2>&1
check "missing log" 2 $?
grep -q "cannot read the log $dir/missing.jsonl" "$dir/out" || { echo "FAIL: no reason"; fail=1; }
[ $fail = 0 ] || cat "$dir/line.jsonl"
exit $fail
