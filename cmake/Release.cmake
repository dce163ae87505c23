# What a release carries beyond the build: the version in every Windows file,
# the package a renderer bridge builds against, the archives, and the API
# reference. Included once every target exists.

set(LUMOX_RELEASE_DIR ${CMAKE_CURRENT_LIST_DIR}/release)

# --- Version resources -------------------------------------------------------
# Windows' file properties and deployment tools read the version from a
# VERSIONINFO resource, which windres compiles from a file filled in here.
if(WIN32)
  enable_language(RC)
endif()

# Gives `target` (file `filename`, an APP or a DLL) its version resource.
function(lumox_version_resource target filename type description)
  if(NOT WIN32)
    return()
  endif()
  set(LUMOX_RC_FILENAME ${filename})
  set(LUMOX_RC_FILETYPE VFT_${type})
  set(LUMOX_RC_DESCRIPTION ${description})
  set(LUMOX_RC_INTERNAL_NAME ${target})
  set(LUMOX_RC_COMPANY "${PROJECT_NAME} developers")
  set(rc ${PROJECT_BINARY_DIR}/version/${target}.rc)
  configure_file(${LUMOX_RELEASE_DIR}/VersionInfo.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

lumox_version_resource(LumoxIndirect LumoxIndirect.dll DLL "Indirect light node for DD::Image hosts")
if(TARGET ddhost)
  lumox_version_resource(ddhost ddhost.exe APP "Stand-in DD::Image host")
endif()

# --- The package bridge developers build against (`devel`) -------------------
include(CMakePackageConfigHelpers)
set(LUMOX_PACKAGE_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/${PROJECT_NAME})

install(TARGETS lumoxindirect_bridge_api EXPORT LumoxIndirectTargets
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT devel)
install(EXPORT LumoxIndirectTargets NAMESPACE LumoxIndirect::
  DESTINATION ${LUMOX_PACKAGE_DESTINATION} COMPONENT devel)

configure_package_config_file(${LUMOX_RELEASE_DIR}/LumoxIndirectConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/LumoxIndirectConfig.cmake
  INSTALL_DESTINATION ${LUMOX_PACKAGE_DESTINATION})
# Before 1.0 a minor version may break the interface; from 1.0 only a major.
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(_compatibility SameMinorVersion)
else()
  set(_compatibility SameMajorVersion)
endif()
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/LumoxIndirectConfigVersion.cmake
  COMPATIBILITY ${_compatibility})
install(FILES
    ${PROJECT_BINARY_DIR}/package/LumoxIndirectConfig.cmake
    ${PROJECT_BINARY_DIR}/package/LumoxIndirectConfigVersion.cmake
    ${PROJECT_SOURCE_DIR}/cmake/FindDDImage.cmake
    ${PROJECT_SOURCE_DIR}/cmake/FindSdkLibrary.cmake
  DESTINATION ${LUMOX_PACKAGE_DESTINATION} COMPONENT devel)

# --- The stand-in host's headers (`host`) ------------------------------------
# What a program playing the host needs to make nodes and read the renderer's
# output, as the example bridge's does; the libraries are the `sdk`'s.
if(LUMOX_STANDINS)
  set(LUMOX_HOST_HEADERS
    standin/sdk/ddimage/include/standin/ddimage/Controls.h
    standin/sdk/ddimage/include/standin/ddimage/Graph.h
    standin/sdk/ddimage/include/standin/ddimage/Registry.h
    standin/sdk/lumox/include/standin/lumox/RibOutput.h)
  foreach(_header IN LISTS LUMOX_HOST_HEADERS)
    string(REGEX REPLACE "^.*/include/" "" _installed ${_header})
    get_filename_component(_folder ${_installed} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/${_header}
      DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${_folder} COMPONENT host)
  endforeach()
endif()
