# One library per layer, each linking only the layer below it; check_layers makes an include
# against that direction a build error even where the linker would not notice.
add_custom_target(check_layers ALL
  COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR} -P ${CMAKE_SOURCE_DIR}/cmake/check_layers.cmake
  COMMENT "Checking the direction of includes")

file(GLOB TF_CORE_SOURCES CONFIGURE_DEPENDS core/*.cpp platform/*.cpp)
file(GLOB TF_ENGINE_SOURCES CONFIGURE_DEPENDS transfer/*.cpp update/*.cpp zip/*.cpp sys/*.cpp)
file(GLOB TF_STEP_SOURCES CONFIGURE_DEPENDS install/*.cpp uninstall/*.cpp report/*.cpp)
file(GLOB TF_APP_SOURCES CONFIGURE_DEPENDS app/*.cpp)
list(FILTER TF_APP_SOURCES EXCLUDE REGEX "/main_win32\\.cpp$")

add_library(tf_core STATIC ${TF_CORE_SOURCES})
target_include_directories(tf_core PUBLIC ${CMAKE_SOURCE_DIR})
add_dependencies(tf_core check_layers)

add_library(tf_engines STATIC ${TF_ENGINE_SOURCES})
target_link_libraries(tf_engines PUBLIC tf_core ZLIB::ZLIB)

add_library(tf_steps STATIC ${TF_STEP_SOURCES})
target_link_libraries(tf_steps PUBLIC tf_engines)

add_library(tf_app STATIC ${TF_APP_SOURCES})
target_link_libraries(tf_app PUBLIC tf_steps)
