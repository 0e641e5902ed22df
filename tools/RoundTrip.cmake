# cmake -DEMULATOR=<wine launcher> -DTOOL=<datafile.exe> -DWORK=<folder> -P RoundTrip.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(WRITE "${WORK}/plain.xml" "<Database><UpdateInfo LastUpdateDate=\"2026/12/01\" Version=\"1\" /></Database>\n")

# Each call has its own limit, so that a hung call is named rather than the whole test timing out.
function(run_tool expected_result)
  execute_process(COMMAND ${EMULATOR} ${TOOL} ${ARGN} RESULT_VARIABLE result TIMEOUT 240)
  if(NOT result EQUAL expected_result)
    message(FATAL_ERROR "datafile ${ARGN}: exit code ${result}, expected ${expected_result}")
  endif()
endfunction()

# Wine reads Unix paths through its Z: drive.
set(dir "Z:${WORK}")
run_tool(0 encipher "${dir}/plain.xml" "${dir}/engine.dat")
run_tool(0 decipher "${dir}/engine.dat" "${dir}/back.xml")
file(READ "${WORK}/plain.xml" plain)
file(READ "${WORK}/engine.dat" enciphered)
file(READ "${WORK}/back.xml" back)
if(NOT back STREQUAL plain)
  message(FATAL_ERROR "deciphered file differs from the plain one")
endif()
if(enciphered STREQUAL plain)
  message(FATAL_ERROR "the data file was not enciphered")
endif()
run_tool(1 decipher "${dir}/missing.dat" "${dir}/out.xml")
run_tool(2 unknown "${dir}/plain.xml" "${dir}/out.xml")
file(REMOVE_RECURSE "${WORK}")
