# One test executable per test source file, named after the file.
#   fernwick_add_gtest(<source>)   GoogleTest against FernwickCore
#   fernwick_add_qttest(<source>)  Qt Test against FernwickUI, offscreen
function(fernwick_add_gtest source)
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE FernwickTestSupport FernwickCore GTest::gtest GTest::gtest_main GTest::gmock)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    fernwick_set_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()

function(fernwick_add_qttest source)
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE FernwickTestSupport FernwickUI Qt6::Test)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    fernwick_set_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software")
endfunction()
