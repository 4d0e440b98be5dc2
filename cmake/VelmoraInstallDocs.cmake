# Run by `cmake --install` (and cpack): the manual pages and the changelog, filled in with
# the prefix being installed to and compressed as Debian ships them (gzip -9n: no name or
# time inside, so the same sources give the same bytes), and the idle watcher's systemd user
# unit, which names the program where it is installed.
set(velmora_root "${CMAKE_INSTALL_PREFIX}") # file(INSTALL) puts DESTDIR in front itself
function(velmora_installed_path out path)
  if(IS_ABSOLUTE "${path}")
    set(${out} "${path}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${path}" PARENT_SCOPE)
  endif()
endfunction()
velmora_installed_path(VELMORA_SAMPLES "${VELMORA_DATADIR}/velmora/samples")
velmora_installed_path(VELMORA_HELPER "${VELMORA_HELPER_DIR}/velmora-wmf")
velmora_installed_path(velmora_program "${VELMORA_BINDIR}/velmora")
velmora_installed_path(VELMORA_USER_UNIT "lib/systemd/user/velmora-idle.service")
set(VELMORA_AUTOSTART_ENTRY "${VELMORA_AUTOSTART_DIR}/velmora-idle.desktop")

function(velmora_install_gzipped template folder name)
  configure_file("${template}" "${VELMORA_WORK}/${name}" @ONLY)
  execute_process(COMMAND gzip -9nf "${VELMORA_WORK}/${name}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip could not compress ${name}")
  endif()
  file(INSTALL "${VELMORA_WORK}/${name}.gz" DESTINATION "${velmora_root}/${folder}"
       PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()

velmora_install_gzipped("${VELMORA_SOURCE}/velmora.6" "${VELMORA_MANDIR}/man6" velmora.6)
velmora_install_gzipped("${VELMORA_SOURCE}/velmora-fx.1" "${VELMORA_MANDIR}/man1" velmora-fx.1)
velmora_install_gzipped("${VELMORA_SOURCE}/package/changelog.in" "${VELMORA_DOCDIR}" changelog.Debian)

configure_file("${VELMORA_SOURCE}/velmora-idle.service.in" "${VELMORA_WORK}/velmora-idle.service" @ONLY)
get_filename_component(velmora_unit_dir "${VELMORA_USER_UNIT}" DIRECTORY)
file(INSTALL "${VELMORA_WORK}/velmora-idle.service" DESTINATION "${velmora_unit_dir}"
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
