# The streaming report benchmark runs the real tressel program.
target_compile_definitions(report_stream_bench PRIVATE KMR_TRESSEL="$<TARGET_FILE:tressel>")
add_dependencies(report_stream_bench tressel)
