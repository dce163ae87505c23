cmake_minimum_required(VERSION 3.25)
# A host program run on a script writes its golden RIB.
#   -DPROGRAM -DSCRIPT -DGOLDEN [-DEMULATOR]
include(${CMAKE_CURRENT_LIST_DIR}/ScriptSteps.cmake)
lumox_expect_host_output("${PROGRAM} on ${SCRIPT}" "${GOLDEN}" "${PROGRAM}" "${SCRIPT}")
