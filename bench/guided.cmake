# The guided session: from "Mesurer maintenant" to its window shown, and from
# Enter on a reading to the reading saved, at 22 000 readings per list.
if(TARGET tl_app)
  add_executable(bench_guided ${CMAKE_CURRENT_LIST_DIR}/bench_guided.cpp)
  target_link_libraries(bench_guided PRIVATE tl_app benchmark::benchmark)
endif()
