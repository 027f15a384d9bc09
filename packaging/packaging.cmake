# The desktop files, the documentation and the Debian packages (CPack's DEB
# generator): bveltrane holds the module with its two libraries and the SQL
# scripts, veltrane-host the host, its desktop entry, metainfo, icon and manual
# page, and depends on bveltrane at the same version.
set(pkg_src ${CMAKE_CURRENT_LIST_DIR})
set(pkg_out ${CMAKE_BINARY_DIR}/packaging)
set(VELTRANE_APP_ID org.veltrane.VeltraneHost)
set(VELTRANE_MAINTAINER "The Veltrane developers <veltrane@example.org>"
  CACHE STRING "The packages' Maintainer field")

# The changelog's latest entry names the version packaged and its date.
file(STRINGS ${pkg_src}/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^veltrane \\(([^)-]+)-([^)]+)\\) ")
  message(FATAL_ERROR "packaging/changelog: no version in its first line: ${changelog_head}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog: its latest entry is ${CMAKE_MATCH_1}, the project is ${PROJECT_VERSION}")
endif()
set(VELTRANE_PACKAGE_RELEASE ${CMAKE_MATCH_2})
file(STRINGS ${pkg_src}/changelog changelog_trailer REGEX "^ -- " LIMIT_COUNT 1)
if(NOT changelog_trailer MATCHES ", ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "packaging/changelog: no date in its first trailer line: ${changelog_trailer}")
endif()
set(day ${CMAKE_MATCH_1})
set(year ${CMAKE_MATCH_3})
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months ${CMAKE_MATCH_2} month)
if(month LESS 0)
  message(FATAL_ERROR "packaging/changelog: no month ${CMAKE_MATCH_2}")
endif()
math(EXPR month "${month} + 1")
foreach(part day month)
  string(LENGTH "${${part}}" length)
  if(length EQUAL 1)
    set(${part} 0${${part}})
  endif()
endforeach()
set(VELTRANE_RELEASE_DATE ${year}-${month}-${day})
configure_file(${pkg_src}/${VELTRANE_APP_ID}.metainfo.xml.in ${pkg_out}/${VELTRANE_APP_ID}.metainfo.xml @ONLY)

# Compressed as Debian has them: gzip -9n (no name, no time: the same bytes each build).
set(compressed)
foreach(pair "veltrane-host.1;veltrane-host.1.gz" "changelog;changelog.Debian.gz")
  list(GET pair 0 in)
  list(GET pair 1 out)
  add_custom_command(OUTPUT ${pkg_out}/${out}
    COMMAND gzip -9n -c ${pkg_src}/${in} > ${pkg_out}/${out}
    DEPENDS ${pkg_src}/${in})
  list(APPEND compressed ${pkg_out}/${out})
endforeach()
add_custom_target(veltrane-docs DEPENDS ${compressed})
add_dependencies(veltrane-host veltrane-docs)

install(FILES ${pkg_out}/veltrane-host.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT host)
install(FILES ${pkg_src}/${VELTRANE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT host)
install(FILES ${pkg_out}/${VELTRANE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT host)
install(FILES ${pkg_src}/${VELTRANE_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  COMPONENT host)
foreach(pair "module;bveltrane" "host;veltrane-host")
  list(GET pair 0 component)
  list(GET pair 1 package)
  install(FILES ${pkg_src}/copyright ${pkg_out}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package}
    COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltrane)
set(CPACK_PACKAGE_VENDOR "The Veltrane developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL module host)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VELTRANE_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELTRANE_MAINTAINER}")
# One source for both: its name is the private folder's (/usr/lib/<triplet>/veltrane).
set(CPACK_DEBIAN_PACKAGE_SOURCE veltrane)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Depends from the libraries the binaries link (dpkg-shlibdeps); ours are found
# in the build tree and belong to no package, bveltrane stands for them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_HOST_DEPENDS module)

set(CPACK_DEBIAN_MODULE_PACKAGE_NAME bveltrane)
set(CPACK_COMPONENT_MODULE_DESCRIPTION "payment-scope confirmation module of a fiscal budget application
The bVeltrane module opens the window 支付范围划分确认, in which budget staff
confirm or take back the payment-scope division of budget records, on an
embedded SQLite database or on a PostgreSQL or ODBC server. A host loads it
and calls its one export, ShowPlugInWindow.
.
This package holds the module with its two libraries, in a private folder,
and the SQL scripts of its database schema.")
# Loaded by name at run time, unseen by the scan: Qt's SQLite driver. (Qt's
# platform plug-ins for X11 and offscreen come with libqt6gui6, which the scan
# finds; qt6-qpa-plugins holds only VNC and TUIO.)
set(CPACK_DEBIAN_MODULE_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_MODULE_PACKAGE_SUGGESTS "libqt6sql6-psql, libqt6sql6-odbc")

set(CPACK_DEBIAN_HOST_PACKAGE_NAME veltrane-host)
set(CPACK_COMPONENT_HOST_DESCRIPTION "reference host of the payment-scope confirmation module
veltrane-host loads the bVeltrane module, gives it a database (by default a
demo database it creates), and opens its window 支付范围划分确认. It is
interactive with a display and runs scripts of window commands without one.")
# The window's texts are Chinese: Qt's own dialogs in Chinese, and a CJK font.
set(CPACK_DEBIAN_HOST_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-wqy-microhei | fonts-noto-cjk")

include(CPack)
