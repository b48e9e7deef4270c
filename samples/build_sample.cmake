# Writes the animated sample scene from its script at build time:
#   cmake -DCLI=kinovela-cli -DSCRIPT=robot_arm_wave.kvs -DOUT=robot_arm_wave.kvl -P build_sample.cmake
# The script's printed summary is not wanted in the build log; its errors are.
# In a sanitizer build the tool is instrumented; leak checking needs ptrace,
# which some containers forbid, and belongs to the tests, not the build.
set(ENV{ASAN_OPTIONS} "detect_leaks=0")
execute_process(COMMAND "${CLI}" run "${SCRIPT}" --out "${OUT}"
                RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${SCRIPT}: ${errors}")
endif()
