# The real programs: PE32 i386 GUI executables that need no MinGW runtime DLL beside them.
set(WIN32_LINK_OPTIONS -static -static-libgcc -static-libstdc++ -mwindows)
set(WIN32_DEFINITIONS WINVER=0x0400 _WIN32_WINNT=0x0400 _WIN32_IE=0x0400 WIN32_LEAN_AND_MEAN NOMINMAX)

function(add_windows_program name)
  add_executable(${name} WIN32 ${ARGN} ${FRAMEWORK_SOURCES} platform/win32/entry.cpp)
  target_include_directories(${name} PRIVATE platform)
  target_compile_definitions(${name} PRIVATE ${WIN32_DEFINITIONS})
  target_compile_options(${name} PRIVATE ${PROJECT_WARNINGS})
  target_link_options(${name} PRIVATE ${WIN32_LINK_OPTIONS})
  target_link_libraries(${name} PRIVATE ole32 uuid)
endfunction()

add_windows_program(QviSystemInfo ${PROBE_SOURCES})

# Setup's resources (dialogs, strings, pictures, cursors, icon), compiled by windres: the Setup program lists
# ${SETUP_RC} among its sources. The pictures it names are dependencies of the compiled script.
enable_language(RC)
set(SETUP_RC ${CMAKE_SOURCE_DIR}/setup/res/setup.rc)
file(GLOB SETUP_RC_INPUTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/setup/res/*.h ${CMAKE_SOURCE_DIR}/setup/res/*.bmp
     ${CMAKE_SOURCE_DIR}/setup/res/*.cur ${CMAKE_SOURCE_DIR}/setup/res/*.ico)
set_source_files_properties(${SETUP_RC} PROPERTIES OBJECT_DEPENDS "${SETUP_RC_INPUTS}")

add_windows_program(Setup ${SETUP_SOURCES} ${SETUP_RC})
target_include_directories(Setup PRIVATE setup)
target_link_libraries(Setup PRIVATE winmm)

# The real program under Wine, with `ctest --test-dir build/win32` (skipped on a machine that cannot run Wine).
enable_testing()
add_test(NAME wine.QviSystemInfo
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/qvisysteminfo.sh $<TARGET_FILE:QviSystemInfo>)
set_tests_properties(wine.QviSystemInfo PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)

# Helpers of the Wine checks (tests/wine), never shipped. Like the programs they need no MinGW runtime DLL.
# control_component.dll stands in for the driver's control component: an in-process COM server whose entry
# points go out under their plain names, as COM looks them up (on i686 the .def's plain names are bound to the
# stdcall-decorated functions by the fixup, and --kill-at keeps the decorations out of the export table).
set(WINE_TOOLS ${CMAKE_SOURCE_DIR}/tests/wine/tools)
add_library(control_component SHARED ${WINE_TOOLS}/control_component/control_component.cpp
                                     ${WINE_TOOLS}/control_component/control_component.def)
set_target_properties(control_component PROPERTIES PREFIX "")
target_compile_definitions(control_component PRIVATE ${WIN32_DEFINITIONS})
target_compile_options(control_component PRIVATE ${PROJECT_WARNINGS})
target_link_options(control_component PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--kill-at
                    -Wl,--enable-stdcall-fixup)
target_link_libraries(control_component PRIVATE ole32 uuid)

# Creates the component's class through one interface and calls it: the component's own check.
add_executable(component_client ${WINE_TOOLS}/component_client.cpp)
target_compile_definitions(component_client PRIVATE ${WIN32_DEFINITIONS})
target_compile_options(component_client PRIVATE ${PROJECT_WARNINGS})
target_link_options(component_client PRIVATE -static -static-libgcc -static-libstdc++)
target_link_libraries(component_client PRIVATE ole32 uuid)

# The Wine checks' helper that finds Setup's window from another process, reads its list and presses its
# buttons: a console program of the tests, never shipped.
add_executable(WineDriver ${WINE_TOOLS}/driver.cpp)
target_compile_definitions(WineDriver PRIVATE ${WIN32_DEFINITIONS} UNICODE _UNICODE)
target_compile_options(WineDriver PRIVATE ${PROJECT_WARNINGS})
target_link_options(WineDriver PRIVATE -static -static-libgcc -static-libstdc++)
target_link_libraries(WineDriver PRIVATE shell32)
