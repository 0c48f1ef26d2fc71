# Fails the build when a source includes a header against the direction of dependency, or sits
# in a folder that has no place in the layers.
# Run as: cmake -DROOT=<source dir> -P check_layers.cmake
cmake_minimum_required(VERSION 3.20)
# Layers, bottom up: platform/ (the ports) and core/, the engines, the steps, the window (app/).
# Beside them the Win32 side: platform/win32/ implements the ports below the engines, ui/win32/
# shows the window above app/. tests/ and tools/ may include anything; nothing includes them.
set(ground core platform)
set(engines transfer update zip sys)
set(steps install uninstall report)
set(allowed_core core platform)
set(allowed_platform platform)
foreach(e ${engines})
  set(allowed_${e} ${e} ${ground})
endforeach()
foreach(s ${steps})
  set(allowed_${s} ${steps} ${engines} ${ground})
endforeach()
set(allowed_app app ${steps} ${engines} ${ground})
# "ports": an engine's own port header (<engine>/*_ports.h), which its Win32 implementation and
# the update engine's Win32 view implement without reaching the engine itself.
set(allowed_platform/win32 platform/win32 ${ground} ports)
set(allowed_ui/win32 ui/win32 platform/win32 app ${ground} ports)
# Wiring: the program entry and the one list of Win32 ports it and the test programs build the
# window from; they name every layer by design.
set(wiring app/main_win32.cpp platform/win32/maquina_win32.h)

# The folder a path belongs to for the layers: platform/win32 and ui/win32, else its first part.
function(layer_of path out)
  if(path MATCHES "^(platform|ui)/win32/")
    set(${out} "${CMAKE_MATCH_1}/win32" PARENT_SCOPE)
  else()
    string(REGEX REPLACE "/.*$" "" first "${path}")
    set(${out} "${first}" PARENT_SCOPE)
  endif()
endfunction()

set(sources "")
file(GLOB tops RELATIVE ${ROOT} LIST_DIRECTORIES true "${ROOT}/*")
foreach(top ${tops})
  if(NOT IS_DIRECTORY "${ROOT}/${top}" OR top MATCHES "^(\\.|build)" OR top MATCHES "^(tests|tools|cmake|docs)$")
    continue()
  endif()
  file(GLOB_RECURSE found RELATIVE ${ROOT} "${ROOT}/${top}/*.h" "${ROOT}/${top}/*.hpp" "${ROOT}/${top}/*.c"
       "${ROOT}/${top}/*.cc" "${ROOT}/${top}/*.cpp")
  list(APPEND sources ${found})
endforeach()

set(bad "")
foreach(rel ${sources})
  if(rel IN_LIST wiring)
    continue()
  endif()
  layer_of("${rel}" layer)
  if(NOT DEFINED allowed_${layer})
    string(APPEND bad "  ${rel}: folder ${layer}/ has no layer (add it to cmake/check_layers.cmake)\n")
    continue()
  endif()
  file(STRINGS "${ROOT}/${rel}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line ${includes})
    string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
    if(NOT header MATCHES "/")
      continue()  # beside the including file
    endif()
    layer_of("${header}" target)
    if(target IN_LIST allowed_${layer})
      continue()
    endif()
    if("ports" IN_LIST allowed_${layer} AND header MATCHES "^([a-z]+)/[^/]*_ports\\.h$")
      if(CMAKE_MATCH_1 IN_LIST engines)
        continue()
      endif()
    endif()
    string(REPLACE ";" " " may "${allowed_${layer}}")
    string(APPEND bad "  ${rel} includes \"${header}\" (${layer}/ may include: ${may})\n")
  endforeach()
endforeach()
if(bad)
  message(FATAL_ERROR "Includes against the direction of dependency:\n${bad}")
endif()
