# Installs BUILD_DIR into a fresh PREFIX (BINDIR, LIBDIR and INCLUDEDIR below it), then runs the
# installed quillane-cut, which must load the installed libmirrask.so (not the build tree's) and
# print its usage.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed:\n${out}")
endif()
foreach(file ${BINDIR}/Corvella ${BINDIR}/quillane-cut
             ${LIBDIR}/libmirrask.so ${INCLUDEDIR}/mirrask/segmentation.h)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
execute_process(COMMAND ldd ${PREFIX}/${BINDIR}/quillane-cut
                OUTPUT_VARIABLE libraries RESULT_VARIABLE rc)
string(REGEX MATCH "libmirrask.so => ([^ \t\n]+)" found "${libraries}")
if(found)
  file(REAL_PATH "${CMAKE_MATCH_1}" loaded)
  file(REAL_PATH "${PREFIX}/${LIBDIR}/libmirrask.so" installed)
endif()
if(NOT rc EQUAL 0 OR NOT found OR NOT loaded STREQUAL installed)
  message(FATAL_ERROR "the installed quillane-cut does not load the installed library:\n${libraries}")
endif()
execute_process(COMMAND ${PREFIX}/${BINDIR}/quillane-cut --help
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "quillane-cut")
  message(FATAL_ERROR "the installed quillane-cut did not run (${rc}):\n${out}${err}")
endif()
file(REMOVE_RECURSE ${PREFIX})
