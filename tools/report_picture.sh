#!/bin/sh
# The manual's picture of the line report: a seeded shift of eight stations flashing with
# retries (one station's contacts going bad after noon), its report as an HTML page, painted.
#   tools/report_picture.sh BUILD_DIR OUT.png
build=$1 out=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
awk 'BEGIN {
    srand(7)
    split("A10KX3QP A10KX9ZT A10KXB71 A10KXC02 A10KXD45 A10KXE18 A10KXF63 A10KXG90", adapter, " ")
    split("5 6 6 7", code, " ")
    split("no_drive link_lost link_lost drive_failed", name, " ")
    sha = "4f2a9c0e71b35d8a6e0c9b1f2d3a4e5f60718293a4b5c6d7e8f90a1b2c3d4e5f"
    t = 8 * 3600
    for (unit = 1; unit <= 640; ++unit) {
        a = int(rand() * 8) + 1
        t += 45
        for (attempt = 1; attempt <= 3; ++attempt) {
            rate = (a == 3 && t > 12 * 3600) ? 0.12 : 0.02
            failed = rand() < rate
            c = failed ? code[int(rand() * 4) + 1] : 0
            printf "{\"result\":\"%s\",\"exit_code\":%d,\"message\":\"\",\"file\":\"fw.vlf\",", \
                failed ? "failed" : "done", c
            printf "\"sha256\":\"%s\",\"unit\":\"U-%04d\",\"time\":\"2026-12-07T%02d:%02d:%02d.000Z\",", \
                sha, unit, int(t / 3600), int(t % 3600 / 60), t % 60
            printf "\"program\":\"tressel\",\"subcommand\":\"flash\",\"adapter\":\"%s\",", adapter[a]
            printf "\"duration_s\":%.2f,\"attempt\":%d}\n", 40 + rand() * 3 + (failed ? -20 : 0), attempt
            if (!failed) break
            t += 50
        }
    }
}' >"$dir/line.jsonl"
"$build/programs/tressel" report --html="$dir/line.html" "$dir/line.jsonl" &&
    QT_QPA_PLATFORM=offscreen "$build/tools/report_page_picture" "$dir/line.html" "$out"
