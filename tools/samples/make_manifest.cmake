# Writes the stand-in agent's manifest of a sample module (tools/agent/README.md): the
# code from .text to the end of .rodata, the data from .data (from .bss in a module
# without initialised data, which has no .data) to the end of .bss, the entry at main,
# the flat image beside it.
# -DOBJDUMP=... -DNM=... -DELF=... -DNAME=<module name without .NLM> -DIMAGE=<image file name> -DOUTPUT=...
execute_process(COMMAND ${OBJDUMP} -h ${ELF} OUTPUT_VARIABLE sections RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${ELF}")
endif()
foreach(section text rodata data bss)
  if(sections MATCHES "\\.${section} +([0-9a-fA-F]+) +([0-9a-fA-F]+)")
    math(EXPR ${section}_size "0x${CMAKE_MATCH_1}")
    math(EXPR ${section}_start "0x${CMAKE_MATCH_2}")
  else()
    set(${section}_size 0)
    set(${section}_start 0)
  endif()
endforeach()
execute_process(COMMAND ${NM} ${ELF} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT symbols MATCHES "([0-9a-fA-F]+) T main\n")
  message(FATAL_ERROR "${ELF} has no main")
endif()
math(EXPR entry "0x${CMAKE_MATCH_1}" OUTPUT_FORMAT HEXADECIMAL)
math(EXPR code_end "${text_start} + ${text_size}")
if(rodata_size GREATER 0)
  math(EXPR code_end "${rodata_start} + ${rodata_size}")
endif()
if(data_size EQUAL 0)
  set(data_start ${bss_start})
endif()
set(data_end "${data_start} + ${data_size}")
if(bss_size GREATER 0)
  set(data_end "${bss_start} + ${bss_size}")
endif()
math(EXPR code_base "${text_start}" OUTPUT_FORMAT HEXADECIMAL)
math(EXPR code_length "${code_end} - ${text_start}" OUTPUT_FORMAT HEXADECIMAL)
math(EXPR data_base "${data_start}" OUTPUT_FORMAT HEXADECIMAL)
math(EXPR data_length "${data_end} - ${data_start}" OUTPUT_FORMAT HEXADECIMAL)
file(WRITE ${OUTPUT} "# Manifest of the sample module ${NAME}.NLM for zentor-agent (written by the build).
name = ${NAME}.NLM
description = Zentor sample module ${NAME}
version = 1.00
date = none
image = ${IMAGE}
code = ${code_base} ${code_length}
data = ${data_base} ${data_length}
entry = ${entry}
")
