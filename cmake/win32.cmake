# Windows build (mingw-w64): setup.exe, the Wine test binary, test stand-ins and tools.
add_compile_options(-municode)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# Static runtime: no libstdc++/libgcc/winpthread DLLs beside the program.
add_link_options(-static -static-libgcc -static-libstdc++)

set(WIN32_LIBS user32 gdi32 advapi32 shell32 ole32 oleaut32 uuid comctl32 ws2_32 shlwapi comdlg32)

include(cmake/layers.cmake)

file(GLOB WIN32_SOURCES CONFIGURE_DEPENDS platform/win32/*.cpp ui/win32/*.cpp)
add_library(tf_win32 STATIC ${WIN32_SOURCES})
target_link_libraries(tf_win32 PUBLIC tf_app ${WIN32_LIBS})

# The icon is drawn at build time by our own script; the resource compiler finds it beside the .rc copy.
find_program(PYTHON3 python3 REQUIRED)
set(RC_DIR ${CMAKE_BINARY_DIR}/rc)
add_custom_command(OUTPUT ${RC_DIR}/setup.ico ${RC_DIR}/setup.rc ${RC_DIR}/setup.manifest
  COMMAND ${CMAKE_COMMAND} -E make_directory ${RC_DIR}
  COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tools/make_icon.py ${RC_DIR}/setup.ico
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/ui/win32/setup.rc ${CMAKE_SOURCE_DIR}/ui/win32/setup.manifest ${RC_DIR}/
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_icon.py ${CMAKE_SOURCE_DIR}/ui/win32/setup.rc ${CMAKE_SOURCE_DIR}/ui/win32/setup.manifest)
add_executable(setup WIN32 app/main_win32.cpp ${RC_DIR}/setup.rc)
target_link_libraries(setup PRIVATE tf_win32)
set_target_properties(setup PROPERTIES OUTPUT_NAME setup SUFFIX ".exe")
# Only KnownDLLs may be imported statically (see docs/ARCHITECTURE.md, "Safety habits"); the rest is loaded at run time.
# Terminal-server aware: on a Remote Desktop host the Windows folder must be the machine's, not
# a per-user copy, or the uninstaller and its entry would land in one administrator's profile.
target_link_options(setup PRIVATE -mwindows -municode -Wl,--tsaware)

# GoogleTest compiled from the Debian sources at build time.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
file(GLOB WINE_TEST_SOURCES CONFIGURE_DEPENDS tests/wine/*.cpp)
add_executable(wine_tests ${WINE_TEST_SOURCES})
target_link_libraries(wine_tests PRIVATE tf_win32 gtest gtest_main)
set_target_properties(wine_tests PROPERTIES SUFFIX ".exe")

# Test stand-ins: one console program per tests/fixtures/*.cpp.
file(GLOB FIXTURE_SOURCES CONFIGURE_DEPENDS tests/fixtures/*.cpp)
foreach(src ${FIXTURE_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE tf_win32)
  set_target_properties(${name} PROPERTIES SUFFIX ".exe" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fixtures)
endforeach()

# Developer tools for Windows (UI automation client, benchmarks): one per tools/win32/*.cpp.
file(GLOB WIN32_TOOLS CONFIGURE_DEPENDS tools/win32/*.cpp)
foreach(src ${WIN32_TOOLS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE tf_win32)
  set_target_properties(${name} PROPERTIES SUFFIX ".exe" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
endforeach()

# A DLL that records being loaded, planted beside setup.exe by the DLL-planting test.
add_library(planted_dll SHARED tests/fixtures/planted_dll.c)
set_target_properties(planted_dll PROPERTIES PREFIX "" OUTPUT_NAME planted LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fixtures
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fixtures)

# --- Package stand-ins (tests/fixtures/make_packages.py builds the vendor's packages from them)
# The COM components' stand-in: regsvr32 finds its entry points only under undecorated names.
add_library(stub_com SHARED tests/fixtures/stub_com.c)
target_link_options(stub_com PRIVATE -Wl,--kill-at)
# A plain library of the utilities package.
add_library(stub_lib SHARED tests/fixtures/stub_lib.c)
set_target_properties(stub_com stub_lib PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fixtures
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fixtures_lib)
# The window programs' stand-in (stub_app.cpp, built by the fixture loop above) is a GUI program
# with the program icon, drawn here into its own folder.
set(STUB_APP_RC ${CMAKE_BINARY_DIR}/fixtures_rc)
add_custom_command(OUTPUT ${STUB_APP_RC}/app.ico ${STUB_APP_RC}/stub_app.rc
  COMMAND ${CMAKE_COMMAND} -E make_directory ${STUB_APP_RC}
  COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tools/make_icon.py ${STUB_APP_RC}/app.ico
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/tests/fixtures/stub_app.rc ${STUB_APP_RC}/
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_icon.py ${CMAKE_SOURCE_DIR}/tests/fixtures/stub_app.rc)
target_sources(stub_app PRIVATE ${STUB_APP_RC}/stub_app.rc)
target_link_options(stub_app PRIVATE -mwindows)
# --- end package stand-ins

# What the demos run, and all that `./dev demo` builds: setup.exe, the UI driver, the stand-ins
# the vendor's packages are made of (tests/fixtures/make_packages.py, vendor/make_docroot.py) and
# the two probes the client and uninstall demos read the machine with.
add_custom_target(demo_programs)
add_dependencies(demo_programs setup tfctl mysqld mysqladmin mysql stub_app stub_service stub_output stub_com
  stub_lib read_link machine_probe)
