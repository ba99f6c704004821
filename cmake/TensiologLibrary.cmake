# One static library per source folder. Each folder links only the folders
# below it, so the layering (platform -> common -> measurements -> ui, theme
# -> graphs -> features -> app) is enforced by the linker, and a folder that
# does not compile does not stop the others from building.
#
#   tensiolog_add_library(measurements DEPENDS common Qt6::Core)
function(tensiolog_add_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS;SOURCES" ${ARGN})
  set(sources ${ARG_SOURCES})
  if(NOT sources)
    file(GLOB sources CONFIGURE_DEPENDS
      ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
      ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  endif()
  add_library(tl_${name} STATIC ${sources})
  target_include_directories(tl_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(tl_${name} PUBLIC ${ARG_DEPENDS})
  set_property(GLOBAL APPEND PROPERTY TENSIOLOG_LIBRARIES tl_${name})
endfunction()
