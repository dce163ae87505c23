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
    ${PROJECT_SOURCE_DIR}/cmake/CxxAbiOfLibrary.cmake
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

# --- Release archives (CPack) ------------------------------------------------
# Three archives, each laid out as an install root so that they unpack into
# one folder side by side, each with the notes: the plug-in; the devel
# package; the stand-in host with the example scenes. (The
# stand-in SDK's DLLs would land in bin/ a second time on Windows.)
if(WIN32)
  set(LUMOX_PACKAGE_PLATFORM windows-x64)
  set(_archive ZIP)
  set(_archive_suffix .zip)
else()
  set(LUMOX_PACKAGE_PLATFORM linux-${CMAKE_SYSTEM_PROCESSOR})
  set(_archive TGZ)
  set(_archive_suffix .tar.gz)
endif()
set(LUMOX_PLUGIN_ARCHIVE ${PROJECT_NAME}-${PROJECT_VERSION}-${LUMOX_PACKAGE_PLATFORM})
set(LUMOX_DEVEL_ARCHIVE ${PROJECT_NAME}-devel-${PROJECT_VERSION}-${LUMOX_PACKAGE_PLATFORM})
set(LUMOX_HOST_ARCHIVE ${PROJECT_NAME}-host-${PROJECT_VERSION}-${LUMOX_PACKAGE_PLATFORM})

