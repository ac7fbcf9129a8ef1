# Native build: the platform-free core under AddressSanitizer and
# UndefinedBehaviorSanitizer, its unit tests, fuzz targets and benchmarks.
set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
foreach(lib canvas_core host_core)
    target_compile_options(${lib} PRIVATE ${SANITIZE})
endforeach()

find_package(GTest REQUIRED)
file(GLOB NATIVE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*.cpp)
add_executable(native_tests ${NATIVE_TESTS})
target_compile_options(native_tests PRIVATE ${SANITIZE} ${CANVAS_WARNINGS})
target_link_options(native_tests PRIVATE ${SANITIZE})
target_link_libraries(native_tests PRIVATE canvas_core host_core GTest::gtest_main)
target_compile_definitions(native_tests PRIVATE CANVAS_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_test(NAME native_tests COMMAND native_tests)

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz.cmake)
    include(${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz.cmake)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/bench/bench.cmake)
    include(${CMAKE_SOURCE_DIR}/bench/bench.cmake)
endif()
