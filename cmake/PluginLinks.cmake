# The plug-in's one seam to the outside: its targets link each other, the
# bridge API, the SDK (DDImage::DDImage, Lumox::Lumox), the platform's OpenGL
# and Boost, and nothing else, so it builds against any SDK providing those.

set(_plugin_targets lumoxindirect_node liblumox_loader LumoxIndirect)
set(_allowed ${_plugin_targets} lumoxindirect_bridge_api lumox_project_options
  DDImage::DDImage Lumox::Lumox LumoxIndirect::opengl LumoxIndirect::boost_thread Boost::headers)
foreach(_target IN LISTS _plugin_targets)
  get_target_property(_links ${_target} LINK_LIBRARIES)
  foreach(_link IN LISTS _links)
    if(NOT _link IN_LIST _allowed)
      message(FATAL_ERROR "${_target} links ${_link}: the plug-in links only ${_allowed}")
    endif()
  endforeach()
endforeach()
