# What the desktop needs beside the program, made at build time: the icon at the usual sizes,
# drawn by a small Qt program (the 16 x 16 one is the window's own, drawn by hand), and the
# manual page, made by help2man from --help with the sections of packaging/brevane.h2m.

set(BREVANE_ICON_SIZES 32 48 64 128 256)
add_executable(brevane_draw_icon packaging/icon/draw_icon.cpp)
target_link_libraries(brevane_draw_icon PRIVATE Qt6::Gui brevane_warnings)
set(_brevane_icons "")
foreach(size IN LISTS BREVANE_ICON_SIZES)
  set(_dir "${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps")
  add_custom_command(
    OUTPUT "${_dir}/brevane.png"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${_dir}"
    COMMAND brevane_draw_icon ${size} "${_dir}/brevane.png"
    DEPENDS brevane_draw_icon
    COMMENT "Drawing the ${size} x ${size} icon"
    VERBATIM)
  list(APPEND _brevane_icons "${_dir}/brevane.png")
  install(FILES "${_dir}/brevane.png"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
endforeach()
add_custom_target(brevane_icons ALL DEPENDS ${_brevane_icons})

# The page's date is the changelog's, so that the same sources make the same page.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  file(STRINGS "${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/changelog" _brevane_signoff
       REGEX "^ -- ")
  list(GET _brevane_signoff 0 _brevane_signoff)
  string(REGEX REPLACE "^.*>  " "" _brevane_release_date "${_brevane_signoff}")
  execute_process(COMMAND date -d "${_brevane_release_date}" +%s
                  OUTPUT_VARIABLE _brevane_epoch OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(_brevane_manual "${CMAKE_BINARY_DIR}/brevane.1")
  add_custom_command(
    OUTPUT "${_brevane_manual}.gz"
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${_brevane_epoch} QT_QPA_PLATFORM=offscreen
            ${HELP2MAN} --no-info --no-discard-stderr --section 1
            --include "${CMAKE_CURRENT_SOURCE_DIR}/packaging/brevane.h2m"
            --output "${_brevane_manual}" $<TARGET_FILE:brevane>
    COMMAND gzip -9 -n -f "${_brevane_manual}"
    DEPENDS brevane "${CMAKE_CURRENT_SOURCE_DIR}/packaging/brevane.h2m"
    COMMENT "Making the manual page from brevane --help"
    VERBATIM)
  add_custom_target(brevane_manual ALL DEPENDS "${_brevane_manual}.gz")
  install(FILES "${_brevane_manual}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
else()
  message(WARNING "help2man was not found (scripts/setup installs it): no manual page is made")
endif()
