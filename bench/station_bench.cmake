# The station benchmark runs the real station window offscreen and the real tressel program,
# both on the demo image.
target_link_libraries(station_bench PRIVATE station_window startup_options)
target_compile_definitions(station_bench PRIVATE KMR_TRESSEL="$<TARGET_FILE:tressel>"
    KMR_DEMO_IMAGE="${PROJECT_SOURCE_DIR}/tools/demo/demo.vlf")
add_dependencies(station_bench tressel)
