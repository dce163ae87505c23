# The plug-in's one seam to the outside: its targets link each other, the
# bridge API, the SDK (DDImage::DDImage, Lumox::Lumox), the platform's OpenGL
# and Boost, and nothing else, so it builds against any SDK providing those.
# Each takes the project's settings, the SDK's C++ ABI among them.

set(_plugin_targets lumoxindirect_node liblumox_loader LumoxIndirect)
set(_allowed ${_plugin_targets} lumoxindirect_bridge_api lumox_project_options
  DDImage::DDImage Lumox::Lumox LumoxIndirect::opengl LumoxIndirect::boost_thread Boost::headers)
foreach(_target IN LISTS _plugin_targets)
  get_target_property(_links ${_target} LINK_LIBRARIES)
  if(NOT lumox_project_options IN_LIST _links)
    message(FATAL_ERROR "${_target} does not link lumox_project_options: it would miss the project's settings, the C++ ABI among them (lumox_target)")
  endif()
  foreach(_link IN LISTS _links)
    if(NOT _link IN_LIST _allowed)
      message(FATAL_ERROR "${_target} links ${_link}: the plug-in links only ${_allowed}")
    endif()
  endforeach()
endforeach()
