# The parallel flash benchmark starts the real tressel program on the demo image.
target_compile_definitions(parallel_flash_bench PRIVATE KMR_TRESSEL="$<TARGET_FILE:tressel>"
    KMR_DEMO_IMAGE="${PROJECT_SOURCE_DIR}/tools/demo/demo.vlf")
add_dependencies(parallel_flash_bench tressel)
