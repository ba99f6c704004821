# One static library per source folder. Each folder links only the folders
# below it, so the layering (platform -> common -> measurements -> logbook
# -> ui, theme -> graphs -> features -> app) is enforced by the linker, and a
# folder that does not compile does not stop the others from building.
#
#   tensiolog_add_library(measurements CORE_ONLY DEPENDS tl_common Qt6::Core)
#
# DEPENDS are the libraries its headers need; PRIVATE_DEPENDS those only its
# sources use.
#
# CORE_ONLY libraries build with Qt Core alone: including a Qt GUI or Qt
# Widgets header in them fails the build (see tensiolog_forbid_qt).
function(tensiolog_add_library name)
  cmake_parse_arguments(ARG "CORE_ONLY" "" "DEPENDS;PRIVATE_DEPENDS;SOURCES" ${ARGN})
  set(sources ${ARG_SOURCES})
  if(NOT sources)
    file(GLOB sources CONFIGURE_DEPENDS
      ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
      ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  endif()
  add_library(tl_${name} STATIC ${sources})
  target_include_directories(tl_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(tl_${name} PUBLIC ${ARG_DEPENDS} PRIVATE ${ARG_PRIVATE_DEPENDS})
  if(ARG_CORE_ONLY)
    tensiolog_forbid_qt(tl_${name} Gui Widgets)
  endif()
  set_property(GLOBAL APPEND PROPERTY TENSIOLOG_LIBRARIES tl_${name})
endfunction()

# Makes an include of any header of the named Qt modules (Gui, Widgets) fail
# to compile in `target`: a header of ours that stands in for the module's
# first header is found before Qt's. A target that does not link a module
# does not see its <QClass> headers at all; this also catches the
# <QtModule/QClass> form, and the linker catches the rest.
function(tensiolog_forbid_qt target)
  foreach(module IN LISTS ARGN)
    target_include_directories(${target} BEFORE PRIVATE
      ${PROJECT_SOURCE_DIR}/cmake/forbidden/${module})
  endforeach()
endfunction()
