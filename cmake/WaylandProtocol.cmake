# quintarel_wayland_protocol(TARGET XML): generates the client side of a Wayland
# protocol with wayland-scanner and compiles it into TARGET; the header
# <NAME-client-protocol.h> lands in TARGET's include path.
find_package(PkgConfig REQUIRED)
pkg_check_modules(QUINTAREL_WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(QUINTAREL_WAYLAND_SCANNER wayland-scanner wayland_scanner)
pkg_get_variable(QUINTAREL_WAYLAND_PROTOCOLS wayland-protocols pkgdatadir)
if(NOT QUINTAREL_WAYLAND_SCANNER OR NOT QUINTAREL_WAYLAND_PROTOCOLS)
  message(FATAL_ERROR "wayland-scanner and wayland-protocols are needed (Debian: libwayland-dev wayland-protocols)")
endif()

function(quintarel_wayland_protocol target xml)
  get_filename_component(name "${xml}" NAME_WE)
  set(dir "${CMAKE_CURRENT_BINARY_DIR}/wayland")
  add_custom_command(
    OUTPUT "${dir}/${name}-client-protocol.h" "${dir}/${name}-protocol.c"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${dir}"
    COMMAND "${QUINTAREL_WAYLAND_SCANNER}" client-header "${xml}" "${dir}/${name}-client-protocol.h"
    COMMAND "${QUINTAREL_WAYLAND_SCANNER}" private-code "${xml}" "${dir}/${name}-protocol.c"
    DEPENDS "${xml}"
    VERBATIM)
  target_sources(${target} PRIVATE "${dir}/${name}-client-protocol.h" "${dir}/${name}-protocol.c")
  target_include_directories(${target} PRIVATE "${dir}")
  target_link_libraries(${target} PRIVATE PkgConfig::QUINTAREL_WAYLAND_CLIENT)
endfunction()
