if(TARGET tl_app)
  add_executable(bench_startup ${CMAKE_CURRENT_LIST_DIR}/bench_startup.cpp)
  target_link_libraries(bench_startup PRIVATE tl_app benchmark::benchmark)
endif()
