# skyvane_add_qtest(<name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <seconds>])
# Builds one QtTest executable linked with the application library and registers it with CTest.
# Each test executable gets a directory of its own: the application directory is where the program
# keeps skyvane.cfg, logs/ and protocol_stats.log, and tests running in parallel must not share them.
# Every test runs headless: offscreen platform, software Qt Quick backend.
function(skyvane_add_qtest name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE skyvane_core skyvane_testsupport Qt5::Test ${ARG_LIBS})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/testbin/${name})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp")
endfunction()
