# The CSV import and export of a logbook, against loading and saving it, and
# the import of an Apple Health export.
add_executable(bench_exchange ${CMAKE_CURRENT_LIST_DIR}/bench_exchange.cpp)
target_link_libraries(bench_exchange PRIVATE tl_exchange tl_logbook benchmark::benchmark ZLIB::ZLIB)
