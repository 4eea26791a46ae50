# Test registration helpers. Every test is labelled `unit`, `integration` or `gui`
# so that a run can pick a kind with `ctest -L`.
find_package(GTest REQUIRED)
include(GoogleTest)

# Parsing GoogleTest and the Qt headers is most of what a test file costs to
# compile, so every GoogleTest program reuses one precompiled header of them.
# GCC takes a precompiled header only where every macro defined when it was made
# is defined alike, so its host defines nothing of its own: it borrows the Qt
# include folders and compile options without the per-module QT_*_LIB macros
# (which none of these headers reads), and nothing links it.
add_library(kestravin_test_pch OBJECT EXCLUDE_FROM_ALL "${CMAKE_CURRENT_LIST_DIR}/TestPch.cpp")
set_target_properties(kestravin_test_pch PROPERTIES AUTOMOC OFF)
target_link_libraries(kestravin_test_pch PRIVATE GTest::gtest GTest::gmock Kestravin::options)
# Qt's headers test QT_NO_DEBUG, which Qt's targets define outside Debug
# builds: the header must be built with it wherever the tests have it.
target_compile_definitions(kestravin_test_pch PRIVATE $<$<NOT:$<CONFIG:Debug>>:QT_NO_DEBUG>)
set(kestravin_pch_qt Qt6::Core)
set(kestravin_pch_headers
    <gtest/gtest.h> <gmock/gmock.h>
    <QByteArray> <QCoreApplication> <QDateTime> <QDir> <QFile> <QFileInfo> <QHash>
    <QJsonArray> <QJsonDocument> <QJsonObject> <QList> <QObject> <QPointer> <QString>
    <QStringList> <QTemporaryDir> <QTimeZone> <QTimer> <QUrl> <QVariant>)
if(TARGET Qt6::Widgets)
    list(APPEND kestravin_pch_qt Qt6::Gui Qt6::Widgets)
    list(APPEND kestravin_pch_headers
        <QColor> <QImage> <QPainter> <QPixmap> <QApplication> <QLabel> <QWidget>)
endif()
foreach(module IN LISTS kestravin_pch_qt)
    target_include_directories(kestravin_test_pch SYSTEM PRIVATE
        $<TARGET_PROPERTY:${module},INTERFACE_INCLUDE_DIRECTORIES>)
    target_compile_options(kestravin_test_pch PRIVATE $<TARGET_PROPERTY:${module},INTERFACE_COMPILE_OPTIONS>)
endforeach()
target_precompile_headers(kestravin_test_pch PRIVATE ${kestravin_pch_headers})

# kestravin_add_gtest(NAME SOURCES ... LIBS ... [LABEL unit|integration|gui]
#                     [TIMEOUT seconds] [RESOURCE_LOCK name])
# Tests that hold the same RESOURCE_LOCK never run at the same time (the real
# browsers, which would share a small machine's cores).
# gtest_discover_tests hands its PROPERTIES on as one flat list, which cannot
# carry a list-valued ENVIRONMENT; a test that needs more variables sets them
# itself (qputenv in its fixture or main).
function(kestravin_add_gtest name)
    cmake_parse_arguments(ARG "" "LABEL;TIMEOUT;RESOURCE_LOCK" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_LABEL)
        set(ARG_LABEL unit)
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock Kestravin::options)
    target_precompile_headers(${name} REUSE_FROM kestravin_test_pch)
    if(NOT "GTest::gtest_main" IN_LIST ARG_LIBS AND NOT "kestravin_test_main" IN_LIST ARG_LIBS
            AND NOT "Kestravin::test_x_application_main" IN_LIST ARG_LIBS)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    set(lock)
    if(ARG_RESOURCE_LOCK)
        set(lock RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_TIMEOUT 60
        PROPERTIES
            LABELS "${ARG_LABEL}"
            TIMEOUT ${ARG_TIMEOUT}
            ENVIRONMENT QT_QPA_PLATFORM=offscreen
            ${lock})
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
