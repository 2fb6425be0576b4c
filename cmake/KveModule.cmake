# One library per source folder: every .cpp in the folder belongs to it, so adding a
# file needs no edit of a list.
function(kve_module name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  if(sources)
    file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    add_library(${name} STATIC ${all})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/..)
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  else()
    # A folder whose code has not been written yet.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR}/..)
    target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
  endif()
endfunction()

# A Qt Test executable per test source file, each run by CTest in its own temporary
# directory with its own settings location, never the user's real settings.
function(kve_tests folder)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  foreach(src ${tests})
    get_filename_component(base ${src} NAME_WE)
    set(target ${folder}_${base})
    add_executable(${target} ${src})
    target_link_libraries(${target} PRIVATE Qt6::Test ${ARG_DEPENDS})
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(${target} PRIVATE KVE_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
      KVE_EMULATOR_PATH="${CMAKE_BINARY_DIR}/tools/emulator/kve-emulator")
    add_test(NAME ${target} COMMAND ${CMAKE_SOURCE_DIR}/tests/run-isolated.sh $<TARGET_FILE:${target}>)
    set_tests_properties(${target} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
  endforeach()
endfunction()
