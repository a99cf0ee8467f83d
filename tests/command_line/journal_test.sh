#!/bin/sh
# --log=journal on a journal daemon of the test's own, started in a mount namespace of its own
# so that nothing of the machine's /run is seen or changed: refused before the drive is touched
# while no journal listens, then two records read back with journalctl, then a record lost when
# the daemon goes away during the run.
# Usage: journal_test.sh TRESSEL SOURCE_DIR
tressel=$1 source=$2 demo=$2/tools/demo/demo.vlf
id=8c1e4b7a2f5d4e6b9a0c3d2e1f4a5b6c
if [ -z "$KMR_JOURNAL_NAMESPACE" ]; then
    if [ "$(id -u)" -ne 0 ] || ! unshare -m true 2>/dev/null || [ ! -x /lib/systemd/systemd-journald ]; then
        echo "SKIP: needs root, a mount namespace (unshare -m) and systemd-journald"
        exit 77
    fi
    KMR_JOURNAL_NAMESPACE=1 exec unshare -m sh "$0" "$@"
fi
fail=0
tmp=$(mktemp -d)
mount -t tmpfs tmpfs /run && mkdir -p /run/systemd/journal /run/log/journal || exit 1
[ -d /var/log/journal ] && mount -t tmpfs tmpfs /var/log/journal
journald=
trap '[ -n "$journald" ] && kill "$journald"; rm -rf "$tmp"' EXIT
run() { "$tressel" flash "$demo" --log=journal "$@" </dev/null >"$tmp/out" 2>"$tmp/err"; }

run --simulate=latency=0,state="$tmp/state" --trace="$tmp/trace"
if [ $? -ne 2 ] || ! grep -q "no system journal here: " "$tmp/err" || [ -e "$tmp/state" ] || [ -e "$tmp/trace" ]; then
    echo "FAIL: without a journal: $(cat "$tmp/err")"
    fail=1
fi
(cd "$tmp" && "$tressel" flash "$demo" --simulate=latency=0 --log=./journal </dev/null >/dev/null 2>&1)
[ -s "$tmp/journal" ] || { echo "FAIL: --log=./journal wrote no file"; fail=1; }

/lib/systemd/systemd-journald &
journald=$!
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -S /run/systemd/journal/socket ] && break; sleep 0.5; done
run --simulate=latency=0 --unit=U-17 || { echo "FAIL: flash U-17: $(cat "$tmp/err")"; fail=1; }
run --simulate=mode=firmware,latency=0 --unit=U-18
for _ in 1 2 3 4 5 6 7 8 9 10; do
    journalctl -o json --no-pager MESSAGE_ID=$id >"$tmp/records.json" 2>/dev/null
    [ "$(grep -c "" "$tmp/records.json")" -ge 2 ] && break
    sleep 0.5
done
if ! jq -se --arg demo "$demo" 'length == 2
    and (.[0] | .MESSAGE == "tressel flash unit U-17: flashed and verified: \($demo) (120 packets)"
        and .PRIORITY == "6" and .SYSLOG_IDENTIFIER == "tressel" and .KMR_RESULT == "done"
        and .KMR_EXIT_CODE == "0" and .KMR_UNIT == "U-17" and .KMR_ATTEMPT == "1"
        and .KMR_ADAPTER == "simulated" and .KMR_FILE == $demo and (.KMR_SHA256 | length == 64)
        and .KMR_VERSION == "109" and (.KMR_DURATION_S | tonumber > 0)
        and (.KMR_TIME | test("^20[0-9-]{8}T[0-9:.]+Z$")))
    and (.[1] | .PRIORITY == "3" and .KMR_EXIT_CODE == "5" and .KMR_RESULT == "failed"
        and (.MESSAGE | startswith("tressel flash unit U-18: failed: ")))' "$tmp/records.json" >/dev/null; then
    echo "FAIL: journal records: $(cat "$tmp/records.json")"
    fail=1
fi
# The report reader's fixture is one such output: it must carry the fields written now.
ours='map(with_entries(select(.key | test("^(KMR_|MESSAGE|PRIORITY$|SYSLOG_IDENTIFIER$)"))) | keys)'
if [ "$(jq -sc "$ours" "$tmp/records.json")" != "$(jq -sc "$ours" "$source/tests/command_line/journal_records.json")" ]; then
    echo "FAIL: the fields differ from tests/command_line/journal_records.json"
    fail=1
fi
# The line's report reads the journal's records back as it reads a log.
report=$("$tressel" report --json - <"$tmp/records.json")
if ! echo "$report" | jq -e '.runs == 2 and .units == 2 and .first_pass_yield == 0.5
        and .skipped_lines == 0 and .failures_by_class == {"no_drive": 1}' >/dev/null; then
    echo "FAIL: report of the journal: $report"
    fail=1
fi
[ -n "$KMR_KEEP_JOURNAL_RECORDS" ] && cp "$tmp/records.json" "$KMR_KEEP_JOURNAL_RECORDS"

# The daemon goes away during the power-cycle pause: the work is done, its record lost.
run --simulate=latency=0 --power-cycle-wait=2 &
flash=$!
sleep 0.5
kill "$journald" && wait "$journald"
journald=
wait $flash
rc=$?
if [ $rc -ne 8 ] || ! grep -q "^tressel: cannot write the journal: " "$tmp/err" || ! grep -q "flashed and verified" "$tmp/out"; then
    echo "FAIL: journal gone: exit $rc, said: $(cat "$tmp/err")"
    fail=1
fi
exit $fail
