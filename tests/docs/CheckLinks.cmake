cmake_minimum_required(VERSION 3.25)
# The Markdown files below ROOT link only to files that exist.
#   -DROOT [-DEXCLUDE=regex of relative paths not to read]
# With -DSELF_TEST=folder instead, checks the checker on pages of its own.

include(${CMAKE_CURRENT_LIST_DIR}/MarkdownLinks.cmake)

if(NOT SELF_TEST)
  if(NOT DEFINED EXCLUDE)
    set(EXCLUDE "")
  endif()
  lumox_expect_markdown_links_hold("${ROOT}" "${EXCLUDE}")
  return()
endif()

# Every kind of link the manuals use, to files and headings that exist and
# to ones that do not, and link-like text in code that is no link.
file(REMOVE_RECURSE "${SELF_TEST}")
file(WRITE "${SELF_TEST}/there.md" "")
file(WRITE "${SELF_TEST}/docs/picture.png" "")
file(WRITE "${SELF_TEST}/README.md" [==[
# Page

[a manual](docs/guide.md), [with an anchor](docs/guide.md#a-guides-part-two), ![picture](docs/picture.png "its title")
[web](https://example.com/missing.md) [anchor](#page) [mail](mailto:someone@example.com)
[no such part](docs/guide.md#part-three) [no such heading here](#elsewhere)
[gone](docs/gone.md) ![gone picture](docs/gone.png)
<img src="docs/picture.png"> <img src="docs/gone-html.png">

[reference]: docs/gone-reference.md

`[code](not/a/link.md)` and a lambda `[&](int x) { return x; }`

```
[&](const std::string& name) { return name; }
[fenced](not/a/link.md)
```

[after the fence](there.md)
]==])
file(WRITE "${SELF_TEST}/docs/guide.md" "# A guide\n\n## A guide's `part` two\n\n"
  "[back](../README.md) [up and gone](../nothing.md) [same folder](picture.png)\n")
file(WRITE "${SELF_TEST}/build/generated.md" "[excluded](gone.md)\n")

lumox_broken_markdown_links(broken "${SELF_TEST}" "^build/")
set(expected
  "README.md: docs/gone.md"
  "README.md: docs/gone.png"
  "README.md: docs/gone-html.png"
  "README.md: docs/gone-reference.md"
  "README.md: docs/guide.md#part-three"
  "README.md: #elsewhere"
  "docs/guide.md: ../nothing.md")
list(SORT broken)
list(SORT expected)
if(NOT broken STREQUAL expected)
  string(REPLACE ";" "\n  " broken "${broken}")
  string(REPLACE ";" "\n  " expected "${expected}")
  message(FATAL_ERROR "The link check found\n  ${broken}\ninstead of\n  ${expected}")
endif()
file(REMOVE_RECURSE "${SELF_TEST}")
