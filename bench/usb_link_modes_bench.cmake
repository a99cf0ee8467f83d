# The emulated chip runs on umockdev's mocked bus; the benchmark starts itself under its wrapper.
target_sources(usb_link_modes_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/usb_chip_fixture.cpp)
target_link_libraries(usb_link_modes_bench PRIVATE usb_chip flasher_workflows vlf_writer)
target_compile_definitions(usb_link_modes_bench PRIVATE KMR_UMOCKDEV_WRAPPER="${UMOCKDEV_WRAPPER}")
