# The files a package carries that the build makes with Debian tools: PNG icons in the
# hicolor sizes, man pages from the programs' own --help, the Debian copyright file and the
# compressed changelog. Included when PELLORA_PACKAGING is on.

function(pellora_find_packaging_tool var program debian_package)
  find_program(${var} ${program})
  if(NOT ${var})
    message(FATAL_ERROR "PELLORA_PACKAGING needs ${program} (Debian package ${debian_package}); "
                        "./dev package installs it")
  endif()
endfunction()

pellora_find_packaging_tool(PELLORA_HELP2MAN help2man help2man)
pellora_find_packaging_tool(PELLORA_GZIP gzip gzip)
set(package_files "")

if(TARGET pellora)
  pellora_find_packaging_tool(PELLORA_RSVG_CONVERT rsvg-convert librsvg2-bin)
  set(icon_svg ${PROJECT_SOURCE_DIR}/resources/skin/pellora.svg)
  foreach(size 16 24 32 48 64 128 256)
    set(icon_dir ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size})
    add_custom_command(
      OUTPUT ${icon_dir}/pellora.png
      COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_dir}
      COMMAND ${PELLORA_RSVG_CONVERT} --width=${size} --height=${size}
              --output=${icon_dir}/pellora.png ${icon_svg}
      DEPENDS ${icon_svg}
      COMMENT "Rendering the ${size}x${size} icon"
      VERBATIM)
    list(APPEND package_files ${icon_dir}/pellora.png)
    install(FILES ${icon_dir}/pellora.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
endif()

# help2man reads the first line of --version; dm500-sim has no --version, so it is told.
# The window answers --help without a display, but offscreen keeps it from looking for one.
set(man_dir ${CMAKE_CURRENT_BINARY_DIR}/man)
foreach(entry "pellora|check whether a DM500 set-top box still boots"
              "pellora-cli|check on a terminal whether a DM500 set-top box still boots"
              "dm500-sim|a simulated DM500 set-top box on a pseudo-terminal")
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 program)
  list(GET entry 1 summary)
  if(NOT TARGET ${program})
    continue()
  endif()
  set(version_option "")
  if(program STREQUAL "dm500-sim")
    set(version_option --version-string=${PROJECT_VERSION})
  endif()
  add_custom_command(
    OUTPUT ${man_dir}/${program}.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            ${PELLORA_HELP2MAN} --no-info --section=1 --name=${summary} ${version_option}
            --include=${CMAKE_CURRENT_SOURCE_DIR}/man_page_extras.h2m
            --output=${man_dir}/${program}.1 $<TARGET_FILE:${program}>
    COMMAND ${PELLORA_GZIP} -9nf ${man_dir}/${program}.1
    DEPENDS ${program} ${CMAKE_CURRENT_SOURCE_DIR}/man_page_extras.h2m
    COMMENT "Writing the man page of ${program}"
    VERBATIM)
  list(APPEND package_files ${man_dir}/${program}.1.gz)
  install(FILES ${man_dir}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The copyright file in Debian's machine-readable format, made from LICENSE so the two
# cannot drift apart: the licence text indented by one space, an empty line written " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
if(NOT licence MATCHES "Copyright \\(c\\) ([^\n]+)\n\n(.+)$")
  message(FATAL_ERROR "LICENSE: no 'Copyright (c) ...' line followed by the licence text")
endif()
set(PELLORA_COPYRIGHT "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" licence_body)
string(REPLACE "\n\n" "\n.\n" licence_body "${licence_body}")
string(REPLACE "\n" "\n " PELLORA_LICENCE_BODY " ${licence_body}")
configure_file(copyright.in ${CMAKE_CURRENT_BINARY_DIR}/copyright @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog)
add_custom_command(
  OUTPUT ${changelog}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/changelog ${changelog}
  COMMAND ${PELLORA_GZIP} -9nf ${changelog}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/changelog
  COMMENT "Compressing the changelog"
  VERBATIM)
list(APPEND package_files ${changelog}.gz)
install(FILES ${changelog}.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

add_custom_target(pellora_package_files ALL DEPENDS ${package_files})
