# Windows builds (win32 = the product, win64 = its 64-bit twin): the DLL, the
# reference host and the Windows test programs, which ctest runs under Wine.
set(WIN_DEFINES UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
set(WIN_SYSTEM_LIBS user32 gdi32 comctl32 comdlg32 ole32)
# The runtime goes into every binary so that it imports only system DLLs.
set(WIN_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tests/win/wine-run;${CANVAS_WINE_ARCH})

target_compile_definitions(canvas_core PUBLIC ${WIN_DEFINES})
target_compile_definitions(host_core PUBLIC ${WIN_DEFINES})

# Everything of the plug-in except its exports and DllMain.
add_library(canvas_impl STATIC ${WIN_SOURCES})
target_include_directories(canvas_impl PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(canvas_impl PRIVATE ${CANVAS_WARNINGS})
target_link_libraries(canvas_impl PUBLIC canvas_core ${WIN_SYSTEM_LIBS})

# The module definition names the module and lists the undecorated exports.
# The 32-bit file carries the stdcall argument sizes (`name@N`) that the
# linker strips with --kill-at; the 64-bit build has no such decoration.
set(DEF_SOURCE ${CMAKE_SOURCE_DIR}/res/canvas.def)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    file(READ ${DEF_SOURCE} def_text)
    string(REGEX REPLACE "@[0-9]+" "" def_text "${def_text}")
    set(DEF_FILE ${CMAKE_BINARY_DIR}/canvas64.def)
    file(WRITE ${DEF_FILE} "${def_text}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${DEF_SOURCE})
else()
    set(DEF_FILE ${DEF_SOURCE})
endif()

add_library(canvas_plugin SHARED ${DLL_ONLY_SOURCES} ${DEF_FILE} ${CMAKE_SOURCE_DIR}/res/canvas.rc)
set_target_properties(canvas_plugin PROPERTIES PREFIX "" OUTPUT_NAME "canvas" SUFFIX ".nbp")
target_compile_options(canvas_plugin PRIVATE ${CANVAS_WARNINGS})
target_link_libraries(canvas_plugin PRIVATE canvas_impl)
target_link_options(canvas_plugin PRIVATE ${WIN_STATIC_RUNTIME} -Wl,--kill-at -Wl,--enable-stdcall-fixup)
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/canvas.rc PROPERTIES OBJECT_DEPENDS
    ${CMAKE_SOURCE_DIR}/res/canvas.ico)

# The reference host: a library the tests use to play the host, and the
# `canvas-host` program built on it.
add_library(canvas_host_lib STATIC ${HOST_WIN_SOURCES})
target_include_directories(canvas_host_lib PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(canvas_host_lib PRIVATE ${CANVAS_WARNINGS})
target_link_libraries(canvas_host_lib PUBLIC host_core canvas_core ${WIN_SYSTEM_LIBS})
add_executable(canvas-host ${CMAKE_SOURCE_DIR}/host/main_win.cpp)
target_compile_options(canvas-host PRIVATE ${CANVAS_WARNINGS})
target_link_libraries(canvas-host PRIVATE canvas_host_lib)
target_link_options(canvas-host PRIVATE ${WIN_STATIC_RUNTIME} -municode)
add_dependencies(canvas-host canvas_plugin)

# GoogleTest compiled from Debian's sources with the cross compiler.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Each tests/win/test_*.cpp is one program and one ctest test: one process
# per program is what the slow emulated 32-bit tier can afford.
file(GLOB WIN_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/support/*.cpp)
add_library(win_test_support STATIC ${WIN_SUPPORT})
target_link_libraries(win_test_support PUBLIC canvas_impl canvas_host_lib gtest)
file(GLOB WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/test_*.cpp)
# Programs that drive the keyboard focus or read pixels off the screen run
# alone: all programs share one display, and a window another program
# activates or shows there takes the focus away or covers theirs.
set(WIN_SERIAL_TESTS test_ui test_picture test_editor)
foreach(src ${WIN_TESTS})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src} ${CMAKE_SOURCE_DIR}/res/canvas.rc)
    target_compile_options(${name} PRIVATE ${CANVAS_WARNINGS})
    target_compile_definitions(${name} PRIVATE CANVAS_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    target_link_libraries(${name} PRIVATE win_test_support gtest_main)
    target_link_options(${name} PRIVATE ${WIN_STATIC_RUNTIME})
    # Black-box tests load canvas.nbp and may start canvas-host.exe beside them.
    add_dependencies(${name} canvas_plugin canvas-host)
    add_test(NAME ${CANVAS_WINE_ARCH}.${name} COMMAND ${name})
    set_tests_properties(${CANVAS_WINE_ARCH}.${name} PROPERTIES
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin TIMEOUT 900)
    if(name IN_LIST WIN_SERIAL_TESTS)
        set_tests_properties(${CANVAS_WINE_ARCH}.${name} PROPERTIES RUN_SERIAL TRUE)
    endif()
endforeach()

# Static checks of the shipped 32-bit binary itself. The interpreter is named
# by its path: an executable target would be started through the emulator,
# and Wine loses the exit code of a Linux program, so the test could not fail.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    add_test(NAME pe.canvas_nbp COMMAND ${Python3_EXECUTABLE}
        ${CMAKE_SOURCE_DIR}/tests/pe/check_pe.py $<TARGET_FILE:canvas_plugin>)
endif()

#--- Shipping: the lean DLL and the distribution zip ----------------------------
# One self-contained block: it needs only the targets canvas_core, canvas_impl,
# canvas_plugin and canvas-host to exist, wherever they are defined.
#
# Every function and datum of the plug-in's own code gets a section of its
# own, so that --gc-sections drops whatever nothing reaches. The exports are
# roots, and the linker script KEEPs the resources, the import table and the
# runtime's start-up lists (tests/pe/check_pe.py and every tier check them).
foreach(lean_target canvas_core canvas_impl canvas_plugin)
    target_compile_options(${lean_target} PRIVATE -ffunction-sections -fdata-sections)
endforeach()
target_link_options(canvas_plugin PRIVATE -Wl,--gc-sections)
# Then the debug information and the symbols move to canvas.nbp.debug beside
# the DLL, which keeps only a .gnu_debuglink naming that file (gdb and objdump
# find it there). Every build does this, so the tests run the shipped DLL.
add_custom_command(TARGET canvas_plugin POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:canvas_plugin>
        $<TARGET_FILE:canvas_plugin>.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-all
        --add-gnu-debuglink=$<TARGET_FILE:canvas_plugin>.debug $<TARGET_FILE:canvas_plugin>
    COMMENT "Stripping canvas.nbp; its symbols go to canvas.nbp.debug"
    VERBATIM)
# The distribution zip, packed from this build's DLL by package/make_dist.py
# (which `./run dist` runs on a clean build) and checked: its files, the DLL,
# LEAME.txt, and its example run by the 32-bit reference host under wine32.
# (The interpreter by its path, not through the emulator: see pe.canvas_nbp.)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    add_test(NAME dist.zip COMMAND ${Python3_EXECUTABLE}
        ${CMAKE_SOURCE_DIR}/tests/dist/check_dist.py --bin $<TARGET_FILE_DIR:canvas_plugin>
        --host $<TARGET_FILE:canvas-host>)
    set_tests_properties(dist.zip PROPERTIES TIMEOUT 900)
endif()
#--- end of the shipping block ---------------------------------------------------

if(EXISTS ${CMAKE_SOURCE_DIR}/bench/bench_win.cmake)
    include(${CMAKE_SOURCE_DIR}/bench/bench_win.cmake)
endif()
