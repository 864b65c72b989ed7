# Sanitizers, when asked for, apply to everything defined after this file is included:
# the libraries, the test support, the tests, the program and the benchmarks. A finding
# stops the program at once, so that a test run cannot pass over it.
if(ORVEL_SANITIZE)
  add_compile_options(-fsanitize=${ORVEL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${ORVEL_SANITIZE})
  add_library(orvel_sanitizer_defaults OBJECT ${CMAKE_CURRENT_LIST_DIR}/SanitizerDefaults.cpp)
  link_libraries(orvel_sanitizer_defaults)
endif()

# One static library per source folder. Sources are picked up from the folder, so
# adding a file needs no edit here.
#
# The layers are enforced by the build: a library's headers are found only through a
# folder of its own that holds nothing but a link to its sources, and the include
# paths of a library reach its users only through the libraries they link. A header
# of a folder that may not be used (engine/ from platform/, about/ from main_window/)
# cannot be found, and Qt's widget headers cannot be found where Qt Widgets is not
# linked.
function(orvel_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS;QT;QT_PRIVATE;EXCLUDE" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  foreach(_ex IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM _sources ${CMAKE_CURRENT_SOURCE_DIR}/${_ex})
  endforeach()
  add_library(${name} STATIC ${_sources})
  orvel_include_view(${name} ${name} PUBLIC)
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  target_compile_definitions(${name} PUBLIC
    ORVEL_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    ORVEL_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    ORVEL_VERSION_PATCH=${PROJECT_VERSION_PATCH})
  # Qt is linked directly (not only through a dependency) so that AUTOMOC sees it.
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} ${ARG_QT} PRIVATE ${ARG_QT_PRIVATE})
endfunction()

# Makes the source folder `folder` visible to `target` as "<folder>/...", and nothing
# else of the source tree.
function(orvel_include_view target folder scope)
  set(_view ${CMAKE_BINARY_DIR}/include-views/${target})
  get_filename_component(_parent ${_view}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${_parent})
  if(NOT EXISTS ${_view}/${folder})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${_view}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} ${scope} ${_view})
endfunction()

# One Qt Test executable per tests/<folder>/test_*.cpp, run headless by CTest.
function(orvel_tests)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.cpp)
  get_filename_component(_folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  foreach(_src IN LISTS _tests)
    get_filename_component(_base ${_src} NAME_WE)
    set(_target ${_folder}_${_base})
    add_executable(${_target} ${_src})
    target_link_libraries(${_target} PRIVATE ${ARG_DEPENDS} orvel_test_support Qt6::Test)
    target_compile_options(${_target} PRIVATE -Wall -Wextra)
    # A test is one source; batched with its support (CMAKE_UNITY_BUILD, as CI builds) its
    # own helper types would leak into the support's and trip -Wsubobject-linkage.
    set_target_properties(${_target} PROPERTIES UNITY_BUILD OFF)
    add_test(NAME ${_target} COMMAND ${_target})
    set_tests_properties(${_target} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=qt.qpa.*=false"
      TIMEOUT 300)
  endforeach()
endfunction()
