# lwjxc_add_qtest(NAME <name> SOURCES <files...> LIBS <targets...> [BACKENDS sqlite postgresql])
#
# Builds one Qt Test executable and registers it with CTest, offscreen and in
# a UTF-8 locale. With BACKENDS the same executable is registered once per
# database engine; LWJXC_TEST_BACKEND tells the test which one it runs on.
# Every test process runs in a home folder of its own (tests/home).
if(NOT TARGET lwjxc_testhome)
    add_library(lwjxc_testhome OBJECT ${CMAKE_SOURCE_DIR}/tests/home/IsolatedHome.cpp)
    target_link_libraries(lwjxc_testhome PRIVATE Qt6::Core lwjxc_warnings)
endif()

function(lwjxc_add_qtest)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;BACKENDS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} lwjxc_testsupport lwjxc_testhome Qt6::Test lwjxc_warnings)
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    set(env "QT_QPA_PLATFORM=offscreen" "LANG=C.UTF-8" "LC_ALL=C.UTF-8"
            "LWJXC_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data"
            "LWJXC_XLSREAD=$<TARGET_FILE:lwjxc-xlsread>")
    # Every .xls is read through the helper program.
    add_dependencies(${T_NAME} lwjxc-xlsread)
    if(NOT T_BACKENDS)
        add_test(NAME ${T_NAME} COMMAND ${T_NAME})
        set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
        return()
    endif()
    foreach(backend IN LISTS T_BACKENDS)
        add_test(NAME ${T_NAME}_${backend} COMMAND ${T_NAME})
        set_tests_properties(${T_NAME}_${backend} PROPERTIES
            ENVIRONMENT "${env};LWJXC_TEST_BACKEND=${backend}" TIMEOUT 300 LABELS ${backend})
    endforeach()
endfunction()
