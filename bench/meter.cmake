# A meter's records filed and saved, against saving the same readings.
add_executable(bench_meter ${CMAKE_CURRENT_LIST_DIR}/bench_meter.cpp)
target_link_libraries(bench_meter PRIVATE tl_meter tl_exchange tl_logbook benchmark::benchmark)
