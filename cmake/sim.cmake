# The simulated Windows and the programs running on it.
option(SIM_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(SIM_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(Threads REQUIRED)

file(GLOB SIM_SOURCES CONFIGURE_DEPENDS platform/sim/*.cpp)
add_library(sim SHARED ${SIM_SOURCES})
target_include_directories(sim PUBLIC platform)
target_compile_options(sim PRIVATE ${PROJECT_WARNINGS})
target_link_libraries(sim PUBLIC Threads::Threads ${CMAKE_DL_LIBS})
set_target_properties(sim PROPERTIES BUILD_RPATH "$ORIGIN")

# A system program compiled as an image the simulator loads afresh for each simulated process:
# lib/NAME.exe.so. -fno-gnu-unique keeps every image unloadable, so no state survives a run.
function(add_sim_image name)
  add_library(${name}_image MODULE ${ARGN} ${FRAMEWORK_SOURCES} platform/sim/image/entry.cpp)
  set_target_properties(${name}_image PROPERTIES PREFIX "" OUTPUT_NAME "${name}.exe" SUFFIX ".so"
                        CXX_VISIBILITY_PRESET hidden BUILD_RPATH "$ORIGIN")
  target_compile_options(${name}_image PRIVATE ${PROJECT_WARNINGS} -fno-gnu-unique)
  target_link_libraries(${name}_image PRIVATE sim)
endfunction()

# A program's face on Linux: a host program that builds a machine and runs the image on it.
function(add_sim_runner name source)
  add_executable(${name}_runner ${source})
  set_target_properties(${name}_runner PROPERTIES OUTPUT_NAME ${name} BUILD_RPATH "$ORIGIN/../lib")
  target_compile_options(${name}_runner PRIVATE ${PROJECT_WARNINGS})
  target_link_libraries(${name}_runner PRIVATE sim)
  add_dependencies(${name}_runner ${name}_image)
endfunction()

add_sim_image(QviSystemInfo ${PROBE_SOURCES})
add_sim_runner(QviSystemInfo platform/sim/runner/qvisysteminfo_main.cpp)

# Tests: GoogleTest under CTest.
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)
file(GLOB_RECURSE TEST_SOURCES CONFIGURE_DEPENDS tests/*.cpp)
add_executable(sim_tests ${TEST_SOURCES})
set_target_properties(sim_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests
                      BUILD_RPATH "${CMAKE_BINARY_DIR}/lib")
target_include_directories(sim_tests PRIVATE tests)
target_compile_options(sim_tests PRIVATE ${PROJECT_WARNINGS})
target_link_libraries(sim_tests PRIVATE sim GTest::gtest GTest::gtest_main)
add_dependencies(sim_tests QviSystemInfo_image QviSystemInfo_runner)
gtest_discover_tests(sim_tests PROPERTIES ENVIRONMENT "SIM_IMAGE_DIR=${CMAKE_BINARY_DIR}/lib" DISCOVERY_TIMEOUT 60)
