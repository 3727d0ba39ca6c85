# Regenerates the pictures into OUT (and the sample sheet into SAMPLE) with GENERATOR, then requires
# every file to equal its committed copy under SOURCE byte for byte.
#   cmake -DGENERATOR=... -DSOURCE=<repo>/img -DOUT=<dir> -DSAMPLE=<file.png> -P ComparePictures.cmake
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${GENERATOR} --out ${OUT} --sample ${SAMPLE} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "make-pictures failed: ${rc}")
endif()
set(names font/font10.png font/font10_limits.png font/font11.png font/font11_limits.png font/font12.png
          font/font12_limits.png black_knob.png layoutfree.png button.png light.png)
set(failed 0)
foreach(name ${names})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SOURCE}/${name} ${OUT}/${name} RESULT_VARIABLE differs)
  if(differs)
    message(SEND_ERROR "${name}: regenerated picture differs from the committed one")
    set(failed 1)
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "pictures differ; run the regenerate-pictures target and commit img/ if intended")
endif()
message(STATUS "10 pictures identical; sample sheet at ${SAMPLE}")
