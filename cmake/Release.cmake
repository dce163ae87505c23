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
