# The application icon, rendered from its SVG at build time: PNGs of every
# size the desktop asks for, and the Windows .ico.
set(ENLAZOR_ICONS ${CMAKE_BINARY_DIR}/icons)
set(ENLAZOR_ICON_FILES ${ENLAZOR_ICONS}/enlazor.ico)
foreach(size 16 24 32 48 64 128 256)
  list(APPEND ENLAZOR_ICON_FILES ${ENLAZOR_ICONS}/enlazor-${size}.png)
endforeach()
add_custom_command(OUTPUT ${ENLAZOR_ICON_FILES}
                   COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/make-icons.sh ${PROJECT_SOURCE_DIR}/data/enlazor.svg ${ENLAZOR_ICONS}
                   DEPENDS ${PROJECT_SOURCE_DIR}/data/enlazor.svg ${PROJECT_SOURCE_DIR}/scripts/make-icons.sh)
add_custom_target(enlazor_icons DEPENDS ${ENLAZOR_ICON_FILES})
