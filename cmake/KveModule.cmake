# One folder gives at most two libraries: its logic, built from every .cpp in the folder
# except the windows named after WIDGETS, and its windows on top of that logic. The logic
# never links Qt Widgets (nor Charts or Print Support, which bring Widgets), so a widget
# include in a logic file fails to compile, and a widget symbol used through a qualified
# include fails the link check below. A new logic file needs no edit of a list; a new
# window file is named after WIDGETS.
#
#   kve_module(<name> DEPENDS <logic deps...>
#              [WIDGETS <base names...> WIDGETS_DEPENDS <window deps...>])
#
# gives <name> (the logic) and, with WIDGETS, <name>_widgets (the windows, linking <name>).
#
# Platform code is one file per side: a base name ending in "Win32" is built only for
# Windows, one ending in "Posix" everywhere else (kve_platform_files).

# Drops from the list in `var` the files that belong to the other platform.
function(kve_platform_files var)
  set(files ${${var}})
  if(WIN32)
    list(FILTER files EXCLUDE REGEX "Posix\\.(cpp|h)$")
  else()
    list(FILTER files EXCLUDE REGEX "Win32\\.(cpp|h)$")
  endif()
  set(${var} ${files} PARENT_SCOPE)
endfunction()

function(kve_module name)
  cmake_parse_arguments(ARG "" "" "DEPENDS;WIDGETS;WIDGETS_DEPENDS" ${ARGN})
  set(dir ${CMAKE_CURRENT_SOURCE_DIR})
  file(GLOB all CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h ${dir}/*.qrc)
  kve_platform_files(all)
  set(window_files)
  foreach(base ${ARG_WIDGETS})
    set(found FALSE)
    foreach(ext cpp h)
      if(EXISTS ${dir}/${base}.${ext})
        list(APPEND window_files ${dir}/${base}.${ext})
        set(found TRUE)
      endif()
    endforeach()
    if(NOT found)
      message(FATAL_ERROR "${name}: no window file named ${base} in ${dir}")
    endif()
  endforeach()
  set(logic_files ${all})
  if(window_files)
    list(REMOVE_ITEM logic_files ${window_files})
  endif()

  foreach(dep ${ARG_DEPENDS})
    if(dep MATCHES "^Qt6::(Widgets|Charts|PrintSupport)$")
      message(FATAL_ERROR "${name}: the logic of a folder may not depend on ${dep}; name its windows after WIDGETS")
    endif()
  endforeach()

  set(logic_sources ${logic_files})
  list(FILTER logic_sources INCLUDE REGEX "\\.cpp$")
  if(logic_sources)
    add_library(${name} STATIC ${logic_files})
    target_include_directories(${name} PUBLIC ${dir}/..)
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
    kve_check_layering(${name})
  else()
    # A folder of windows alone, or headers alone.
    add_library(${name} INTERFACE ${logic_files})
    target_include_directories(${name} INTERFACE ${dir}/..)
    target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
  endif()

  if(ARG_WIDGETS)
    add_library(${name}_widgets STATIC ${window_files})
    target_include_directories(${name}_widgets PUBLIC ${dir}/..)
    target_link_libraries(${name}_widgets PUBLIC ${name} ${ARG_WIDGETS_DEPENDS})
  endif()
endfunction()

# Links every object of a logic library, whether used or not, against its own dependencies
# only: a logic file that calls into Qt Widgets then fails the build here.
function(kve_check_layering name)
  set(probe ${CMAKE_BINARY_DIR}/layering_main.cpp)
  if(NOT EXISTS ${probe})
    file(WRITE ${probe} "int main() { return 0; }\n")
  endif()
  add_executable(${name}_layering ${ARGN} ${probe})
  target_link_libraries(${name}_layering PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${name}>")
endfunction()

# A Qt Test executable per test source file, each run by CTest in its own temporary
# directory with its own settings location, never the user's real settings.
function(kve_tests folder)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  foreach(src ${tests})
    get_filename_component(base ${src} NAME_WE)
    set(target ${folder}_${base})
    if(WIN32 AND target IN_LIST KVE_LINUX_ONLY_TESTS)
      continue()
    endif()
    add_executable(${target} ${src})
    target_link_libraries(${target} PRIVATE Qt6::Test ${ARG_DEPENDS})
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(${target} PRIVATE KVE_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
      KVE_EMULATOR_PATH="${CMAKE_BINARY_DIR}/tools/emulator/kve-emulator")
    if(CMAKE_CROSSCOMPILING)
      # Run by CMAKE_CROSSCOMPILING_EMULATOR (tests/run-isolated-wine.sh), which isolates too.
      add_test(NAME ${target} COMMAND ${target})
    else()
      add_test(NAME ${target} COMMAND ${CMAKE_SOURCE_DIR}/tests/run-isolated.sh $<TARGET_FILE:${target}>)
    endif()
    set_tests_properties(${target} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
  endforeach()
endfunction()
