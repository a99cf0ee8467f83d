# Checks that a program's manual page and metainfo, as they are installed, name the version the
# program prints.
#   cmake -DPROGRAM=build/programs/morvane -DPAGES=build/packaging -P check_versions.cmake
execute_process(COMMAND ${PROGRAM} --version OUTPUT_VARIABLE printed RESULT_VARIABLE status
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT status EQUAL 0 OR NOT printed MATCHES "^([a-z]+) ([0-9.]+)$")
    message(FATAL_ERROR "${PROGRAM} --version printed '${printed}' (exit ${status})")
endif()
set(name ${CMAKE_MATCH_1})
set(version ${CMAKE_MATCH_2})
file(STRINGS ${PAGES}/${name}.1 title REGEX "^\\.TH ")
file(STRINGS ${PAGES}/${name}.metainfo.xml release REGEX "<release ")
if(NOT title MATCHES "\"${name} ${version}\"" OR NOT release MATCHES "version=\"${version}\"")
    message(FATAL_ERROR "${name} ${version}: the manual page says '${title}', the metainfo "
                        "'${release}'")
endif()