# The install note names the files as this platform has them.
set(LUMOX_PLUGIN_FILE LumoxIndirect${CMAKE_SHARED_MODULE_SUFFIX})
set(LUMOX_HOST_PROGRAM ddhost${CMAKE_EXECUTABLE_SUFFIX})
set(LUMOX_DEVEL_ARCHIVE_FILE ${LUMOX_DEVEL_ARCHIVE}${_archive_suffix})
set(LUMOX_HOST_ARCHIVE_FILE ${LUMOX_HOST_ARCHIVE}${_archive_suffix})
# What the note says of this build's toolchain and of finding the renderer
# library, which differs between platforms.
set(LUMOX_INSTALL_BUILT_FOR "")
if(MINGW)
  set(LUMOX_INSTALL_BUILT_FOR [[
This build is for the stand-in host only. It was made with MinGW (GCC): it
needs the MinGW C++ runtime and names the SDK's functions as GCC does, so
it loads only in the stand-in host, ddhost, never in a host built with
Microsoft Visual C++. For such a host, build the plug-in with MSVC against
the host's own SDK (the msvc preset; see README.md).

]])
endif()
if(WIN32)
  set(LUMOX_INSTALL_LIBRARY_SEARCH [[
On Windows the renderer library is loaded through the host's DLL search,
not from the plug-in's folder: put the suite's bin/ folder on PATH before
the host starts or, for a host that restricts its DLL search, among the
folders the host itself adds to it.]])
else()
  set(LUMOX_INSTALL_LIBRARY_SEARCH [[
From there the plug-in finds the renderer library in the suite's bin/
folder itself.]])
endif()
# Which hosts a libstdc++ build suits follows its std::string ABI.
if(LUMOX_PLUGIN_CXX11_ABI STREQUAL "1" AND NOT WIN32)
  set(LUMOX_INSTALL_BUILT_FOR [[
This build uses libstdc++'s new std::string ABI: it suits hosts built to
the VFX Reference Platform CY2023 and later. Older hosts need a build of
their own against their SDK (see README.md).

]])
elseif(LUMOX_PLUGIN_CXX11_ABI STREQUAL "0" AND NOT WIN32)
  set(LUMOX_INSTALL_BUILT_FOR [[
This build uses libstdc++'s old std::string ABI: it suits hosts built to
the VFX Reference Platform CY2022 and before. Newer hosts need a build of
their own against their SDK (see README.md).

]])
endif()
if(WIN32)
  set(LUMOX_INSTALL_CHECK [[
Checking it: no other Lumox.dll may stand in the host program's folder,
the system folders or the folder the host starts in, and in a prompt with
the environment the host starts with, "where Lumox.dll" must list the
suite's bin\Lumox.dll first.]])
else()
  set(LUMOX_INSTALL_CHECK [[
Checking it: "ldd SUITE/plugins/LumoxIndirect.so" must show
libLumox.so => SUITE/plugins/../bin/libLumox.so.]])
endif()
configure_file(${LUMOX_RELEASE_DIR}/INSTALL.txt.in ${PROJECT_BINARY_DIR}/package/INSTALL.txt @ONLY)

# The notes: the README, the install note, the licences, and the manuals the
# README links to, so that its links hold in every archive. Each archive
# carries its own copy, as each may be the only one a user unpacks.
set(LUMOX_NOTES README.md LICENSE NOTICE)
set(LUMOX_MANUALS
  docs/ddhost.md docs/building.md docs/standins.md docs/bridge.md docs/viewer-several-lights.png
  bench/README.md)
set(LUMOX_NOTES_COMPONENTS notes devel_notes)
if(LUMOX_STANDINS)
  list(APPEND LUMOX_NOTES_COMPONENTS host_notes)
endif()
foreach(_component IN LISTS LUMOX_NOTES_COMPONENTS)
  foreach(_note IN LISTS LUMOX_NOTES)
    install(FILES ${PROJECT_SOURCE_DIR}/${_note} DESTINATION . COMPONENT ${_component} EXCLUDE_FROM_ALL)
  endforeach()
  install(FILES ${PROJECT_BINARY_DIR}/package/INSTALL.txt DESTINATION . COMPONENT ${_component} EXCLUDE_FROM_ALL)
  foreach(_manual IN LISTS LUMOX_MANUALS)
    get_filename_component(_folder ${_manual} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/${_manual} DESTINATION ${_folder} COMPONENT ${_component} EXCLUDE_FROM_ALL)
  endforeach()
endforeach()
if(LUMOX_STANDINS)
  install(FILES
      ${PROJECT_SOURCE_DIR}/examples/bounce-light.ddscript
      ${PROJECT_SOURCE_DIR}/examples/several-lights.ddscript
      ${PROJECT_SOURCE_DIR}/examples/shader-instance.ddscript
    DESTINATION examples COMPONENT examples EXCLUDE_FROM_ALL)
endif()

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "${PROJECT_NAME} developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_FILE_NAME ${LUMOX_PLUGIN_ARCHIVE})
set(CPACK_GENERATOR ${_archive})
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_COMPONENTS_ALL plugin devel ${LUMOX_NOTES_COMPONENTS})
if(LUMOX_STANDINS)
  list(APPEND CPACK_COMPONENTS_ALL host examples)
endif()
set(CPACK_ARCHIVE_RELEASE_FILE_NAME ${LUMOX_PLUGIN_ARCHIVE})
set(CPACK_ARCHIVE_DEVEL_FILE_NAME ${LUMOX_DEVEL_ARCHIVE})
set(CPACK_ARCHIVE_HOST_FILE_NAME ${LUMOX_HOST_ARCHIVE})
include(CPack)
cpack_add_component_group(release DISPLAY_NAME "The plug-in")
cpack_add_component_group(devel DISPLAY_NAME "For renderer bridges")
cpack_add_component_group(host DISPLAY_NAME "The stand-in host")
cpack_add_component(plugin GROUP release)
cpack_add_component(notes GROUP release)
cpack_add_component(devel GROUP devel)
cpack_add_component(devel_notes GROUP devel)
cpack_add_component(host GROUP host)
cpack_add_component(examples GROUP host)
cpack_add_component(host_notes GROUP host)

# --- API reference (`docs`) --------------------------------------------------
# Doxygen over the bridge headers; an undocumented public member fails it.
get_target_property(_bridge_headers lumoxindirect_bridge_api HEADER_SET)
get_target_property(_bridge_include_dirs lumoxindirect_bridge_api HEADER_DIRS)
find_package(Doxygen)
if(DOXYGEN_FOUND)
  set(DOXYGEN_PROJECT_NAME "${PROJECT_NAME} bridge API")
  set(DOXYGEN_PROJECT_NUMBER ${PROJECT_VERSION})
  set(DOXYGEN_PROJECT_BRIEF "What a renderer bridge builds against to drive LumoxIndirect nodes")
  set(DOXYGEN_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/docs)
  set(DOXYGEN_STRIP_FROM_PATH ${_bridge_include_dirs})
  set(DOXYGEN_STRIP_FROM_INC_PATH ${_bridge_include_dirs})
  set(DOXYGEN_FULL_PATH_NAMES YES)
  set(DOXYGEN_EXTRACT_ALL NO)
  set(DOXYGEN_WARN_IF_UNDOCUMENTED YES)
  set(DOXYGEN_WARN_IF_DOC_ERROR YES)
  set(DOXYGEN_WARN_AS_ERROR FAIL_ON_WARNINGS)
  set(DOXYGEN_QUIET YES)
  set(DOXYGEN_GENERATE_LATEX NO)
  set(DOXYGEN_JAVADOC_AUTOBRIEF YES)
  doxygen_add_docs(docs ${_bridge_headers} COMMENT "API reference of the bridge headers")
else()
  add_custom_target(docs
    COMMAND ${CMAKE_COMMAND} -E echo "docs: doxygen not found (install Debian's doxygen)"
    COMMAND ${CMAKE_COMMAND} -E false)
endif()
