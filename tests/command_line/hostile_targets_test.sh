#!/bin/bash
# What a careless line or an attacker names as a run's files and output, run as processes:
# targets that are no file to replace, outputs over inputs, a reader that goes away, repeated
# options, terminal escapes in what is printed, and saturated step-test figures.
# Usage: hostile_targets_test.sh TRESSEL MORVANE SOURCE_DIR
tressel=$1 morvane=$2 demo=$3/tools/demo/demo.vlf
fail=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp" || exit 1
fast=--simulate=latency=0
say() { echo "FAIL: $*"; fail=1; }
printf '{"time":"2024-05-01T08:00:00.000Z","program":"tressel","subcommand":"flash","adapter":"FT1","exit_code":0,"result":"done","duration_s":40,"attempt":1}\n' >log.jsonl
cp log.jsonl kept.jsonl
# Each hostile target twice, the second with the suffix that backup gives its file.
for suffix in "" .frx; do
    mkfifo fifo$suffix
    ln -s log.jsonl link.html$suffix
    ln -s nowhere dangling.csv$suffix
    mkdir folder$suffix
    # A character device of our own: /dev/null's numbers, made here, never the real one.
    mknod null$suffix c 1 3 2>/dev/null || noDevice="note: cannot make a device node here; its rows are left out"
done
${noDevice:+echo "$noDevice"}

# refused EXIT TARGET PROGRAM ARG...: the run ends with EXIT, says why on standard error, and
# leaves TARGET what it was (its type and its bytes).
refused() {
    code=$1 target=$2
    shift 2
    [ "$target" != - ] && [ ! -e "$target" ] && [ ! -L "$target" ] && return
    before=$(stat -c %F "$target" 2>/dev/null; [ -f "$target" ] && ! [ -L "$target" ] && md5sum <"$target")
    before+=$(readlink "$target")
    timeout 30 "$@" </dev/null >out 2>err
    rc=$?
    after=$(stat -c %F "$target" 2>/dev/null; [ -f "$target" ] && ! [ -L "$target" ] && md5sum <"$target")
    after+=$(readlink "$target")
    if [ "$rc" -ne "$code" ] || [ "$before" != "$after" ] || ! [ -s err ]; then
        say "$*: exit $rc (want $code), target $before -> $after, said: $(cat err)"
    fi
}
for target in null fifo link.html folder dangling.csv; do
    refused 3 "$target" "$tressel" report --html="$target" log.jsonl
    refused 3 "$target" "$morvane" step-test --axis=1 --span=100 --csv="$target" $fast
    refused 3 "$target.frx" "$morvane" backup "$target" $fast
done
# The file a symbolic link names is the one to give; the link, the dangling one too, is refused.
grep -q "symbolic link" err || say "no word of the link: $(cat err)"
refused 2 link.html "$morvane" disable $fast --trace=link.html
refused 2 folder "$morvane" disable $fast --trace=folder
# The simulated drive's state file is replaced whole like the others.
refused 3 dangling.csv "$morvane" disable --simulate=latency=0,state=dangling.csv
# An output naming a file that the same run reads or writes otherwise, under any of its names.
refused 2 log.jsonl "$tressel" report --html=log.jsonl log.jsonl
refused 2 log.jsonl "$tressel" report --html=./log.jsonl kept.jsonl log.jsonl
refused 2 log.jsonl "$tressel" flash "$demo" $fast --trace=log.jsonl --log=log.jsonl
refused 2 kept.jsonl "$morvane" disable $fast --trace="$tmp/kept.jsonl" --unit-from=kept.jsonl
cp "$demo" image.vlf
refused 2 image.vlf "$tressel" flash image.vlf $fast --trace=image.vlf
refused 2 - "$morvane" backup drive $fast --trace=drive.frx
[ -e drive.frx ] && say "backup wrote drive.frx over its own trace"
# A device or a FIFO is the trace's stream, written and never replaced.
if [ -c null ]; then
    "$morvane" disable $fast --trace=null </dev/null >/dev/null 2>&1 && [ -c null ] ||
        say "--trace to a device: exit $?, now $(stat -c %F null)"
