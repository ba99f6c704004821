# The libraries a Windows installation needs beside the program: Qt's, its
# plugins, libpng and zlib, and the compiler's runtime.
#
# On Windows, Qt's deployment script runs windeployqt. A cross build has no
# windeployqt: it installs the Qt libraries and the plugins the program loads
# by name, and a qt.conf that keeps Qt to the program's folder (without it,
# Qt would also look for plugins in the folder above, where another program's
# may lie).
include_guard(GLOBAL)

set(TENSIOLOG_QT_MODULES Core Gui Widgets Network PrintSupport)
# Folder, plugin target: the Windows platform, the native look, and the
# image formats the icons and pictures use.
set(TENSIOLOG_QT_PLUGINS
    "platforms;QWindowsIntegrationPlugin"
    "styles;QWindowsVistaStylePlugin"
    "imageformats;QICOPlugin"
    "imageformats;QJpegPlugin"
    "imageformats;QGifPlugin")

# The DLL of a library linked through its import library (`implib`): beside
# it or in ../bin, under one of `names`. Empty for a static library.
function(tensiolog_find_dll out implib)
  set(found "")
  if(implib)
    get_filename_component(dir "${implib}" DIRECTORY)
    foreach(name IN LISTS ARGN)
      foreach(candidate "${dir}/${name}" "${dir}/../bin/${name}")
        if(NOT found AND EXISTS "${candidate}")
          get_filename_component(found "${candidate}" REALPATH)
        endif()
      endforeach()
    endforeach()
  endif()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

function(tensiolog_install_windows_runtime target)
  set(dest ${TENSIOLOG_INSTALL_DIR})
  if(CMAKE_CROSSCOMPILING)
    foreach(module IN LISTS TENSIOLOG_QT_MODULES)
      install(IMPORTED_RUNTIME_ARTIFACTS Qt6::${module} RUNTIME DESTINATION ${dest})
    endforeach()
    list(LENGTH TENSIOLOG_QT_PLUGINS count)
    math(EXPR last "${count} - 1")
    foreach(i RANGE 0 ${last} 2)
      math(EXPR j "${i} + 1")
      list(GET TENSIOLOG_QT_PLUGINS ${i} folder)
      list(GET TENSIOLOG_QT_PLUGINS ${j} plugin)
      if(TARGET Qt6::${plugin})
        install(IMPORTED_RUNTIME_ARTIFACTS Qt6::${plugin} LIBRARY DESTINATION ${dest}/${folder})
      else()
        message(STATUS "Qt plugin ${plugin} not built: ${folder} left without it")
      endif()
    endforeach()
    # Qt's own French texts (standard buttons, dialogs): the translation
    # files are the same on every system, so the build machine's serve.
    find_file(TENSIOLOG_QTBASE_FR qtbase_fr.qm
      PATHS "${QT_HOST_PATH}/share/qt6/translations" "${QT6_INSTALL_PREFIX}/translations"
      NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(TENSIOLOG_QTBASE_FR)
      install(FILES "${TENSIOLOG_QTBASE_FR}" DESTINATION ${dest}/translations)
    else()
      message(WARNING "qtbase_fr.qm not found: Qt's standard texts stay in English")
    endif()
    install(CODE "file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${dest}/qt.conf\"
      \"[Paths]\\nPrefix = .\\nPlugins = .\\n\")")
  else()
    # windeployqt, beside the program (Qt's default is bin/).
    install(CODE "set(QT_DEPLOY_BIN_DIR \"${dest}\")")
    if(Qt6_VERSION VERSION_GREATER_EQUAL 6.5)
      qt_generate_deploy_app_script(TARGET ${target} OUTPUT_SCRIPT deploy_script
        NO_UNSUPPORTED_PLATFORM_ERROR NO_TRANSLATIONS)
    else()
      # Qt 6.3 and 6.4 name the script's variable FILENAME_VARIABLE.
      qt_generate_deploy_app_script(TARGET ${target} FILENAME_VARIABLE deploy_script
        NO_UNSUPPORTED_PLATFORM_ERROR)
    endif()
    install(SCRIPT ${deploy_script})
  endif()

  # libpng and zlib, when linked as DLLs.
  foreach(lib PNG ZLIB)
    set(implib "${${lib}_LIBRARY_RELEASE}")
    if(NOT implib)
      set(implib "${${lib}_LIBRARY}")
    endif()
    tensiolog_find_dll(dll "${implib}" libpng16.dll libpng16-16.dll zlib1.dll zlib.dll)
    if(dll)
      install(FILES "${dll}" DESTINATION ${dest})
    elseif(implib MATCHES "\\.dll\\.a$|\\.lib$")
      message(STATUS "No DLL found beside ${implib}: none installed for ${lib}")
    endif()
  endforeach()

  # The compiler's runtime: MinGW's DLLs, or the Visual C++ redistributable files.
  if(MINGW)
    foreach(name libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
      execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
        OUTPUT_VARIABLE dll OUTPUT_STRIP_TRAILING_WHITESPACE)
      if(IS_ABSOLUTE "${dll}" AND EXISTS "${dll}")
        get_filename_component(dll "${dll}" REALPATH)
        install(FILES "${dll}" DESTINATION ${dest})
      else()
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${name} is")
      endif()
    endforeach()
  elseif(MSVC)
    set(CMAKE_INSTALL_SYSTEM_RUNTIME_DESTINATION ${dest})
    include(InstallRequiredSystemLibraries)
  endif()
endfunction()
