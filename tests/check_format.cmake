# Fails when a source file of the project is not formatted as .clang-format says.
file(GLOB_RECURSE files
    ${SOURCE_DIR}/analysis/*.cpp ${SOURCE_DIR}/analysis/*.h
    ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/app/*.h
    ${SOURCE_DIR}/bench/*.cpp ${SOURCE_DIR}/bench/*.h
    ${SOURCE_DIR}/core/*.cpp ${SOURCE_DIR}/core/*.h
    ${SOURCE_DIR}/dialogs/*.cpp ${SOURCE_DIR}/dialogs/*.h
    ${SOURCE_DIR}/fuzz/*.cpp ${SOURCE_DIR}/fuzz/*.h
    ${SOURCE_DIR}/imageio/*.cpp ${SOURCE_DIR}/imageio/*.h
    ${SOURCE_DIR}/samples/*.cpp ${SOURCE_DIR}/samples/*.h
    ${SOURCE_DIR}/tests/*.cpp ${SOURCE_DIR}/tests/*.h
    ${SOURCE_DIR}/tools/*.cpp ${SOURCE_DIR}/tools/*.h
    ${SOURCE_DIR}/ui/*.cpp ${SOURCE_DIR}/ui/*.h
    ${SOURCE_DIR}/view/*.cpp ${SOURCE_DIR}/view/*.h)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${files} RESULT_VARIABLE result ERROR_VARIABLE messages)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "Files need formatting (run clang-format -i on them):\n${messages}")
endif()
