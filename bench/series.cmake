# The series and the report statistics against loading the same readings,
# and the time to write a one-year report as PDF.
add_executable(bench_series ${CMAKE_CURRENT_LIST_DIR}/bench_series.cpp)
target_link_libraries(bench_series PRIVATE tl_reports tl_series tl_logbook Qt6::Gui
  benchmark::benchmark)
