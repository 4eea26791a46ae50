# One interface target carries the warning and sanitizer flags; every target of
# the project links it instead of setting flags of its own.
add_library(kestravin_options INTERFACE)
add_library(Kestravin::options ALIAS kestravin_options)

option(KESTRAVIN_WERROR "Treat compiler warnings as errors" OFF)

target_compile_options(kestravin_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
    -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
if(KESTRAVIN_WERROR)
    target_compile_options(kestravin_options INTERFACE -Werror)
endif()

if(KESTRAVIN_SANITIZE)
    target_compile_options(kestravin_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(kestravin_options INTERFACE -fsanitize=address,undefined)
endif()

# Strings from the user interface are Portuguese: every literal must say its
# encoding (u"..."_s, QStringLiteral), never go through an implicit Latin-1 cast.
target_compile_definitions(kestravin_options INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_NO_KEYWORDS
    QT_DISABLE_DEPRECATED_BEFORE=0x060400)

# The libFuzzer programs need coverage feedback from the code they drive.
if(KESTRAVIN_BUILD_FUZZERS)
    target_compile_options(kestravin_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

# lld links the large sanitizer-instrumented test programs in about two thirds
# of the time GNU ld takes; the default linker stays when lld is missing.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld KESTRAVIN_HAVE_LLD)
if(KESTRAVIN_HAVE_LLD)
    target_link_options(kestravin_options INTERFACE -fuse-ld=lld)
endif()
