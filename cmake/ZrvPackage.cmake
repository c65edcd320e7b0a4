# Installs the three libraries, their public headers, the zrv tool, a CMake package
# (find_package(zrvStreams) gives zrv::zrvStreams, zrv::zrvCore, zrv::zrvCloud) and pkg-config files.
include(CMakePackageConfigHelpers)

set(ZRV_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/zrvStreams)

install(TARGETS zrvCore zrvCloud zrvStreams
    EXPORT zrvStreamsTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
    FILE_SET HEADERS DESTINATION ${ZRV_INSTALL_INCLUDEDIR} COMPONENT development)
install(EXPORT zrvStreamsTargets
    NAMESPACE zrv::
    DESTINATION ${ZRV_INSTALL_CMAKEDIR}
    COMPONENT development)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/zrvStreamsConfig.cmake.in
    ${PROJECT_BINARY_DIR}/zrvStreamsConfig.cmake
    INSTALL_DESTINATION ${ZRV_INSTALL_CMAKEDIR})
# 0.x releases break their API between minor versions; from 1.0 on, within a major version.
if(PROJECT_VERSION_MAJOR EQUAL 0)
    set(compatibility SameMinorVersion)
else()
    set(compatibility SameMajorVersion)
endif()
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zrvStreamsConfigVersion.cmake
    COMPATIBILITY ${compatibility})
install(FILES ${PROJECT_BINARY_DIR}/zrvStreamsConfig.cmake ${PROJECT_BINARY_DIR}/zrvStreamsConfigVersion.cmake
    DESTINATION ${ZRV_INSTALL_CMAKEDIR}
    COMPONENT development)

# The .pc files find the prefix relative to themselves, so an installed tree can be moved.
set(ZRV_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH ZRV_PKGCONFIG_TO_PREFIX /${ZRV_PKGCONFIG_DIR} /)
string(REGEX REPLACE "/$" "" ZRV_PKGCONFIG_TO_PREFIX "${ZRV_PKGCONFIG_TO_PREFIX}")
set(zrvCoreDescription "Core library of zrvStreams: logging, exceptions, ciphers, keys")
set(zrvCoreRequires "Qt5Core")
set(zrvCloudDescription "Cloud transfer library of zrvStreams: local and HTTP providers")
set(zrvCloudRequires "zrvCore Qt5Core")
set(zrvStreamsDescription "Chained QIODevice data streams for backups")
set(zrvStreamsRequires "zrvCore zrvCloud Qt5Core")
foreach(library zrvCore zrvCloud zrvStreams)
    set(description ${${library}Description})
    set(requires ${${library}Requires})
    configure_file(${CMAKE_CURRENT_LIST_DIR}/zrvlibrary.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/${library}.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${library}.pc
        DESTINATION ${ZRV_PKGCONFIG_DIR}
        COMPONENT development)
endforeach()

if(TARGET zrv)
    set_target_properties(zrv PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    install(TARGETS zrv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()
