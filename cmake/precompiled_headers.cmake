# Precompiled system headers for the Windows builds. Every Windows unit
# includes <windows.h> and much of the standard library, and parsing them is
# most of what compiling one unit costs with the MinGW compilers: each
# library target parses them once into a precompiled header, and the targets
# of one or a few units reuse a library's. Only system headers are
# precompiled, never the project's own: a file still has to include each
# header of ours it uses, so the include directions between the layers stay
# what the files say (tests/check_layers.py reads them). The platform-free
# core gets the standard library alone, so that a platform-free file cannot
# use Windows without including it (and the native build would not build).
#
# The precompiled header is named by its path in the build folder, which the
# file-prefix maps of cmake/reproducible.cmake take out of the objects like
# any other build path.

#
# <string>, <cstring> and <cstdio> stay out: with them precompiled, GCC 12
# no longer takes the inlined string copies for system code, and reports
# -Wstringop-overread and -Warray-bounds in them that it keeps quiet about
# when the headers are parsed as text.
set(CANVAS_PCH_STANDARD <algorithm> <cstdint> <functional> <memory> <new> <optional> <vector>)
set(CANVAS_PCH_WINDOWS ${CANVAS_PCH_STANDARD} <windows.h>)

# ccache can cache a unit compiled with a precompiled header only when told
# that the header's macros and time stamps may be taken as they are (the
# precompiled header is rebuilt whenever what it includes changes).
if(CCACHE_PROGRAM)
    set(launcher ${CMAKE_COMMAND} -E env CCACHE_SLOPPINESS=pch_defines,time_macros
        ${CCACHE_PROGRAM})
    set(CMAKE_C_COMPILER_LAUNCHER ${launcher})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher})
endif()

# Called once every target exists: the targets are the plug-in's and the
# host's libraries, the DLLs, the host and the Windows tests. A target reusing
# another's header is compiled with that target's options, so each one reuses
# a target of the same code-generation options.
function(canvas_precompile_headers)
    target_precompile_headers(canvas_core PRIVATE ${CANVAS_PCH_STANDARD})
    target_precompile_headers(canvas_impl PRIVATE ${CANVAS_PCH_WINDOWS})
    foreach(user canvas_plugin canvas_plugin_diagnostic canvas_failure_diagnostic)
        target_precompile_headers(${user} REUSE_FROM canvas_impl)
    endforeach()
    target_precompile_headers(canvas_host_lib PRIVATE ${CANVAS_PCH_WINDOWS})
    target_precompile_headers(canvas-host REUSE_FROM canvas_host_lib)
    # Each Windows test is a program of one file: one header for them all.
    target_precompile_headers(win_test_support PRIVATE ${CANVAS_PCH_WINDOWS})
    get_property(tests DIRECTORY ${CMAKE_SOURCE_DIR}/tests PROPERTY BUILDSYSTEM_TARGETS)
    foreach(test ${tests})
        if(test MATCHES "^test_")
            target_precompile_headers(${test} REUSE_FROM win_test_support)
        endif()
    endforeach()
endfunction()
