# The long run drives the configuration window here and the flasher window in long_run_flasher,
# a program of its own beside it (both windows' classes have the same name).
target_link_libraries(long_run_bench PRIVATE morvane_window startup_options)
add_executable(long_run_flasher long_run_flasher.cpp)
target_link_libraries(long_run_flasher PRIVATE flasher_window startup_options test_support)
target_compile_definitions(long_run_flasher PRIVATE
    KMR_DEMO_IMAGE="${PROJECT_SOURCE_DIR}/tools/demo/demo.vlf")
add_dependencies(long_run_bench long_run_flasher)
