# libFuzzer targets over the platform-free core (clang only). Each target's
# sources get coverage instrumentation from a separate copy of the core.
# ctest runs every target for a short fixed number of runs from its seed
# corpus; `./run fuzz SECONDS` runs them for as long as asked.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    return()
endif()
set(FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -g)
add_library(canvas_core_fuzz STATIC ${CORE_SOURCES})
target_include_directories(canvas_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(canvas_core_fuzz PRIVATE ${FUZZ_FLAGS})
add_library(host_core_fuzz STATIC ${HOST_CORE_SOURCES})
target_include_directories(host_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(host_core_fuzz PUBLIC stb)
target_compile_options(host_core_fuzz PRIVATE ${FUZZ_FLAGS})

file(GLOB FUZZ_TARGETS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_*.cpp)
foreach(src ${FUZZ_TARGETS})
    get_filename_component(name ${src} NAME_WE)
    string(REGEX REPLACE "^fuzz_" "" corpus ${name})
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE ${FUZZ_FLAGS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name} PRIVATE canvas_core_fuzz host_core_fuzz)
    add_test(NAME fuzz.${corpus} COMMAND ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz-target
        $<TARGET_FILE:${name}> ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${corpus} runs=200000)
endforeach()
