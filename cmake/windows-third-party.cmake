# The third-party code of the Windows build. Debian has no MinGW builds of
# expat and GoogleTest: expat is built here from Debian's own source package
# (scripts/windows-sources.sh unpacks it into ENLAZOR_THIRD_PARTY), GoogleTest
# from /usr/src when the tests are built. Both before our warning flags: they
# are not our business.
set(ENLAZOR_THIRD_PARTY "" CACHE PATH "Folder where scripts/windows-sources.sh unpacked expat")
set(EXPAT_BUILD_TOOLS OFF CACHE BOOL "" FORCE)
set(EXPAT_BUILD_EXAMPLES OFF CACHE BOOL "" FORCE)
set(EXPAT_BUILD_TESTS OFF CACHE BOOL "" FORCE)
set(EXPAT_BUILD_DOCS OFF CACHE BOOL "" FORCE)
set(EXPAT_BUILD_PKGCONFIG OFF CACHE BOOL "" FORCE)
set(EXPAT_SHARED_LIBS OFF CACHE BOOL "" FORCE)
set(EXPAT_ENABLE_INSTALL OFF CACHE BOOL "" FORCE)
add_subdirectory(${ENLAZOR_THIRD_PARTY}/expat/expat ${CMAKE_BINARY_DIR}/third_party/expat EXCLUDE_FROM_ALL)
add_library(EXPAT::EXPAT ALIAS expat)
# Debian's patches test "XML_DTD == 1", as its own (autotools) build defines it.
set(ENLAZOR_EXPAT_CONFIG ${CMAKE_BINARY_DIR}/third_party/expat/expat_config.h)
file(READ ${ENLAZOR_EXPAT_CONFIG} ENLAZOR_EXPAT_TEXT)
string(REPLACE "#define XML_DTD\n" "#define XML_DTD 1\n" ENLAZOR_EXPAT_TEXT "${ENLAZOR_EXPAT_TEXT}")
file(WRITE ${ENLAZOR_EXPAT_CONFIG} "${ENLAZOR_EXPAT_TEXT}")
if(BUILD_TESTING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/third_party/googletest EXCLUDE_FROM_ALL)
endif()
