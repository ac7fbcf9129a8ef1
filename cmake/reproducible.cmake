# The same commit built in any folder, at any time, gives the same bytes:
# the DLL's version and PE time stamps come from the commit (cmake/version.py),
# and no build path reaches the objects.

# Debian's interpreter, the one that also runs the checks.
find_program(SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)

# Sources and generated files are named relative to their tree in __FILE__
# and in debug information. (Not for the resource compiler, which has no
# such option.)
add_compile_options(
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=>"
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=>")

# The version header and the source date, brought up to date on every build
# and rewritten only when they change.
set(CANVAS_VERSION_DIR ${CMAKE_BINARY_DIR}/version)
set(CANVAS_VERSION_SCRIPT ${CMAKE_SOURCE_DIR}/cmake/version.py)
add_custom_target(canvas_version
    COMMAND ${SYSTEM_PYTHON} ${CANVAS_VERSION_SCRIPT} header ${CANVAS_VERSION_DIR}
    BYPRODUCTS ${CANVAS_VERSION_DIR}/canvas_version.h ${CANVAS_VERSION_DIR}/source_date_epoch
    COMMENT "Version and source date from VERSION and git"
    VERBATIM)

# Runs a tool with SOURCE_DATE_EPOCH set to the source date. The linker and
# objcopy both write the PE time stamp, objcopy anew each time it rewrites a
# file (stripping, the debug link), from the clock unless this is set.
set(CANVAS_WITH_SOURCE_DATE ${SYSTEM_PYTHON} ${CANVAS_VERSION_SCRIPT} with-source-date
    ${CANVAS_VERSION_DIR})
set(CMAKE_OBJCOPY ${CANVAS_WITH_SOURCE_DATE} ${CMAKE_OBJCOPY})

# Gives each existing target of the plug-in its version resource (see
# res/canvas.rc) and links it with the source date.
function(canvas_stamp_products)
    foreach(product ${ARGN})
        if(NOT TARGET ${product})
            continue()
        endif()
        add_dependencies(${product} canvas_version)
        target_include_directories(${product} PRIVATE ${CANVAS_VERSION_DIR})
        target_compile_definitions(${product} PRIVATE CANVAS_VERSIONINFO)
        set_property(TARGET ${product} PROPERTY CXX_LINKER_LAUNCHER ${CANVAS_WITH_SOURCE_DATE})
        set_property(SOURCE ${CMAKE_SOURCE_DIR}/res/canvas.rc TARGET_DIRECTORY ${product} APPEND
            PROPERTY OBJECT_DEPENDS ${CANVAS_VERSION_DIR}/canvas_version.h)
    endforeach()
endfunction()
