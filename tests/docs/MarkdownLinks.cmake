# Relative links of Markdown files that lead nowhere. Shared by the test of
# the source tree, its own test, and the test of the unpacked archives.
include_guard(GLOBAL)

# Sets `out_var` to the anchors of the headings of the Markdown file `page`,
# as web renderings name them: lower case, punctuation dropped, blanks as
# hyphens ("Building with MSVC" is "building-with-msvc").
function(lumox_markdown_anchors out_var page)
  file(STRINGS "${page}" headings REGEX "^#+ ")
  set(anchors)
  foreach(heading IN LISTS headings)
    string(REGEX REPLACE "^#+ +" "" anchor "${heading}")
    string(TOLOWER "${anchor}" anchor)
    string(REGEX REPLACE "[^a-z0-9 _-]" "" anchor "${anchor}")
    string(REPLACE " " "-" anchor "${anchor}")
    list(APPEND anchors "${anchor}")
  endforeach()
  set(${out_var} "${anchors}" PARENT_SCOPE)
endfunction()

# Sets `out_var` to one line per relative link, in the Markdown files below
# `root`, whose file does not exist, or whose Markdown file has no heading
# of its anchor: "FILE: TARGET". Links inside code (fenced blocks, backtick
# spans) are text, not links; web addresses are not files. `exclude` is a
# regular expression of paths, relative to `root`, not to read (build trees).
function(lumox_broken_markdown_links out_var root exclude)
  file(GLOB_RECURSE pages RELATIVE "${root}" "${root}/*.md")
  set(broken)
  foreach(page IN LISTS pages)
    if(NOT exclude STREQUAL "" AND page MATCHES "${exclude}")
      continue()
    endif()
    file(READ "${root}/${page}" text)
    # Brackets and semicolons would split CMake lists: take them out of the
    # way before the text is cut into links.
    string(REPLACE ";" "<semicolon>" text "${text}")
    string(REGEX REPLACE "\n```[^`]*\n```" "\n" text "\n${text}")
    string(REGEX REPLACE "`[^`\n]*`" "" text "${text}")
    string(REPLACE "](" "<link>" text "${text}")
    string(REPLACE "[" "<" text "${text}")
    string(REPLACE "]" ">" text "${text}")
    string(REGEX MATCHALL "<link>[^)\n]*\\)" links "${text}")
    # Images written as HTML, and reference definitions ("[name]: target").
    string(REGEX MATCHALL "src=\"[^\"]*\"" images "${text}")
    string(REGEX MATCHALL "\n<[^>\n]*>: [^ \n]*" references "${text}")
    get_filename_component(folder "${root}/${page}" DIRECTORY)
    foreach(link IN LISTS links images references)
      string(REGEX REPLACE "^<link>|\\)$|^src=\"|\"$|^\n<[^>]*>: " "" target "${link}")
      # A title after the target: (file "title").
      string(REGEX REPLACE "[ \t]+\".*$" "" target "${target}")
      string(REGEX REPLACE "^<(.*)>$" "\\1" target "${target}")
      if(target MATCHES "^[a-zA-Z][a-zA-Z0-9+.-]*:")
        continue()
      endif()
      set(anchor)
      if(target MATCHES "^([^#]*)#(.*)$")
        set(target "${CMAKE_MATCH_1}")
        set(anchor "${CMAKE_MATCH_2}")
      endif()
      set(file "${folder}/${target}")
      if(target STREQUAL "")
        set(file "${root}/${page}")
      endif()
      if(NOT EXISTS "${file}")
        list(APPEND broken "${page}: ${target}")
      elseif(anchor AND file MATCHES "\\.md$")
        lumox_markdown_anchors(anchors "${file}")
        if(NOT anchor IN_LIST anchors)
          list(APPEND broken "${page}: ${target}#${anchor}")
        endif()
      endif()
    endforeach()
  endforeach()
  if(NOT pages)
    list(APPEND broken "no Markdown file below ${root}")
  endif()
  set(${out_var} "${broken}" PARENT_SCOPE)
endfunction()

# Ends the script naming every broken link below `root`.
function(lumox_expect_markdown_links_hold root exclude)
  lumox_broken_markdown_links(broken "${root}" "${exclude}")
  if(broken)
    string(REPLACE ";" "\n  " broken "${broken}")
    message(FATAL_ERROR "Relative links to files that do not exist:\n  ${broken}")
  endif()
endfunction()
