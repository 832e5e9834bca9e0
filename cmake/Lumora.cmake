# Build helpers shared by every folder.
#
# A library folder holds its sources and headers side by side; the folder's parent is
# on the include path, so callers write #include <CoreFoundation/CFString.h>.

# Adds every child folder that has a CMakeLists.txt, in name order.
function(lumora_add_child_folders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE "${CMAKE_CURRENT_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}/*")
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}/${child}" AND EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt")
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# lumora_library(<name> [DEPS <public deps>...] [PRIVATE_DEPS <deps>...] [FOLDERS <folders>...])
# A static library of the .c/.cpp files directly in the current folder, or in the named
# folders of it (a library arranged by concern; callers include <Name/Folder/File.h>).
function(lumora_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS;FOLDERS" ${ARGN})
  set(patterns "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.c")
  foreach(folder IN LISTS ARG_FOLDERS)
    list(APPEND patterns "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.c")
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${patterns})
  add_library(${name} STATIC ${sources})
  get_filename_component(parent "${CMAKE_CURRENT_SOURCE_DIR}" DIRECTORY)
  target_include_directories(${name} PUBLIC "${parent}")
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# lumora_framework(<name> SOURCES <files>... [DEPS <deps>...] [DOMAIN System|Local])
# A loadable framework bundle in the build tree's system (or local) Frameworks folder:
#   <Library>/Frameworks/<name>.framework/Contents/Linux/<name> and Contents/Info.plist
function(lumora_framework name)
  cmake_parse_arguments(ARG "" "DOMAIN" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_DOMAIN)
    set(ARG_DOMAIN System)
  endif()
  if(ARG_DOMAIN STREQUAL "System")
    set(library "${LUMORA_SYSTEM_LIBRARY}")
  else()
    set(library "${LUMORA_LOCAL_LIBRARY}")
  endif()
  set(target "${name}_framework")
  add_library(${target} MODULE ${ARG_SOURCES})
  get_filename_component(parent "${CMAKE_CURRENT_SOURCE_DIR}" DIRECTORY)
  target_include_directories(${target} PRIVATE "${parent}")
  target_link_libraries(${target} PRIVATE ${ARG_DEPS})
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME "${name}" PREFIX "" SUFFIX ""
    LIBRARY_OUTPUT_DIRECTORY "${library}/Frameworks/${name}.framework/Contents/Linux"
    C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  file(WRITE "${library}/Frameworks/${name}.framework/Contents/Info.plist"
"<?xml version=\"1.0\" encoding=\"UTF-8\"?>
<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">
<plist version=\"1.0\">
<dict>
\t<key>CFBundleExecutable</key>
\t<string>${name}</string>
\t<key>CFBundleIdentifier</key>
\t<string>org.lumora.framework.${name}</string>
\t<key>CFBundleName</key>
\t<string>${name}</string>
\t<key>CFBundlePackageType</key>
\t<string>FMWK</string>
\t<key>CFBundleVersion</key>
\t<string>${PROJECT_VERSION}</string>
</dict>
</plist>
")
endfunction()

# lumora_test(<name> [DEPS <deps>...] [LABELS <labels>...])
# A GoogleTest program of the .cpp files directly in the current folder. Every test runs
# with HOME and the XDG folders in a fresh temporary folder (tests/support/TestMain.cpp)
# and with the build tree's system and local Library folders.
function(lumora_test name)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE lumora_test_main ${ARG_DEPS})
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    TEST_LIST ${name}_TESTS
    PROPERTIES TIMEOUT 300)
  # gtest_discover_tests flattens list values of its PROPERTIES (a second label or a second
  # variable would become a property name), so the labels and the environment are set by a
  # file that ctest includes after the discovered tests.
  set(labels unit ${ARG_LABELS})
  set(environment "LUMORA_SYSTEM_LIBRARY=${LUMORA_SYSTEM_LIBRARY};LUMORA_LOCAL_LIBRARY=${LUMORA_LOCAL_LIBRARY};LUMORA_TEST_DATA=${CMAKE_CURRENT_SOURCE_DIR}")
  file(CONFIGURE OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake" CONTENT [=[
if(@name@_TESTS)
  set_tests_properties(${@name@_TESTS} PROPERTIES LABELS "@labels@" ENVIRONMENT "@environment@")
endif()
]=] @ONLY)
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake")
endfunction()

# lumora_benchmark(<name> SOURCES <files>... [DEPS <deps>...])
function(lumora_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE benchmark::benchmark_main ${ARG_DEPS})
endfunction()

# lumora_fuzz_target(<name> [DEPS <deps>...])
# fuzz/<name>.cpp defines LLVMFuzzerTestOneInput. In the fuzz build (LUMORA_FUZZ, clang) it
# becomes the libFuzzer program fuzz_<name>. In a build with tests it becomes
# replay_<name>, registered as the CTest test fuzz.<name>: it feeds the target every saved
# input of fuzz/corpus/<name>/ (inputs that once failed) and fuzz/seeds/<name>/.
function(lumora_fuzz_target name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  if(LUMORA_FUZZ)
    add_executable(fuzz_${name} ${name}.cpp)
    target_link_libraries(fuzz_${name} PRIVATE lumora_fuzz_support ${ARG_DEPS})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  endif()
  if(LUMORA_BUILD_TESTS)
    add_executable(replay_${name} ${name}.cpp ReplayMain.cpp)
    target_link_libraries(replay_${name} PRIVATE lumora_fuzz_support ${ARG_DEPS})
    add_test(NAME fuzz.${name}
             COMMAND replay_${name} "${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name}" "${CMAKE_CURRENT_SOURCE_DIR}/seeds/${name}")
    set_tests_properties(fuzz.${name} PROPERTIES
      LABELS "fuzz" TIMEOUT 120
      ENVIRONMENT "LUMORA_SYSTEM_LIBRARY=${LUMORA_SYSTEM_LIBRARY};LUMORA_LOCAL_LIBRARY=${LUMORA_LOCAL_LIBRARY}")
  endif()
endfunction()

# lumora_plugin_host(<target>)
# A program that loads plug-ins built against the platform layers (image units, digitizer
# components): a plug-in links no copy of the layers and binds to the program's, so that a
# process has one Core Image registry, one Component Manager, one set of capture devices and
# one Mach port table. The program exports its symbols and holds every object of the layers a
# plug-in may call, whether or not it calls them itself.
function(lumora_plugin_host target)
  set(layers CoreFoundation Carbon asl dispatch Mach IOSurface Security CoreGraphics ImageIO CoreVideo CoreMedia
    OpenGL CoreImage Foundation QuickTime QTKit libkern)
  set(archives)
  foreach(layer IN LISTS layers)
    list(APPEND archives "$<TARGET_FILE:${layer}>")
  endforeach()
  set_target_properties(${target} PROPERTIES ENABLE_EXPORTS ON)
  target_link_libraries(${target} PRIVATE ${layers})
  target_link_options(${target} PRIVATE "LINKER:--whole-archive" ${archives} "LINKER:--no-whole-archive")
endfunction()
