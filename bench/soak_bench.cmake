# The soak runs the configuration window and the flashing procedure on the demo image, and the
# real programs under unplugs and power cuts (fault_runs).
target_link_libraries(soak_bench PRIVATE morvane_window flasher_workflows fault_runs)
target_compile_definitions(soak_bench PRIVATE KMR_DEMO_IMAGE="${PROJECT_SOURCE_DIR}/tools/demo/demo.vlf"
    KMR_MORVANE="$<TARGET_FILE:morvane>" KMR_TRESSEL="$<TARGET_FILE:tressel>"
    KMR_UMOCKDEV_WRAPPER="${UMOCKDEV_WRAPPER}")
add_dependencies(soak_bench morvane tressel)
