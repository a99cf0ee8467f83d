# The noise benchmark runs the configuration window and the flashing procedure on the demo image.
target_link_libraries(noise_bench PRIVATE morvane_window flasher_workflows)
target_compile_definitions(noise_bench PRIVATE KMR_DEMO_IMAGE="${PROJECT_SOURCE_DIR}/tools/demo/demo.vlf")
