# Third-party packages, all from Debian.

# Header-only packages serve the Windows build from Debian's own headers,
# through a folder that holds nothing but `name`/, so glibc's headers never
# reach the cross compiler. Sets `out_var` to that folder.
function(lumox_expose_system_headers name system_dir out_var)
  if(NOT EXISTS ${system_dir})
    message(FATAL_ERROR "${system_dir} not found: install the Debian package that ships ${name}/")
  endif()
  set(folder ${PROJECT_BINARY_DIR}/_deps/${name}-include)
  file(MAKE_DIRECTORY ${folder})
  if(NOT EXISTS ${folder}/${name})
    file(CREATE_LINK ${system_dir} ${folder}/${name} SYMBOLIC)
  endif()
  set(${out_var} ${folder} PARENT_SCOPE)
endfunction()

if(WIN32)
  # call_once is header-only on Windows, with every toolchain: Boost.Thread
  # is never looked for as a compiled library there.
  if(CMAKE_CROSSCOMPILING)
    set(LUMOX_BOOST_SYSTEM_HEADERS /usr/include/boost CACHE PATH "Boost headers to expose to the cross build")
    lumox_expose_system_headers(boost ${LUMOX_BOOST_SYSTEM_HEADERS} _boost_only)
    set(Boost_INCLUDE_DIR ${_boost_only} CACHE PATH "" FORCE)
    set(Boost_NO_BOOST_CMAKE ON)
    set(Boost_NO_SYSTEM_PATHS ON)
  endif()
  find_package(Boost 1.74 REQUIRED)
  add_library(lumox_boost_thread INTERFACE)
  target_link_libraries(lumox_boost_thread INTERFACE Boost::headers)
  target_compile_definitions(lumox_boost_thread INTERFACE BOOST_THREAD_USE_LIB)
else()
  # Linked statically (Debian's archive is position-independent) and kept
  # local by the plug-in's version script: the plug-in must not tie itself
  # to one shared Boost build beside the one a host ships.
  set(Boost_USE_STATIC_LIBS ON)
  find_package(Boost 1.74 REQUIRED COMPONENTS thread)
  add_library(lumox_boost_thread INTERFACE)
  target_link_libraries(lumox_boost_thread INTERFACE Boost::headers Boost::thread)
endif()
add_library(LumoxIndirect::boost_thread ALIAS lumox_boost_thread)

# Boost.DLL, header-only on std::filesystem: where a module's own file is.
add_library(lumox_boost_dll INTERFACE)
add_library(LumoxIndirect::boost_dll ALIAS lumox_boost_dll)
target_link_libraries(lumox_boost_dll INTERFACE Boost::headers ${CMAKE_DL_LIBS})
target_compile_definitions(lumox_boost_dll INTERFACE BOOST_DLL_USE_STD_FS)

find_package(Threads REQUIRED)


# OpenGL 1.x for viewer drawing: the platform's OpenGL ABI, never an
# implementation. On Windows the system's opengl32 (Wine hands it to Mesa
# through an X display); on Linux GLVND's window-system-free libOpenGL where
# there is one, as on Debian, else libGL: whatever the host made current is
# what the plug-in's calls reach.
add_library(lumox_opengl INTERFACE)
add_library(LumoxIndirect::opengl ALIAS lumox_opengl)
if(WIN32)
  target_link_libraries(lumox_opengl INTERFACE opengl32)
  if(LUMOX_MSVC_ABI)
    # Wine ships no GL/gl.h: Mesa's (mesa-common-dev) declares the same
    # opengl32 entry points, imported, for an MSVC front end.
    lumox_expose_system_headers(GL /usr/include/GL _gl_only)
    lumox_expose_system_headers(KHR /usr/include/KHR _khr_only)
    target_include_directories(lumox_opengl SYSTEM INTERFACE ${_gl_only} ${_khr_only})
  endif()
else()
  set(OpenGL_GL_PREFERENCE GLVND)
  find_package(OpenGL REQUIRED)
  if(TARGET OpenGL::OpenGL)
    target_link_libraries(lumox_opengl INTERFACE OpenGL::OpenGL)
  else()
    target_link_libraries(lumox_opengl INTERFACE OpenGL::GL)
  endif()
endif()

if(NOT LUMOX_STANDINS)
  # The plug-in alone needs nothing more.
  return()
endif()

# The stand-in host's off-screen context: EGL on Linux, with no display.
if(NOT WIN32)
  find_package(OpenGL REQUIRED COMPONENTS EGL)
endif()

# ddhost, the stand-in host program: CLI11 for its command line.
if(CMAKE_CROSSCOMPILING AND WIN32)
  # Debian's CLI11 is header-only.
  set(LUMOX_CLI11_SYSTEM_HEADERS /usr/include/CLI CACHE PATH "CLI11 headers to expose to the cross build")
  lumox_expose_system_headers(CLI ${LUMOX_CLI11_SYSTEM_HEADERS} _cli11_only)
  if(NOT EXISTS ${_cli11_only}/CLI/CLI.hpp)
    message(FATAL_ERROR "CLI11 headers not found in ${LUMOX_CLI11_SYSTEM_HEADERS} (install libcli11-dev)")
  endif()
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_cli11_only})
else()
  find_package(CLI11 CONFIG REQUIRED)
endif()

# stb's PNG writer and reader (Debian's libstb-dev), used as the header-only
# code it is, so both legs encode and decode with the very same source. The
# file that defines STB_IMAGE_WRITE_IMPLEMENTATION or STB_IMAGE_IMPLEMENTATION
# compiles it.
set(LUMOX_STB_SYSTEM_HEADERS /usr/include/stb CACHE PATH "stb headers (libstb-dev)")
if(NOT EXISTS ${LUMOX_STB_SYSTEM_HEADERS}/stb_image_write.h OR NOT EXISTS ${LUMOX_STB_SYSTEM_HEADERS}/stb_image.h)
  message(FATAL_ERROR "stb headers not found in ${LUMOX_STB_SYSTEM_HEADERS} (install libstb-dev)")
endif()
lumox_expose_system_headers(stb ${LUMOX_STB_SYSTEM_HEADERS} _stb_only)
add_library(lumox_stb INTERFACE)
add_library(LumoxIndirect::stb ALIAS lumox_stb)
# Not ours to keep warning-free.
target_include_directories(lumox_stb SYSTEM INTERFACE ${_stb_only})

if(LUMOX_BUILD_TESTS)
  if(CMAKE_CROSSCOMPILING)
    # No prebuilt GoogleTest for the target: build Debian's shipped sources.
    set(LUMOX_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    # Under an MSVC front end GoogleTest would switch to the static runtime:
    # every module here shares the DLL one.
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${LUMOX_GOOGLETEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
