# SPDX-License-Identifier: BSD-3-Clause
# Installation: the programs, the toolkit as a static library with its
# headers, a CMake package (find_package(tamsel) gives tamsel::numeric), a
# pkg-config module and the manual.
#
# Headers go to include/tamsel/numeric/.  They include each other as
# "numeric/types.h", so include/tamsel is an include directory of the
# installed target beside include/, and consumers write
# #include <tamsel/numeric/complex_fft.h>.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TAMSEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tamsel)

set_target_properties(numeric PROPERTIES OUTPUT_NAME tamsel_numeric EXPORT_NAME numeric)
set_target_properties(tamsel_flags PROPERTIES EXPORT_NAME flags)
target_include_directories(numeric INTERFACE
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/tamsel>)

install(TARGETS tamsel tamsel-plot RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS numeric tamsel_flags EXPORT tamselTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/numeric/
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tamsel/numeric
  FILES_MATCHING PATTERN "*.h")
install(EXPORT tamselTargets NAMESPACE tamsel:: DESTINATION ${TAMSEL_CMAKE_DIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/tamselConfig.cmake.in
  ${PROJECT_BINARY_DIR}/tamselConfig.cmake INSTALL_DESTINATION ${TAMSEL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tamselConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tamselConfig.cmake
  ${PROJECT_BINARY_DIR}/tamselConfigVersion.cmake DESTINATION ${TAMSEL_CMAKE_DIR})

# The pkg-config module finds its prefix from its own place, so that an
# installation moved with --prefix still works; its Cflags carry the same
# floating-point rules as tamsel::flags.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(TAMSEL_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH TAMSEL_PC_UP "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
  set(TAMSEL_PC_PREFIX "\${pcfiledir}/${TAMSEL_PC_UP}")
endif()
get_target_property(TAMSEL_FLAG_LIST tamsel_flags INTERFACE_COMPILE_OPTIONS)
list(FILTER TAMSEL_FLAG_LIST INCLUDE REGEX "^-[fm]")
list(JOIN TAMSEL_FLAG_LIST " " TAMSEL_PC_FLAGS)
configure_file(${CMAKE_CURRENT_LIST_DIR}/tamsel.pc.in ${PROJECT_BINARY_DIR}/tamsel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tamsel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# One page covers both programs; tamsel-plot's name leads to it.
file(WRITE ${PROJECT_BINARY_DIR}/tamsel-plot.1 ".so man1/tamsel.1\n")
install(FILES ${PROJECT_SOURCE_DIR}/doc/tamsel.1 ${PROJECT_BINARY_DIR}/tamsel-plot.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
