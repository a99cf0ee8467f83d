#!/usr/bin/env bash
# Builds every fuzzer (clang and libFuzzer, in one build call), runs each from its corpus in the
# repository for SECONDS (default 60), and prints one table: runs, executions a second and the
# final coverage (libFuzzer's cov: and ft:). Fails, with the end of its log, on a fuzzer that
# found something; the input is then in the log's folder, which is kept.
#   bash tools/fuzz.sh [SECONDS] [HARNESS...]      (all harnesses when none is named)
#   KMR_FUZZ_BUILD=DIR picks the build folder (default build-fuzz).
#   KMR_FUZZ_RUNS=N stops each harness after N runs, if that comes before SECONDS.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift $(($# > 0 ? 1 : 0))
all=(image_loader settings_open settings_text image_bytes sim_options drive_state subcommand_line
    report_lines unit_label)
harnesses=("${@:-${all[@]}}")
dir=${KMR_FUZZ_BUILD:-build-fuzz}

cmake -S . -B "$dir" -DKMR_FUZZ=ON -DKMR_WERROR=ON -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)" --target "${all[@]/%/_fuzzer}"

# The in-memory harnesses share the seeds of their file-based twins.
corpus_of() {
    case $1 in
        settings_text) echo settings_open ;;
        image_bytes) echo image_loader ;;
        *) echo "$1" ;;
    esac
}

runs_limit=()
[ -n "${KMR_FUZZ_RUNS:-}" ] && runs_limit=(-runs="$KMR_FUZZ_RUNS")

table=$(printf '%-16s %10s %8s %10s %8s %8s' harness runs seconds exec/s cov ft)
for fuzzer in "${harnesses[@]}"; do
    # libFuzzer adds what it finds to its first folder; the repository's stays. The log stays
    # out of that folder, or the fuzzer would take its own log for an input.
    work=$(mktemp -d)
    mkdir "$work"/corpus
    cp tests/fuzz/corpus/"$(corpus_of "$fuzzer")"/* "$work"/corpus/
    quiet=()
    # The runner's refusals go to standard error, one a run.
    [ "$fuzzer" = subcommand_line ] && quiet=(-close_fd_mask=2)
    echo "--- ${fuzzer}_fuzzer, ${seconds} s"
    started=$SECONDS
    # libFuzzer purges the sanitizer's allocator every second once the memory passes half the
    # limit: past a million runs that took a third of the time in the kernel and cut the rate to
    # a quarter. Without it the memory grows slowly (830 MB after 600,000 runs of report_lines),
    # hence the 4 GiB limit.
    (cd "$work" && ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen TMPDIR="$work" \
        "$OLDPWD/$dir/tests/fuzz/${fuzzer}_fuzzer" -max_total_time="$seconds" -timeout=5 \
        -rss_limit_mb=4096 -purge_allocator_interval=-1 -max_len=8192 -print_final_stats=1 \
        "${runs_limit[@]}" "${quiet[@]}" corpus >fuzz.log 2>&1) || {
        tail -n 40 "$work"/fuzz.log
        echo "fuzz.sh: ${fuzzer}_fuzzer found a fault; its log and input are in $work" >&2
        exit 1
    }
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work"/fuzz.log)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work"/fuzz.log)
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$work"/fuzz.log | tail -n 1 | awk '{print $2, $4}')
    table+=$'\n'$(printf '%-16s %10s %8s %10s %8s %8s' "$fuzzer" "$runs" $((SECONDS - started)) \
        "$rate" ${cov:-? ?})
    rm -rf "$work"
done
echo "$table"
