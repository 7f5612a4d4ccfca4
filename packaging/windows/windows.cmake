# What the Windows programs need beside them, installed into one folder: the
# two programs, the Qt, compiler runtime and library DLLs, Qt's Windows
# platform, style and ICO plugins, the sample database, the skin and the hand
# pointer. The zip and the installer are made from that folder.

set(qt_prefix "${QT6_INSTALL_PREFIX}")
set(runtime_dlls)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -print-file-name=${dll}
    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
    message(FATAL_ERROR "The compiler's runtime ${dll} is not found")
  endif()
  list(APPEND runtime_dlls "${found}")
endforeach()
# SQLite's and libpq's DLLs, from where the build of those libraries put them.
set(ORVALLE_WINDOWS_DLL_DIRS "" CACHE STRING "Folders of the DLLs the programs link (SQLite, libpq)")
set(library_dlls)
foreach(dir IN LISTS ORVALLE_WINDOWS_DLL_DIRS)
  file(GLOB found "${dir}/*.dll")
  list(APPEND library_dlls ${found})
endforeach()
foreach(dll sqlite3.dll libpq.dll)
  if(NOT library_dlls MATCHES "/${dll}(;|$)")
    message(FATAL_ERROR "${dll} is in none of ORVALLE_WINDOWS_DLL_DIRS (${ORVALLE_WINDOWS_DLL_DIRS})")
  endif()
endforeach()

install(TARGETS orvalle-report RUNTIME DESTINATION .)
install(DIRECTORY "${ORVALLE_ASSETS_DIR}/Samples" DESTINATION .)
install(FILES "${qt_prefix}/bin/Qt6Core.dll" ${runtime_dlls} ${library_dlls} DESTINATION .)
if(TARGET orvalle)
  install(TARGETS orvalle RUNTIME DESTINATION .)
  install(FILES "${ORVALLE_ASSETS_DIR}/x/o.cjs" DESTINATION x)
  install(FILES "${ORVALLE_ASSETS_DIR}/HAND-M.CUR" DESTINATION .)
  install(FILES "${qt_prefix}/bin/Qt6Gui.dll" "${qt_prefix}/bin/Qt6Widgets.dll" DESTINATION .)
  install(FILES "${qt_prefix}/plugins/platforms/qwindows.dll" DESTINATION platforms)
  install(FILES "${qt_prefix}/plugins/styles/qwindowsvistastyle.dll" DESTINATION styles)
  # The hand pointer is a Windows cursor file, read through Qt's ICO reader.
  install(FILES "${qt_prefix}/plugins/imageformats/qico.dll" DESTINATION imageformats)
endif()
