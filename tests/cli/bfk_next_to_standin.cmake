# bfk.exe with the hardware backend, as someone runs it on Windows: the program in a folder of
# its own, first without FTD2XX.dll (refused, naming the library), then with the stand-in
# library beside it (found there by the loader, by its usual name, with the simulated camera
# behind it): the clock is read and the flash copied into a recording of the expected frames.
#
#   cmake -DBFK=bfk.exe -DSTANDIN=FTD2XX.dll -DWORK=folder [-DEMULATOR=wine] -P this file
foreach(_var BFK STANDIN WORK)
  if(NOT ${_var})
    message(FATAL_ERROR "${_var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY "${BFK}" DESTINATION "${WORK}")
get_filename_component(_bfk_name "${BFK}" NAME)
set(_bfk "${WORK}/${_bfk_name}")

# The camera of the stand-in: a fixed clock, a small prefilled flash, no link speed limit.
set(ENV{BRINDLEFLASH_STANDIN} "clock=1245067200,frames=12,recordings=2,damaged=0,speed=0")
unset(ENV{BRINDLEFLASH_TRACE})

function(run_bfk out_code out_text)
  execute_process(COMMAND ${EMULATOR} "${_bfk}" ${ARGN}
                  WORKING_DIRECTORY "${WORK}"
                  RESULT_VARIABLE _code OUTPUT_VARIABLE _out ERROR_VARIABLE _out
                  TIMEOUT 120)
  set(${out_code} "${_code}" PARENT_SCOPE)
  set(${out_text} "${_out}" PARENT_SCOPE)
endfunction()


# Without the library, the hardware backend fails and says which library is missing.
run_bfk(code text clock --camera d2xx)
if(code EQUAL 0 OR NOT text MATCHES "FTD2XX\\.dll")
  message(FATAL_ERROR "without FTD2XX.dll bfk clock should fail naming it (exit ${code}):\n${text}")
endif()

file(COPY "${STANDIN}" DESTINATION "${WORK}")
get_filename_component(_standin_name "${STANDIN}" NAME)
if(NOT _standin_name STREQUAL "FTD2XX.dll")
  file(RENAME "${WORK}/${_standin_name}" "${WORK}/FTD2XX.dll")
endif()

# The default backend of the Windows build is the vendor's library.
unset(ENV{BRINDLEFLASH_CAMERA})
run_bfk(code text clock)
if(NOT code EQUAL 0 OR NOT text MATCHES "raw value: 12450672[0-9][0-9]")
  message(FATAL_ERROR "bfk clock through FTD2XX.dll (exit ${code}):\n${text}")
endif()

run_bfk(code text copy -o "${WORK}/copy.bfk" --camera d2xx)
if(NOT code EQUAL 0 OR NOT text MATCHES "outcome: completed" OR NOT text MATCHES "complete: yes")
  message(FATAL_ERROR "bfk copy through FTD2XX.dll (exit ${code}):\n${text}")
endif()

run_bfk(code text info "${WORK}/copy.bfk")
if(NOT code EQUAL 0 OR NOT text MATCHES "frames: 12\n")
  message(FATAL_ERROR "the copied recording (exit ${code}):\n${text}")
endif()

file(REMOVE_RECURSE "${WORK}")
