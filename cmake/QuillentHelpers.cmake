# Shared CMake helpers: layer sources by glob, one test executable per unit, layer checks.

# quillent_layer_sources(<var> <dir>): every .cpp/.h below <dir> (new files need no CMake edit).
function(quillent_layer_sources var dir)
    file(GLOB_RECURSE _src CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
    set(${var} ${_src} PARENT_SCOPE)
endfunction()

# quillent_add_unit_tests(<name> <dir> <libs...>): every <dir>/*_test.cpp and <dir>/support/*.cpp is linked
# into one test executable <name> with <libs>, GoogleTest and gtest_main (one link and one precompiled
# header per layer instead of one per unit); each case is registered with CTest and runs in its own
# process, so a unit's process-wide set-up (an application object, silenced sound) stays its own.
# A test that runs the built programs (it names QUILLENT_BIN_DIR or builtProgram) is left out of a
# core-only build, where those programs do not exist; in a full build a missing program or tool fails the test.
function(quillent_add_unit_tests name dir)
    file(GLOB _tests CONFIGURE_DEPENDS ${dir}/*_test.cpp)
    if(QUILLENT_CORE_ONLY)
        foreach(_t ${_tests})
            file(STRINGS ${_t} _uses_programs REGEX "QUILLENT_BIN_DIR|builtProgram")
            if(_uses_programs)
                list(REMOVE_ITEM _tests ${_t})
            endif()
        endforeach()
    endif()
    file(GLOB _support CONFIGURE_DEPENDS ${dir}/support/*.cpp)
    add_executable(${name} ${_tests} ${_support} ${CMAKE_SOURCE_DIR}/cmake/TestEnvironment.cpp)
    target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main GTest::gmock)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${dir})
    target_compile_definitions(${name} PRIVATE
        QUILLENT_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
        QUILLENT_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        QUILLENT_BIN_DIR="${QUILLENT_BIN_DIR}")
    target_precompile_headers(${name} PRIVATE <gtest/gtest.h> <QtCore/QtCore>)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    # Cases are found in the source at configure time. Not gtest_discover_tests: it marks every
    # test whose output says "[  SKIPPED ]" as skipped whatever its exit code, and that is also
    # what gtest prints for each test of a suite whose SetUpTestSuite failed, so a missing
    # program or sample card would pass CI as "skipped". A test that cannot run is a failure.
    foreach(_t ${_tests})
        gtest_add_tests(TARGET ${name} SOURCES ${_t} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
            TEST_LIST _cases)
        set_tests_properties(${_cases} PROPERTIES TIMEOUT 300)
    endforeach()
endfunction()

# quillent_forbid_links(<target> <pattern>...): fail configuration if <target> links a library
# matching any pattern. Keeps the core library free of widgets, web and media.
function(quillent_forbid_links target)
    get_target_property(_libs ${target} LINK_LIBRARIES)
    foreach(_lib ${_libs})
        foreach(_pat ${ARGN})
            if("${_lib}" MATCHES "${_pat}")
                message(FATAL_ERROR "${target} must not link ${_lib} (layer rule)")
            endif()
        endforeach()
    endforeach()
endfunction()
