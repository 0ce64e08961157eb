# Writes the example relay list from its description into the build folder
# and fails unless it equals the committed examples/Relays.dat, so the two
# cannot drift apart.
#
#   cmake -DGENERATOR=<MakeRelayList> [-DEMULATOR=<wine>] -DDESCRIPTION=<relays.txt>
#         -DEXPECTED=<Relays.dat> -DOUTPUT=<file in the build folder>
#         [-DUPDATE_TARGET=<target that rewrites EXPECTED>] -P check_example.cmake
if(NOT DEFINED UPDATE_TARGET)
    set(UPDATE_TARGET update_relay_list_example)
endif()
foreach(_variable GENERATOR DESCRIPTION EXPECTED OUTPUT)
    if(NOT DEFINED ${_variable})
        message(FATAL_ERROR "check_example.cmake needs -D${_variable}=...")
    endif()
endforeach()

file(REMOVE "${OUTPUT}")
execute_process(
    COMMAND ${EMULATOR} "${GENERATOR}" "${DESCRIPTION}" "${OUTPUT}"
    RESULT_VARIABLE _result
    ERROR_VARIABLE _errors)
if(NOT _result EQUAL 0)
    message(FATAL_ERROR "MakeRelayList failed (${_result}): ${_errors}")
endif()

execute_process(
    COMMAND "${CMAKE_COMMAND}" -E compare_files "${OUTPUT}" "${EXPECTED}"
    RESULT_VARIABLE _different)
if(NOT _different EQUAL 0)
    message(FATAL_ERROR "${EXPECTED} is not what ${DESCRIPTION} describes; rebuild it with "
                        "the ${UPDATE_TARGET} target and commit both files")
endif()
message(STATUS "${EXPECTED} matches ${DESCRIPTION}")
