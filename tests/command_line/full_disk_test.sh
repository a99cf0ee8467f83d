#!/bin/sh
# Every file a subcommand writes, on a full file system: the run says so on standard error and
# in its exit code, and the old file stays byte for byte, with nothing new beside it. The full
# file system is a small tmpfs in a mount namespace of the test's own; standard output is
# /dev/full.
# Usage: full_disk_test.sh TRESSEL MORVANE SOURCE_DIR
tressel=$1 morvane=$2 golden=$3/tests/golden
if [ -z "$KMR_FULL_DISK_NAMESPACE" ]; then
    if [ "$(id -u)" -ne 0 ] || ! unshare -m true 2>/dev/null; then
        echo "SKIP: needs root and a mount namespace (unshare -m) for a small tmpfs"
        exit 77
    fi
    KMR_FULL_DISK_NAMESPACE=1 exec unshare -m sh "$0" "$@"
fi
fail=0
tmp=$(mktemp -d)
trap 'umount "$tmp/full" 2>/dev/null; rm -rf "$tmp"' EXIT
full=$tmp/full
mkdir "$full" "$tmp/old"
sed 's/"650"/"700"/' "$golden/factory_drive.frx" >"$tmp/p700.frx"
"$morvane" restore "$tmp/p700.frx" --simulate=latency=0,state="$tmp/old/state" </dev/null >/dev/null 2>&1
cp "$golden/factory_drive.frx" "$tmp/old/drive.frx"
echo "old curves" >"$tmp/old/a.csv"
echo "old trace" >"$tmp/old/trace"
# A log line does not fit in what is left of the log's last page: it would be written in part.
{ head -c 3999 /dev/zero | tr '\0' x && echo; } >"$tmp/old/log"

# row EXIT_CODE STANDARD_ERROR_TEXT KEPT_FILE PROGRAM ARG...
row() {
    code=$1 said=$2 kept=$3
    shift 3
    mount -t tmpfs -o size=64k tmpfs "$full" || exit 1
    cp "$tmp/old/"* "$full/"
    dd if=/dev/zero of="$full/filler" bs=4k 2>/dev/null
    before=$(ls -A "$full")
    "$@" </dev/null >/dev/null 2>"$tmp/err"
    rc=$?
    if [ $rc -ne "$code" ] || ! grep -qF -- "$said" "$tmp/err" || [ "$(ls -A "$full")" != "$before" ] ||
        { [ "$kept" != - ] && ! cmp -s "$tmp/old/$kept" "$full/$kept"; }; then
        echo "FAIL: $*: exit $rc (want $code), files: $(ls -A "$full" | tr '\n' ' '), said: $(cat "$tmp/err")"
        fail=1
    fi
    umount "$full"
}
row 3 "Unable to open file for writing" drive.frx "$morvane" backup "$full/drive.frx" --simulate=latency=0
row 3 "Unable to open file for writing" a.csv "$morvane" step-test --axis=1 --span=100 --csv="$full/a.csv" --simulate=latency=0
row 8 "cannot write the trace: No space left on device" trace "$morvane" disable --simulate=latency=0 --trace="$full/trace"
row 8 "cannot write the trace: No space left on device" - "$tressel" flash "$3/tools/demo/demo.vlf" --simulate=latency=0 --trace=/dev/full
row 8 "cannot write the log: No space left on device" log "$morvane" disable --simulate=latency=0 --log="$full/log"
row 8 "cannot be written: No space left on device" state "$morvane" restore "$golden/factory_drive.frx" --simulate=latency=0,state="$full/state"
# A failed run keeps its own code.
row 5 "cannot write the trace: No space left on device" trace "$morvane" disable --simulate=latency=0,power=off --trace="$full/trace"
# The result, and the trace sent after it, on a standard output that takes nothing.
# out EXIT_CODE STANDARD_ERROR_TEXT ARG...
out() {
    code=$1 said=$2
    shift 2
    "$morvane" "$@" </dev/null >/dev/full 2>"$tmp/err"
    rc=$?
    if [ $rc -ne "$code" ] || ! grep -qF -- "$said" "$tmp/err"; then
        echo "FAIL: $* >/dev/full: exit $rc (want $code), said: $(cat "$tmp/err")"
        fail=1
    fi
}
out 8 "cannot write the result: No space left on device" disable --simulate=latency=0
out 8 "cannot write the result: No space left on device" disable --simulate=latency=0 --json
out 8 "cannot write the trace: No space left on device" disable --simulate=latency=0 --trace=-
out 5 "cannot write the result: No space left on device" disable --simulate=latency=0,power=off
exit $fail
