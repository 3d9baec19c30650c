# Writes the sample models into OUT and compares them with the committed
# ones in SAMPLES: the generator must keep writing them byte for byte.
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${PROGRAM} ${OUT} RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "${PROGRAM} failed: ${failed}")
endif()
foreach(name insole_left_binary.stl insole_right_binary.stl insole_ascii.stl)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/${name} ${SAMPLES}/${name}
                  RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${name} is no longer the committed sample")
  endif()
endforeach()
