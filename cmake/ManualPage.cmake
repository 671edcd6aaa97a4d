# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Makes a manual page and compresses it the way Debian wants (gzip -9n):
#
#   cmake -DPAGE=out.1 [-DPROGRAM=path -DHELP2MAN=path -DNAME=prog
#         -DSUMMARY=text -DVERSION=1.0 -DEPOCH=seconds -DINCLUDE=file]
#         -P ManualPage.cmake
#
# With PROGRAM, the page is made by help2man from PROGRAM --help: paragraphs
# headed "Files:" and "Examples:" become FILES and EXAMPLES (its command
# lines, written "  $ command", kept unfilled), and one headed "Exit status:"
# becomes EXIT STATUS, put after OPTIONS where manual pages have it. Without PROGRAM, PAGE already exists and is only compressed.

if(PROGRAM)
  execute_process(
    # The date in the page is the release's, not the build's; a sanitizer
    # build's leak report at exit must not fail the build.
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${EPOCH} LC_ALL=C.UTF-8
            ASAN_OPTIONS=detect_leaks=0
            ${HELP2MAN} --no-info --section=1 --name=${SUMMARY} --version-string=${VERSION}
            "--source=Wavemill ${VERSION}" --manual=Wavemill --include=${INCLUDE} --output=${PAGE}.tmp
            ${PROGRAM}
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "help2man could not make the manual page of ${PROGRAM}")
  endif()
  file(READ ${PAGE}.tmp page)
  file(REMOVE ${PAGE}.tmp)

  # Cut the page into its preamble and its sections, each kept whole in its
  # own variable (roff's brackets and semicolons do not survive CMake lists).
  string(FIND "${page}" "\n.SH " at)
  math(EXPR at "${at} + 1")
  string(SUBSTRING "${page}" 0 ${at} preamble)
  string(SUBSTRING "${page}" ${at} -1 rest)
  set(names "")
  while(NOT rest STREQUAL "")
    string(REGEX MATCH "^\\.SH \"?([^\"\n]*)\"?\n" heading "${rest}")
    string(REPLACE " " "_" name "${CMAKE_MATCH_1}")
    string(FIND "${rest}" "\n.SH " at)
    if(at EQUAL -1)
      set(body "${rest}")
      set(rest "")
    else()
      math(EXPR at "${at} + 1")
      string(SUBSTRING "${rest}" 0 ${at} body)
      string(SUBSTRING "${rest}" ${at} -1 rest)
    endif()
    # help2man makes "Exit status:" and the lines under it a subsection.
    string(FIND "${body}" "\n.SS \"Exit status:\"\n" exit_at)
    if(NOT exit_at EQUAL -1)
      math(EXPR exit_at "${exit_at} + 1")
      string(SUBSTRING "${body}" ${exit_at} -1 exit_part)
      string(SUBSTRING "${body}" 0 ${exit_at} body)
      # (REGEX REPLACE would not do: its ^ matches again after each match.)
      string(FIND "${exit_part}" "\n" line_end)
      math(EXPR line_end "${line_end} + 1")
      string(SUBSTRING "${exit_part}" ${line_end} -1 exit_part)
      string(FIND "${exit_part}" "\n.SS " next)
      if(NOT next EQUAL -1)
        math(EXPR next "${next} + 1")
        string(SUBSTRING "${exit_part}" ${next} -1 after)
        string(SUBSTRING "${exit_part}" 0 ${next} exit_part)
        string(APPEND body "${after}")
      endif()
      set(section_EXIT_STATUS ".SH \"EXIT STATUS\"\n${exit_part}")
      list(APPEND names EXIT_STATUS)
    endif()
    if(name STREQUAL "EXAMPLES")
      # Command lines as they are, not filled into the indented paragraph
      # help2man makes of them, where long ones would break mid-word.
      string(REPLACE ".IP\n" ".PP\n.nf\n" body "${body}")
      string(REPLACE ".br\n" "" body "${body}")
      string(APPEND body ".fi\n")
    endif()
    set(section_${name} "${body}")
    list(APPEND names ${name})
  endwhile()

  # Sections by name, blanks as underscores; the known ones in the usual
  # order, others after them, SEE ALSO last.
  set(order NAME SYNOPSIS DESCRIPTION OPTIONS EXIT_STATUS ENVIRONMENT FILES EXAMPLES)
  set(page "${preamble}")
  foreach(name IN LISTS order names)
    if(DEFINED section_${name} AND NOT name STREQUAL "SEE_ALSO")
      string(APPEND page "${section_${name}}")
      unset(section_${name})
    endif()
  endforeach()
  if(DEFINED section_SEE_ALSO)
    string(APPEND page "${section_SEE_ALSO}")
  endif()
  file(WRITE ${PAGE} "${page}")
endif()

execute_process(COMMAND gzip -9n -c ${PAGE} OUTPUT_FILE ${PAGE}.gz COMMAND_ERROR_IS_FATAL ANY)
