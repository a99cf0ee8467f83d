#!/bin/sh
# Both programs started as on a machine without a display: they say so and exit 1 instead of the
# toolkit aborting, while an unknown option is refused with exit code 2 before a display is sought.
# Usage: no_display_test.sh PROGRAM...
fail=0
# check PROGRAM DISPLAY EXPECTED_CODE EXPECTED_TEXT [ARG...]
check() {
    program=$1 display=$2 code=$3 text=$4
    shift 4
    err=$(env -u QT_QPA_PLATFORM DISPLAY="$display" WAYLAND_DISPLAY= "$program" "$@" 2>&1 >/dev/null)
    rc=$?
    if [ "$rc" -ne "$code" ] || { [ -n "$text" ] && ! printf "%s" "$err" | grep -qF -- "$text"; }; then
        echo "FAIL: DISPLAY='$display' $program $*: exit $rc, said: $err"
        fail=1
    fi
}
for program in "$@"; do
    name=$(basename "$program")
    check "$program" "" 1 "$name: no display to show the window on"
    check "$program" "" 1 "$name: no display" --simulate -reverse
    check "$program" "" 2 "$name: Unknown option 'bogus'" --bogus
    check "$program" "" 0 "" --version
done
exit $fail
