# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The layering of src/ and tools/, one static library a folder, enforced by
# the compiler:
#
#   app -> about, acquisition, display, capture_file -> platform, core
#
#   tools/ programs: board, export, decode, capture, examples
#     capture -> command, export, sigrok, and src's acquisition
#     decode -> command, detect, sigrok
#     export -> command, sigrok, session_setup
#     board -> command, signals, and the firmware's sample clock;  examples -> signals
#     detect -> signals, sigrok
#     session_setup -> detect, sigrok
#     command -> core, capture_file;  signals, sigrok -> core
#
# Every library compiles against an include view of its own that holds only
# its folder and the folders it uses, so an #include "app/..." in a
# subsystem, of a sibling subsystem, or in tools/ of a folder a library does
# not use, is not found and does not compile.

# wavemill_include_view(TARGET [PUBLIC] FOLDERS...): TARGET may include
# "<folder>/..." of the src/ or tools/ folders named, and nothing else of
# either; with PUBLIC, so may what links TARGET (a companion tool's library).
function(wavemill_include_view target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "PUBLIC" "" "")
  set(view ${CMAKE_BINARY_DIR}/include_views/${target})
  file(REMOVE_RECURSE ${view})
  file(MAKE_DIRECTORY ${view})
  foreach(folder IN LISTS arg_UNPARSED_ARGUMENTS)
    if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/src/${folder})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${view}/${folder} SYMBOLIC)
    elseif(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/tools/${folder})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/tools/${folder} ${view}/${folder} SYMBOLIC)
    elseif(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/${folder})
      # A top-level folder such as firmware/, whose plain C headers the
      # board's simulated chip reads.
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
    else()
      message(FATAL_ERROR "${target}: no folder src/${folder}, tools/${folder} or ${folder}")
    endif()
  endforeach()
  if(arg_PUBLIC)
    target_include_directories(${target} PUBLIC ${view})
  else()
    target_include_directories(${target} PRIVATE ${view})
  endif()
endfunction()

# wavemill_library(NAME FOLDER folder [USES folders...] [LINKS libraries...]
#                  SOURCES files...): the static library of src/<folder>, linked
# with the library of each folder it uses (wavemill_<folder>).
function(wavemill_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "FOLDER" "USES;LINKS;SOURCES")
  add_library(${name} STATIC ${arg_SOURCES})
  wavemill_include_view(${name} ${arg_FOLDER} ${arg_USES})
  foreach(folder IN LISTS arg_USES)
    target_link_libraries(${name} PUBLIC wavemill_${folder})
  endforeach()
  target_link_libraries(${name} PUBLIC ${arg_LINKS})
endfunction()

# wavemill_tool_library(NAME FOLDER folder [USES folders...] [LINKS libraries...]
#                       SOURCES files...): a static library of tools/<folder>.
# It, and what links it, may include "<folder>/..." and the src/ or tools/
# folders it uses; LINKS are the libraries of those folders (tools/ names its
# libraries after what they do, not after the folder).
function(wavemill_tool_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "FOLDER" "USES;LINKS;SOURCES")
  add_library(${name} STATIC ${arg_SOURCES})
  wavemill_include_view(${name} PUBLIC ${arg_FOLDER} ${arg_USES})
  target_link_libraries(${name} PUBLIC ${arg_LINKS})
endfunction()
