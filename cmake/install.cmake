# What `cmake --install` puts on a Linux system, in the standard directories,
# and the Debian package CPack makes of it (make deb).
include(GNUInstallDirs)
# Installing needs only what is installed, not the tests and tools.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Debian wants manual pages and the changelog compressed, reproducibly.
set(ENLAZOR_PACKED ${CMAKE_BINARY_DIR}/packed)
set(ENLAZOR_PACKED_FILES)
foreach(file enlazor-cli.1 enlazor.1 changelog)
  add_custom_command(OUTPUT ${ENLAZOR_PACKED}/${file}.gz
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${ENLAZOR_PACKED}
                     COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/data/${file} > ${ENLAZOR_PACKED}/${file}.gz
                     DEPENDS ${PROJECT_SOURCE_DIR}/data/${file})
  list(APPEND ENLAZOR_PACKED_FILES ${ENLAZOR_PACKED}/${file}.gz)
endforeach()
add_custom_target(enlazor_packed ALL DEPENDS ${ENLAZOR_PACKED_FILES})

install(TARGETS enlazor-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(ENLAZOR_BUILD_APP)
  install(TARGETS enlazor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES data/enlazor.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/enlazor.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${ENLAZOR_ICONS}/enlazor-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME enlazor.png)
endforeach()
install(FILES ${ENLAZOR_PACKED}/enlazor-cli.1.gz ${ENLAZOR_PACKED}/enlazor.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
set(ENLAZOR_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/enlazor)
install(FILES README.md data/copyright ${ENLAZOR_PACKED}/changelog.gz DESTINATION ${ENLAZOR_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME enlazor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Enlazor <enlazor@jefatura.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "horarios entre Séneca y Horavia")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Enlazor lleva los datos del horario entre Séneca, el sistema de gestión de
los centros educativos, y Horavia, el programa con el que la jefatura de
estudios hace el horario: reconstruye las tablas de trabajo de Horavia a
partir de una exportación de Séneca y convierte la solución de Horavia en el
archivo de horarios regulares que se sube a Séneca.")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # the dependencies read from the programs themselves
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
