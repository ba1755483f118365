# Fails when a file of the measurement library includes a toolkit, GL or
# image-library header.
file(GLOB files ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp)
set(offenders "")
foreach(file ${files})
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]*|Qt[A-Za-z]*/|GL/|IL/|qcustomplot)")
    if(lines)
        list(APPEND offenders "${file}: ${lines}")
    endif()
endforeach()
if(offenders)
    message(FATAL_ERROR "The measurement library must not include toolkit headers:\n${offenders}")
endif()
