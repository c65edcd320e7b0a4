include(GenerateExportHeader)

# Headers generated at configure time (export macros, version) sit here in the build tree and
# beside the public headers once installed.
set(ZRV_GENERATED_INCLUDE_DIR ${PROJECT_BINARY_DIR}/include)
# Installed headers keep their path below src/: #include "stream/joinstream.h".
set(ZRV_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/zrvStreams)

# zrv_library(<name> [PUBLIC <deps>...] [PRIVATE <deps>...])
#
# Compiles the sources once, as <name>Objects with every symbol hidden unless its declaration
# carries the <NAME>_EXPORT macro from the generated <name>_export.h, and links them twice:
#   <name>           the shared library that is installed (alias zrv::<name>);
#   <name>Internal   a static library over the same objects, for the tests and fuzz targets,
#                    which also reach the private classes.
# Sources are added to <name>Objects; the public headers, which alone are installed, to the
# HEADERS file set of <name>. Dependencies named zrv<X> link zrv<X>Internal in the static variant.
function(zrv_library name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "PUBLIC;PRIVATE")
    string(TOLOWER ${name} lower)
    string(TOUPPER ${name} upper)

    add_library(${name}Objects OBJECT)
    add_library(${name} SHARED $<TARGET_OBJECTS:${name}Objects>)
    add_library(${name}Internal STATIC $<TARGET_OBJECTS:${name}Objects>)
    add_library(zrv::${name} ALIAS ${name})

    set_target_properties(${name}Objects PROPERTIES
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    target_compile_definitions(${name}Objects PRIVATE ${name}_EXPORTS)
    target_include_directories(${name}Objects PUBLIC ${PROJECT_SOURCE_DIR}/src ${ZRV_GENERATED_INCLUDE_DIR})
    target_link_libraries(${name}Objects PUBLIC ${arg_PUBLIC} PRIVATE ${arg_PRIVATE})
    zrv_warnings(${name}Objects)

    # Version 0 promises no stable ABI between minor versions, so the SONAME carries the minor too.
    if(PROJECT_VERSION_MAJOR EQUAL 0)
        set(soversion ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
    else()
        set(soversion ${PROJECT_VERSION_MAJOR})
    endif()
    # AUTOMOC off for both: the moc output is in the objects already.
    set_target_properties(${name} PROPERTIES
        AUTOMOC OFF
        EXPORT_NAME ${name}
        VERSION ${PROJECT_VERSION}
        SOVERSION ${soversion}
        INSTALL_RPATH "$ORIGIN")
    set_target_properties(${name}Internal PROPERTIES AUTOMOC OFF)
    if(NOT ZRV_TOP_LEVEL)
        # Only this project's own tests link the static variant.
        set_target_properties(${name}Internal PROPERTIES EXCLUDE_FROM_ALL ON)
    endif()
    target_compile_features(${name} PUBLIC cxx_std_17)
    target_link_libraries(${name} PUBLIC ${arg_PUBLIC} PRIVATE ${arg_PRIVATE})

    generate_export_header(${name}
        BASE_NAME ${upper}
        EXPORT_FILE_NAME ${ZRV_GENERATED_INCLUDE_DIR}/${lower}_export.h)
    target_sources(${name} PUBLIC FILE_SET HEADERS
        BASE_DIRS ${PROJECT_SOURCE_DIR}/src ${ZRV_GENERATED_INCLUDE_DIR}
        FILES ${ZRV_GENERATED_INCLUDE_DIR}/${lower}_export.h)

    list(TRANSFORM arg_PUBLIC REPLACE "^(zrv[A-Za-z]+)$" "\\1Internal")
    list(TRANSFORM arg_PRIVATE REPLACE "^(zrv[A-Za-z]+)$" "\\1Internal")
    target_include_directories(${name}Internal PUBLIC ${PROJECT_SOURCE_DIR}/src ${ZRV_GENERATED_INCLUDE_DIR})
    target_link_libraries(${name}Internal PUBLIC ${arg_PUBLIC} PRIVATE ${arg_PRIVATE})
endfunction()
