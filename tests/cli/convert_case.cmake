# SPDX-License-Identifier: GPL-3.0-or-later
# One run of settree-convert, checked byte for byte. Run with cmake -P and these variables:
#   EXE       the converter
#   WORK      scratch folder, emptied first; the run happens in it
#   FIXTURES  folder of the fixture files
#   ARGS      the arguments, separated by "|"
#   COPY      "name=fixture" pairs separated by "|": WORK/name starts as a copy of the fixture
#   STDIN     fixture fed to standard input (default: empty input)
#   RC        expected exit status
#   STDOUT, STDERR                  fixtures the streams must equal (default: empty)
#   STDOUT_MATCHES, STDERR_MATCHES  regular expressions instead of a fixture
#   CHECK     "name=fixture" pairs: WORK/name must equal the fixture after the run
#   ABSENT    names separated by "|" that must not exist in WORK after the run

function(split var)
  string(REPLACE "|" ";" list "${${var}}")
  set(${var} "${list}" PARENT_SCOPE)
endfunction()

function(fail text)
  message(FATAL_ERROR "${text}")
endfunction()

function(same_bytes actual expected what)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${actual}" "${expected}"
                  RESULT_VARIABLE differ)
  if(differ)
    file(READ "${actual}" got HEX)
    file(READ "${expected}" want HEX)
    fail("${what} differs from ${expected}\n  got (hex):  ${got}\n  want (hex): ${want}")
  endif()
endfunction()

function(check_stream file fixture regex what)
  if(fixture)
    same_bytes("${file}" "${FIXTURES}/${fixture}" "${what}")
  elseif(regex)
    file(READ "${file}" text)
    if(NOT text MATCHES "${regex}")
      fail("${what} does not match ${regex}:\n${text}")
    endif()
  else()
    file(SIZE "${file}" size)
    if(NOT size EQUAL 0)
      file(READ "${file}" text)
      fail("${what} is not empty:\n${text}")
    endif()
  endif()
endfunction()

foreach(var ARGS COPY CHECK ABSENT)
  split(${var})
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(streams "${WORK}.streams")
file(MAKE_DIRECTORY "${streams}")
foreach(pair IN LISTS COPY)
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 fixture)
  configure_file("${FIXTURES}/${fixture}" "${WORK}/${name}" COPYONLY)
endforeach()

if(STDIN)
  set(input "${FIXTURES}/${STDIN}")
else()
  set(input "${streams}/empty")
  file(WRITE "${input}" "")
endif()

execute_process(COMMAND "${EXE}" ${ARGS}
                WORKING_DIRECTORY "${WORK}"
                INPUT_FILE "${input}"
                OUTPUT_FILE "${streams}/stdout"
                ERROR_FILE "${streams}/stderr"
                RESULT_VARIABLE rc)

file(READ "${streams}/stderr" errors)
if(NOT rc STREQUAL RC)
  fail("exit status ${rc}, expected ${RC}; standard error:\n${errors}")
endif()
check_stream("${streams}/stdout" "${STDOUT}" "${STDOUT_MATCHES}" "standard output")
check_stream("${streams}/stderr" "${STDERR}" "${STDERR_MATCHES}" "standard error")

foreach(pair IN LISTS CHECK)
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 fixture)
  if(NOT EXISTS "${WORK}/${name}")
    fail("${name} was not written")
  endif()
  same_bytes("${WORK}/${name}" "${FIXTURES}/${fixture}" "${name}")
endforeach()
foreach(name IN LISTS ABSENT)
  if(EXISTS "${WORK}/${name}")
    fail("${name} should not exist")
  endif()
endforeach()
