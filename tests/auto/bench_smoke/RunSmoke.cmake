# cmake -DBENCH_BINARIES="a|b|c" -P RunSmoke.cmake
string(REPLACE "|" ";" binaries "${BENCH_BINARIES}")
foreach(bin ${binaries})
  execute_process(COMMAND ${bin} --smoke RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                  TIMEOUT 30)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${bin} --smoke exited with ${rc}\n${out}\n${err}")
  endif()
  if(NOT out MATCHES "benchmark +measured +reference +ratio +target +result")
    message(FATAL_ERROR "${bin} --smoke printed no table header\n${out}")
  endif()
  message(STATUS "${bin}: ok")
endforeach()
