# The simulated Windows and the programs running on it.
option(SIM_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(SIM_SANITIZE)
  # COM interfaces meet by their layout, as COM has them: a program calls the machine's objects through its own
  # declaration of an interface, which the vptr check would take for a fault. It stays off.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize=vptr -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
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
  target_link_options(${name}_image PRIVATE -Wl,--no-undefined)
  target_link_libraries(${name}_image PRIVATE sim)
endfunction()

# Compiled resources in an image: the resource compiler turns the .rc script into a .res file at build time
# (the same script the Windows build links), and the image carries its bytes and offers them through
# SimImageResources, which the machine reads when it loads the image (platform/sim/resources.h). Sets
# <target>_RESOURCE_FILE to the .res file's path.
find_program(SIM_WINDRES NAMES i686-w64-mingw32-windres x86_64-w64-mingw32-windres windres)
function(add_sim_resources target rc_file)
  if(NOT SIM_WINDRES)
    message(FATAL_ERROR "add_sim_resources: no resource compiler (install binutils-mingw-w64-i686 and gcc-mingw-w64-i686)")
  endif()
  get_filename_component(rc_path ${rc_file} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
  get_filename_component(rc_dir ${rc_path} DIRECTORY)
  set(out_dir ${CMAKE_BINARY_DIR}/resources)
  set(SIM_RESOURCE_FILE ${out_dir}/${target}.res)
  file(GLOB rc_inputs CONFIGURE_DEPENDS ${rc_dir}/*.h ${rc_dir}/*.bmp ${rc_dir}/*.cur ${rc_dir}/*.ico)
  add_custom_command(OUTPUT ${SIM_RESOURCE_FILE}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
                     COMMAND ${SIM_WINDRES} -O res -I ${rc_dir} -o ${SIM_RESOURCE_FILE} ${rc_path}
                     DEPENDS ${rc_path} ${rc_inputs}
                     COMMENT "Compiling the resources of ${target}" VERBATIM)
  add_custom_target(${target}_res DEPENDS ${SIM_RESOURCE_FILE})
  set(embed ${out_dir}/${target}_resources.cpp)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/sim_resources.cpp.in ${embed} @ONLY)
  set_source_files_properties(${embed} PROPERTIES OBJECT_DEPENDS ${SIM_RESOURCE_FILE})
  target_sources(${target} PRIVATE ${embed})
  add_dependencies(${target} ${target}_res)
  set(${target}_RESOURCE_FILE ${SIM_RESOURCE_FILE} PARENT_SCOPE)
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

add_sim_image(Setup ${SETUP_SOURCES})
target_include_directories(Setup_image PRIVATE setup)
add_sim_resources(Setup_image setup/res/setup.rc)

# A small program with Setup's resources, for the tests of the machine's resource loading.
add_sim_image(ResourceProbe platform/sim/image/resource_probe.cpp)
add_sim_resources(ResourceProbe_image setup/res/setup.rc)

# Tests: GoogleTest under CTest.
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)
file(GLOB_RECURSE TEST_SOURCES CONFIGURE_DEPENDS tests/*.cpp)
# The Wine checks' helper programs under tests/wine are Windows programs of the Windows builds.
list(FILTER TEST_SOURCES EXCLUDE REGEX "/tests/wine/")
add_executable(sim_tests ${TEST_SOURCES})
set_target_properties(sim_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests
                      BUILD_RPATH "${CMAKE_BINARY_DIR}/lib")
target_include_directories(sim_tests PRIVATE tests setup)
# The device search is a stateless routine: its tests call it directly on a simulated thread.
target_sources(sim_tests PRIVATE setup/scan/device_search.cpp)
target_sources(sim_tests PRIVATE setup/scan/legacy_cleanup.cpp setup/app/paths.cpp)
target_compile_options(sim_tests PRIVATE ${PROJECT_WARNINGS})
target_link_libraries(sim_tests PRIVATE sim GTest::gtest GTest::gtest_main)
add_dependencies(sim_tests QviSystemInfo_image QviSystemInfo_runner)
add_dependencies(sim_tests ResourceProbe_image Setup_image)
target_compile_definitions(sim_tests PRIVATE SETUP_RES_FILE="${ResourceProbe_image_RESOURCE_FILE}")
gtest_discover_tests(sim_tests PROPERTIES ENVIRONMENT "SIM_IMAGE_DIR=${CMAKE_BINARY_DIR}/lib" DISCOVERY_TIMEOUT 60)

# The scenario runner: build/sim/bin/Setup runs Setup on the machine a scenario folder describes
# (platform/sim/scenario, scenarios/README.md); with no --scenario it runs scenarios/default of this tree.
find_package(nlohmann_json 3 REQUIRED)
file(GLOB SCENARIO_SOURCES CONFIGURE_DEPENDS platform/sim/scenario/*.cpp)
add_library(sim_scenario STATIC ${SCENARIO_SOURCES})
target_include_directories(sim_scenario PUBLIC platform PRIVATE setup)
target_compile_options(sim_scenario PRIVATE ${PROJECT_WARNINGS})
target_link_libraries(sim_scenario PUBLIC sim nlohmann_json::nlohmann_json)
add_sim_runner(Setup platform/sim/runner/setup_main.cpp)
target_link_libraries(Setup_runner PRIVATE sim_scenario)
target_compile_definitions(Setup_runner PRIVATE SETUP_DEFAULT_SCENARIO="${PROJECT_SOURCE_DIR}/scenarios/default")
target_link_libraries(sim_tests PRIVATE sim_scenario)
add_dependencies(sim_tests Setup_runner)
target_compile_definitions(sim_tests PRIVATE SCENARIO_DIR="${PROJECT_SOURCE_DIR}/scenarios")
# Every scenario below scenarios/ is a regression test: the runner fails when one's expectations do not hold.
add_test(NAME scenarios COMMAND Setup_runner --all ${PROJECT_SOURCE_DIR}/scenarios)
set_tests_properties(scenarios PROPERTIES ENVIRONMENT "SIM_IMAGE_DIR=${CMAKE_BINARY_DIR}/lib")
