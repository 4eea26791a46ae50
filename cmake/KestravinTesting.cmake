# Test registration helpers. Every test is labelled `unit`, `integration` or `gui`
# so that a run can pick a kind with `ctest -L`.
find_package(GTest REQUIRED)
include(GoogleTest)

# kestravin_add_gtest(NAME SOURCES ... LIBS ... [LABEL unit|integration|gui]
#                     [TIMEOUT seconds])
# gtest_discover_tests hands its PROPERTIES on as one flat list, which cannot
# carry a list-valued ENVIRONMENT; a test that needs more variables sets them
# itself (qputenv in its fixture or main).
function(kestravin_add_gtest name)
    cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_LABEL)
        set(ARG_LABEL unit)
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock Kestravin::options)
    if(NOT "GTest::gtest_main" IN_LIST ARG_LIBS AND NOT "kestravin_test_main" IN_LIST ARG_LIBS
            AND NOT "Kestravin::test_x_application_main" IN_LIST ARG_LIBS)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_TIMEOUT 60
        PROPERTIES
            LABELS "${ARG_LABEL}"
            TIMEOUT ${ARG_TIMEOUT}
            ENVIRONMENT QT_QPA_PLATFORM=offscreen)
endfunction()

# kestravin_add_qtest(NAME SOURCES ... LIBS ... [LABEL ...] [ENVIRONMENT ...])
# One Qt Test executable registered as one CTest test.
function(kestravin_add_qtest name)
    cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
    if(NOT ARG_LABEL)
        set(ARG_LABEL unit)
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test Kestravin::options)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        LABELS "${ARG_LABEL}"
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${ARG_ENVIRONMENT}")
endfunction()
