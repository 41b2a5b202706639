# Runs one fuzz target for SECONDS: first every input in SEEDS (the seeds and
# the regression inputs) and WORK (what earlier runs kept), then new ones,
# which go to WORK. Fails on any finding (a crash, a sanitizer report, a
# broken property, a hang, a leak); libFuzzer writes the input that caused
# it to ARTIFACTS.
#   cmake -DFUZZER=... -DSECONDS=... -DWORK=... -DSEEDS=... -DARTIFACTS=...
#         -P run_fuzzer.cmake
file(MAKE_DIRECTORY ${WORK} ${ARTIFACTS})
execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=10
                        -rss_limit_mb=1024 -print_final_stats=1
                        -artifact_prefix=${ARTIFACTS}/ ${WORK} ${SEEDS}
                RESULT_VARIABLE result OUTPUT_VARIABLE log ERROR_VARIABLE log)
string(REGEX MATCH "number_of_executed_units: [0-9]+" runs "${log}")
if(NOT result EQUAL 0)
  string(LENGTH "${log}" length)
  if(length GREATER 6000)
    math(EXPR from "${length} - 6000")
    string(SUBSTRING "${log}" ${from} -1 log)
  endif()
  message(FATAL_ERROR "${log}\nfinding (exit ${result}); the input is in "
                      "${ARTIFACTS}")
endif()
message("${FUZZER}: ${runs} in ${SECONDS} s")
