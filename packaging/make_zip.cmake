# Stages one release package and zips it (cmake -P; the variables come from CMakeLists.txt beside this).
# Text files get CR LF line ends, the line ends Notepad on every Windows version shows.
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(COPY_FILE ${EXE} ${STAGE}/kestrel.exe)
# The build keeps its debugging information; a pilot's copy needs none of it.
if(STRIP)
  execute_process(COMMAND ${STRIP} --strip-debug ${STAGE}/kestrel.exe RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not strip ${STAGE}/kestrel.exe")
  endif()
endif()

function(write_crlf from to)
  file(READ ${from} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "@KESTREL_VERSION@" "${VERSION}" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${to} "${text}")
endfunction()
write_crlf(${SOURCE}/kestrel.ini ${STAGE}/kestrel.ini)
write_crlf(${SOURCE}/README.txt ${STAGE}/README.txt)
write_crlf(${LICENSE} ${STAGE}/LICENSE.txt)

# Written beside the zip and renamed over it, so an interrupted run never leaves half a zip.
get_filename_component(folder ${ZIP} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP}.part --format=zip
                        kestrel.exe kestrel.ini README.txt LICENSE.txt
                WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "could not write ${ZIP}")
endif()
file(RENAME ${ZIP}.part ${ZIP})
