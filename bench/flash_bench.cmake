# The flash benchmark runs the flasher's own procedure and window.
target_link_libraries(flash_bench PRIVATE flasher_window vlf_writer)
