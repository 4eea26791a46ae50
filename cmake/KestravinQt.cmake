# Qt 6 from Debian. The daemon needs only Core and DBus; the application and its
# tests need the rest.
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

find_package(Qt6 6.4 REQUIRED COMPONENTS Core DBus)
if(KESTRAVIN_BUILD_APP)
    find_package(Qt6 6.4 REQUIRED COMPONENTS Gui Widgets Network Svg Concurrent)
endif()
if(KESTRAVIN_BUILD_TESTS)
    find_package(Qt6 6.4 REQUIRED COMPONENTS Test HttpServer)
endif()