fi
# Repeated options: each at most once.
for twice in "--log=a.log --log=b.log" "--json --json" "--unit=U1 --unit=U2" "--trace=a --trace=b"; do
    # shellcheck disable=SC2086
    refused 2 - "$morvane" disable $fast $twice
done
refused 2 - "$tressel" report --html=a.html --html=b.html log.jsonl
refused 2 - "$morvane" step-test --axis=1 --axis=2 $fast
[ -e a.log ] || [ -e b.log ] && say "a repeated --log wrote a log"

# A reader gone before the run ends: standard output is a pipe with no reader from the start.
# The flash, and tune's check of its gains, run to their end, the log has the run's line, and
# the exit code says its record is lost.
closed() {
    mkfifo pipe && exec 3<>pipe && exec 4>pipe && exec 3<&- && rm pipe
    timeout 60 "$@" </dev/null >&4 2>err
    rc=$?
    exec 4>&-
    return $rc
}
closed "$tressel" flash "$demo" $fast --json --log=closed.log
rc=$?
jq -e 'select(.subcommand == "flash") | .exit_code == 8 and (.message | startswith("flashed and verified"))' \
    closed.log >/dev/null && [ "$rc" -eq 8 ] || say "flash into a closed pipe: exit $rc, log $(cat closed.log 2>&1), said $(cat err)"
closed "$morvane" disable $fast --trace=- --log=closed.log
rc=$?
[ "$rc" -eq 8 ] && [ "$(jq -s '[.[] | select(.subcommand == "disable") | .exit_code] == [8]' closed.log)" = true ] ||
    say "--trace=- into a closed pipe: exit $rc, said $(cat err)"
closed "$morvane" tune --axis=1 --bandwidth=60 --apply $fast --json --log=closed.log
rc=$?
jq -e 'select(.subcommand == "tune") | .exit_code == 8 and .kept == true' closed.log >/dev/null && [ "$rc" -eq 8 ] ||
    say "tune --apply into a closed pipe: exit $rc, log $(tail -n 1 closed.log)"

# Printed on a terminal, a field cannot drive it or forge a line: an adapter holding a title
# escape, a line break and a right-to-left override; a subcommand name holding a C1 control.
esc=$(printf '\033')
printf '{"time":"2024-05-01T09:00:00.000Z","program":"tressel","subcommand":"fl\\u009bash","adapter":"FT2\\u001b]0;owned\\u0007\\n9 runs, 9 units, first-pass yield 100.0 %%\\u202e","exit_code":0,"result":"done","duration_s":40,"attempt":1}\n' >evil.jsonl
out=$("$tressel" report log.jsonl evil.jsonl)
printf "%s" "$out" | grep -q "$esc\|$(printf '\xe2\x80\xae')\|$(printf '\xc2\x9b')\|^9 runs" && say "report printed raw fields: $out"
printf "%s" "$out" | grep -qF 'FT2\x1b]0;owned\x07\x0a9 runs, 9 units, first-pass yield 100.0 %\u202e' ||
    say "report did not escape the adapter: $out"
err=$("$morvane" "bog${esc}]0;x" 2>&1)
printf "%s" "$err" | grep -q "$esc" && say "a refusal printed the escape: $err"
out=$("$morvane" backup "clear${esc}[2J" $fast 2>/dev/null)
[ "$out" = 'saved: clear\x1b[2J.frx' ] || say "a result printed the name raw: $out"

# A limp axis under load drives the error past the 16-bit figure: the run says so and fails.
out=$("$morvane" step-test --axis=1 --span=100 --csv=limp.csv --simulate=latency=0,gain_scale=0.001,load=5 2>/dev/null)
rc=$?
[ "$rc" -eq 7 ] && printf "%s" "$out" | grep -q "^failed: saturated at the 16-bit limit (peak error, curves)" ||
    say "saturated step test: exit $rc, printed $out"
head -n 1 limp.csv | grep -q "peak error 65535 counts (saturated), undershoot 0 counts, settling time >500 ms, curves saturated$" ||
    say "saturated CSV header: $(head -n 1 limp.csv)"
exit $fail
