# The emulated chip runs on umockdev's mocked bus; the benchmark starts itself under its wrapper.
target_sources(usb_chip_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/usb_chip_fixture.cpp)
target_link_libraries(usb_chip_bench PRIVATE usb_chip)
target_compile_definitions(usb_chip_bench PRIVATE KMR_UMOCKDEV_WRAPPER="${UMOCKDEV_WRAPPER}")
target_link_libraries(usb_chip_bench PRIVATE flasher_workflows)
