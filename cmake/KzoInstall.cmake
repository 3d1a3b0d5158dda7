# What `cmake --install` puts under the prefix, and the Debian package made of
# it (`cpack -G DEB` in the build folder):
#   bin/plugin-host                                  the reference host
#   lib/kzo-plugin-framework/jvp-be-kzo-match-history.so
#   lib/libkzo_framework.a                           Kzo::framework
#   lib/kzo-plugin-framework/objects/...             Kzo::counted_new
#   include/kzo-plugin-framework/<layer>/*.h         the public headers
#   lib/cmake/KzoPluginFramework/                    find_package(KzoPluginFramework)
#   share/kzo-plugin-framework/sample_data/          the host's sample peers
#   share/kzo-plugin-framework/examples/hello/       the tutorial plug-in
# The host finds the plug-in and the sample data relative to its own location
# (host/CMakeLists.txt hands it these paths).

include(CMakePackageConfigHelpers)

# The public headers: every header of a framework layer outside internal/
# (scripts/check-layering.py keeps public headers from including internal ones).
foreach(layer IN ITEMS abi diagnostics binding codecs api plugin)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/${layer}
    DESTINATION ${KZO_INSTALL_INCLUDEDIR}
    COMPONENT development
    FILES_MATCHING PATTERN "*.h"
    PATTERN "internal" EXCLUDE)
endforeach()

install(TARGETS kzo_framework kzo_counted_new EXPORT KzoPluginFrameworkTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  OBJECTS DESTINATION ${KZO_INSTALL_PLUGINDIR}/objects COMPONENT development)
install(EXPORT KzoPluginFrameworkTargets
  NAMESPACE Kzo::
  DESTINATION ${KZO_INSTALL_CMAKEDIR}
  COMPONENT development)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KzoPluginFrameworkConfig.cmake.in
  ${PROJECT_BINARY_DIR}/KzoPluginFrameworkConfig.cmake
  INSTALL_DESTINATION ${KZO_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KzoPluginFrameworkConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/KzoPluginFrameworkConfig.cmake
  ${PROJECT_BINARY_DIR}/KzoPluginFrameworkConfigVersion.cmake
  ${PROJECT_SOURCE_DIR}/cmake/KzoAddPlugin.cmake
  ${PROJECT_SOURCE_DIR}/cmake/kzo_plugin_exports.map.in
  ${PROJECT_SOURCE_DIR}/cmake/kzo_plugin_exports.def.in
  DESTINATION ${KZO_INSTALL_CMAKEDIR}
  COMPONENT development)

install(TARGETS plugin-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT host)
install(TARGETS kzo_match_history LIBRARY DESTINATION ${KZO_INSTALL_PLUGINDIR} COMPONENT host)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/host/sample_data
  DESTINATION ${KZO_INSTALL_DATADIR}
  COMPONENT host)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/hello
  DESTINATION ${KZO_INSTALL_DATADIR}/examples
  COMPONENT development)

# One Debian package with everything: the host, the plug-in and the files to
# build plug-ins. The shared libraries' dependencies are found by
# dpkg-shlibdeps; building a plug-in also needs libyaml's development files
# (the static library links libyaml) and pkg-config (to find it).
set(CPACK_PACKAGE_NAME kzo-plugin-framework)
set(CPACK_PACKAGE_VENDOR "kzo")
set(CPACK_PACKAGE_CONTACT "kzo plug-in framework maintainers <kzo-framework@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Framework for the platform's backend plug-ins, the reference plugin-host and the match-history plug-in")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The host and the plug-in lose their debugging information in the package;
# the static library keeps it, for the plug-ins built with it.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libyaml-dev, pkg-config")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cmake (>= 3.25), g++ (>= 4:12), libjs-dygraphs")
set(CPACK_GENERATOR DEB)
include(CPack)
