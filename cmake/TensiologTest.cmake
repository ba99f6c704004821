# Registers one Qt Test executable with CTest. Every test runs offscreen, in
# a temporary home folder of its own (see tests/support), so `ctest -j2` is safe.
# The offscreen screen is a 1920 × 1080 desktop (offscreen_screens.json), on
# which the main window opens at its full 1024 × 768.
#
#   tensiolog_add_test(test_measurements CORE_ONLY SOURCES a.cpp b.cpp LIBS tl_measurements)
#
# A CORE_ONLY test needs no widget or GUI library: it runs without a
# QApplication, and including a Qt GUI or Widgets header fails its build.
function(tensiolog_add_test name)
  cmake_parse_arguments(ARG "CORE_ONLY" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE testsupport ${ARG_LIBS} Qt6::Test)
  if(ARG_CORE_ONLY)
    tensiolog_forbid_qt(${name} Gui Widgets)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen:configfile=${PROJECT_SOURCE_DIR}/cmake/offscreen_screens.json;TENSIOLOG_SNAPSHOT_DIR=${PROJECT_BINARY_DIR}/snapshots;LC_ALL=C.UTF-8")
endfunction()
