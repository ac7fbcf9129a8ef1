# Windows benchmark programs (win64 build, run under wine64 by
# bench/run-bench): circles of the raster core against GDI's Ellipse, and
# the four actions end to end through canvas.nbp with the repaint.
add_executable(circle_bench ${CMAKE_SOURCE_DIR}/bench/circle_bench_win.cpp)
target_compile_options(circle_bench PRIVATE ${CANVAS_WARNINGS})
target_link_libraries(circle_bench PRIVATE canvas_impl)
target_link_options(circle_bench PRIVATE ${WIN_STATIC_RUNTIME})

add_executable(canvas_bench ${CMAKE_SOURCE_DIR}/bench/canvas_bench_win.cpp)
target_compile_options(canvas_bench PRIVATE ${CANVAS_WARNINGS})
target_link_libraries(canvas_bench PRIVATE canvas_host_lib)
target_link_options(canvas_bench PRIVATE ${WIN_STATIC_RUNTIME})
add_dependencies(canvas_bench canvas_plugin)

add_executable(pieces_bench ${CMAKE_SOURCE_DIR}/bench/pieces_bench_win.cpp ${CMAKE_SOURCE_DIR}/res/canvas.rc)
target_compile_options(pieces_bench PRIVATE ${CANVAS_WARNINGS})
target_link_libraries(pieces_bench PRIVATE canvas_impl canvas_host_lib)
target_link_options(pieces_bench PRIVATE ${WIN_STATIC_RUNTIME})
