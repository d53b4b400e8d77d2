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
