# The configuration window here, the flasher window in flasher_responsiveness_bench (both
# windows' classes have the same name).
target_link_libraries(responsiveness_bench PRIVATE morvane_window Qt::Test)
