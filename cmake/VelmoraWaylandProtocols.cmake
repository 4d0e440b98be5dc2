# Client code for Wayland protocols, generated at build time by wayland-scanner from the XML
# that the system's protocol packages install.
find_package(PkgConfig REQUIRED)
find_program(VELMORA_WAYLAND_SCANNER wayland-scanner REQUIRED)
pkg_get_variable(VELMORA_WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)

# velmora_wayland_protocols(TARGET NAME XML [NAME XML...]): a static library TARGET of the
# protocols' code, whose users include "NAME-client-protocol.h". The code is C and not ours:
# built without the project's warning set.
function(velmora_wayland_protocols target)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target})
  set(pairs ${ARGN})
  set(sources "")
  while(pairs)
    list(POP_FRONT pairs name xml)
    add_custom_command(OUTPUT ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND ${VELMORA_WAYLAND_SCANNER} client-header ${xml} ${dir}/${name}-client-protocol.h
      COMMAND ${VELMORA_WAYLAND_SCANNER} private-code ${xml} ${dir}/${name}-protocol.c
      DEPENDS ${xml} VERBATIM)
    list(APPEND sources ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c)
  endwhile()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${dir})
endfunction()
