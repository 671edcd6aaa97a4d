# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# wavemill_changelog(MARKDOWN DEBIAN_OUT MAINTAINER RELEASES_VAR DATE_VAR)
#
# Reads CHANGELOG.md (`## VERSION - YYYY-MM-DD` headings, `- ` items
# continued on lines indented by two blanks) and writes it as a Debian
# changelog to DEBIAN_OUT, signed by MAINTAINER. Sets RELEASES_VAR to the
# same versions as AppStream <release> elements and DATE_VAR to the newest
# version's date. Stops the configuration when the newest version is not
# PROJECT_VERSION, so a package never ships with a changelog of another
# version.
function(wavemill_changelog markdown debian_out maintainer releases_var date_var)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${markdown})
  file(READ ${markdown} text)
  # Semicolons and brackets would split or glue CMake list items.
  string(REPLACE ";" "@SEMICOLON@" text "${text}")
  string(REPLACE "[" "@OPEN@" text "${text}")
  string(REPLACE "]" "@CLOSE@" text "${text}")
  string(REPLACE "`" "" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")

  set(debian "")
  set(releases "")
  set(version "")
  set(newest_version "")
  set(newest_date "")
  set(in_item FALSE) # the last line began or continued an item
  set(li_open FALSE) # an AppStream <li> waits for its end
  # Closes the version read so far: the Debian trailer and the AppStream
  # release end together.
  macro(close_version)
    if(version)
      if(li_open)
        string(APPEND releases "</li>\n")
      endif()
      string(APPEND releases "        </ul>\n      </description>\n    </release>\n")
      execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C date -u -R -d "${date}${time} UTC"
                      OUTPUT_VARIABLE stamp OUTPUT_STRIP_TRAILING_WHITESPACE
                      COMMAND_ERROR_IS_FATAL ANY)
      string(APPEND debian "\n -- ${maintainer}  ${stamp}\n\n")
    endif()
    set(in_item FALSE)
    set(li_open FALSE)
  endmacro()

  foreach(line IN LISTS lines)
    if(line MATCHES "^## ([0-9][^ ]*) - ([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9])( [0-2][0-9]:[0-5][0-9])?$")
      close_version()
      set(version ${CMAKE_MATCH_1})
      set(date ${CMAKE_MATCH_2})
      # Two releases on one day: the later one gives its time (UTC), as
      # Debian's changelog wants each entry newer than the one before.
      set(time "${CMAKE_MATCH_3}")
      if(NOT newest_version)
        set(newest_version ${version})
        set(newest_date ${date})
      endif()
      string(APPEND debian "wavemill (${version}) unstable@SEMICOLON@ urgency=medium\n\n")
      string(APPEND releases "    <release version=\"${version}\" date=\"${date}\">\n"
                             "      <description>\n        <ul>\n")
    elseif(version AND line MATCHES "^- (.*)$")
      set(item "${CMAKE_MATCH_1}")
      string(APPEND debian "  * ${item}\n")
      if(li_open)
        string(APPEND releases "</li>\n")
      endif()
      string(REPLACE "&" "&amp;" item "${item}")
      string(REPLACE "<" "&lt;" item "${item}")
      string(REPLACE ">" "&gt;" item "${item}")
      string(APPEND releases "          <li>${item}")
      set(in_item TRUE)
      set(li_open TRUE)
    elseif(in_item AND line MATCHES "^  ([^ ].*)$")
      set(item "${CMAKE_MATCH_1}")
      string(APPEND debian "    ${item}\n")
      string(REPLACE "&" "&amp;" item "${item}")
      string(REPLACE "<" "&lt;" item "${item}")
      string(REPLACE ">" "&gt;" item "${item}")
      string(APPEND releases " ${item}")
    elseif(line MATCHES "^##")
      message(FATAL_ERROR "${markdown}: a version heading reads '## VERSION - YYYY-MM-DD' "
                          "(or '## VERSION - YYYY-MM-DD HH:MM', a time in UTC), "
                          "not '${line}'")
    else()
      set(in_item FALSE)
      if(version AND NOT line STREQUAL "")
        message(FATAL_ERROR "${markdown}: '${line}' is neither an item ('- ') nor its "
                            "continuation (two blanks)")
      endif()
    endif()
  endforeach()
  close_version()

  if(NOT newest_version STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "${markdown} says what version ${newest_version} brought, but the "
                        "project is version ${PROJECT_VERSION}: add a '## ${PROJECT_VERSION} - "
                        "YYYY-MM-DD' section at its top")
  endif()

  foreach(var debian releases)
    string(REPLACE "@SEMICOLON@" ";" ${var} "${${var}}")
    string(REPLACE "@OPEN@" "[" ${var} "${${var}}")
    string(REPLACE "@CLOSE@" "]" ${var} "${${var}}")
  endforeach()
  file(WRITE ${debian_out} "${debian}")
  set(${releases_var} "${releases}" PARENT_SCOPE)
  set(${date_var} ${newest_date} PARENT_SCOPE)
endfunction()
