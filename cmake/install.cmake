# SPDX-License-Identifier: BSD-3-Clause
# Installation: the programs, the toolkit and the run as static libraries
# with their headers, a CMake package (find_package(tamsel) gives
# tamsel::numeric and tamsel::run), a pkg-config module and the manual.
#
# The headers are the folder include/ as it stands: the umbrella numeric.h
# and version.h in tamsel/, the routine families in tamsel/numeric/.  They
# include each other as <tamsel/numeric/types.h>, so include/ is the one
# include directory and consumers write #include
# <tamsel/numeric/complex_fft.h>.  No compile flag of this build goes with
# the library; only C++20 is asked of its users.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TAMSEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tamsel)

set_target_properties(numeric PROPERTIES OUTPUT_NAME tamsel_numeric EXPORT_NAME numeric)
target_include_directories(numeric INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS tamsel tamsel-plot RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set_target_properties(driver PROPERTIES OUTPUT_NAME tamsel_run EXPORT_NAME run)
install(TARGETS numeric driver EXPORT tamselTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT tamselTargets NAMESPACE tamsel:: DESTINATION ${TAMSEL_CMAKE_DIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/tamselConfig.cmake.in
  ${PROJECT_BINARY_DIR}/tamselConfig.cmake INSTALL_DESTINATION ${TAMSEL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tamselConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tamselConfig.cmake
  ${PROJECT_BINARY_DIR}/tamselConfigVersion.cmake DESTINATION ${TAMSEL_CMAKE_DIR})

# The pkg-config module gives the include directory and the library, and
# nothing else: its prefix is the one installed to, written out at install
# time so that `cmake --install --prefix` is honoured, and its paths are
# plain ${prefix}/include.  C++20 cannot be asked for there without
# overriding a newer standard the user chose, so the headers themselves
# refuse an older one with a message that names it.
set(TAMSEL_PC_PREFIX "@prefix@") # filled in at install time
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(TAMSEL_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(TAMSEL_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/tamsel.pc.in ${PROJECT_BINARY_DIR}/tamsel.pc.in @ONLY)
install(CODE "
  set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${PROJECT_BINARY_DIR}/tamsel.pc.in\" \"${PROJECT_BINARY_DIR}/tamsel.pc\" @ONLY)
")
install(FILES ${PROJECT_BINARY_DIR}/tamsel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# One page covers both programs; tamsel-plot's name leads to it.
file(WRITE ${PROJECT_BINARY_DIR}/tamsel-plot.1 ".so man1/tamsel.1\n")
install(FILES ${PROJECT_SOURCE_DIR}/doc/tamsel.1 ${PROJECT_BINARY_DIR}/tamsel-plot.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
