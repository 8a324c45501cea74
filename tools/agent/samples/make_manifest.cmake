# Writes a module manifest from the template, taking the code and data bounds and the
# entry from the linked module's symbols (nm output).
# -DNM=... -DELF=... -DIMAGE=<file name> -DTEMPLATE=... -DOUTPUT=...
execute_process(COMMAND ${NM} ${ELF} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${ELF}")
endif()
foreach(name __module_code_start __module_code_end __module_data_start __module_data_end module_entry)
  if(NOT symbols MATCHES "([0-9a-fA-F]+) [A-Za-z] ${name}\n")
    message(FATAL_ERROR "${ELF} has no symbol ${name}")
  endif()
  math(EXPR value_${name} "0x${CMAKE_MATCH_1}" OUTPUT_FORMAT HEXADECIMAL)
endforeach()
math(EXPR CODE_LENGTH "${value___module_code_end} - ${value___module_code_start}" OUTPUT_FORMAT HEXADECIMAL)
math(EXPR DATA_LENGTH "${value___module_data_end} - ${value___module_data_start}" OUTPUT_FORMAT HEXADECIMAL)
set(CODE_BASE ${value___module_code_start})
set(DATA_BASE ${value___module_data_start})
set(ENTRY ${value_module_entry})
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
