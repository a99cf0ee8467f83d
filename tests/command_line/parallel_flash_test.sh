#!/bin/sh
# The production line's recipe: four flashers started together, one simulated drive each at the
# default latency so that their work overlaps, all appending to one log. Each must verify, and
# the log must hold four whole lines, each one run's JSON object.
# Usage: parallel_flash_test.sh TRESSEL SOURCE_DIR
tressel=$1 demo=$2/tools/demo/demo.vlf
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail=0
pids=""
for unit in 1 2 3 4; do
    "$tressel" flash "$demo" --simulate --log="$dir/line.jsonl" </dev/null >"$dir/out$unit" 2>&1 &
    pids="$pids $!"
done
for pid in $pids; do
    wait "$pid" || { echo "FAIL: a flasher exited with $?"; fail=1; }
done
lines=$(grep -c "" "$dir/line.jsonl")
whole=0
while IFS= read -r line; do
    printf "%s" "$line" | jq -e '.result == "done" and .exit_code == 0 and .subcommand == "flash"' \
        >/dev/null && whole=$((whole + 1))
done <"$dir/line.jsonl"
if [ "$lines" -ne 4 ] || [ "$whole" -ne 4 ]; then
    echo "FAIL: $lines lines, $whole whole runs in the log:"
    cat "$dir/line.jsonl" "$dir"/out*
    fail=1
fi
exit $fail
