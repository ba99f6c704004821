# The refresh of averages and graphs and one graph drawing.
add_executable(bench_graphs ${CMAKE_CURRENT_LIST_DIR}/bench_graphs.cpp)
target_link_libraries(bench_graphs PRIVATE tl_readings benchmark::benchmark Qt6::Widgets)
