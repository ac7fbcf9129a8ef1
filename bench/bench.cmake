# Benchmarks of the raster core: their own optimised, unsanitized build of
# the core sources (the native tests' copy carries the sanitizers).
find_package(benchmark QUIET)
if(benchmark_FOUND)
    add_executable(raster_bench
        ${CMAKE_SOURCE_DIR}/bench/raster_bench.cpp
        ${CMAKE_SOURCE_DIR}/draw/raster.cpp
        ${CMAKE_SOURCE_DIR}/draw/ellipse_path.cpp)
    target_include_directories(raster_bench PRIVATE ${CMAKE_SOURCE_DIR})
    target_compile_options(raster_bench PRIVATE -O2 ${CANVAS_WARNINGS})
    target_link_libraries(raster_bench PRIVATE benchmark::benchmark)
else()
    message(STATUS "Google Benchmark not found: no raster_bench")
endif()
