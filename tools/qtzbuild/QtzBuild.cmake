# Compositions built from their sources by qtzbuild (tools/qtzbuild) at build time.
#
# A composition's source is a folder <Name>/ holding composition.plist and the .cikernel
# files its kernel nodes name by "sourceFile"; it becomes <Name>.qtz. A build runs the tool
# again only when the folder's composition.plist, one of its kernels (those in the folder,
# and any file the tool read, through its depfile) or the tool itself changed.

# lumora_build_composition(<output.qtz> <source folder>)
# One composition: a custom command making <output.qtz>, usable by targets of the calling
# folder.
function(lumora_build_composition output source)
  get_filename_component(source "${source}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  get_filename_component(folder "${output}" DIRECTORY)
  get_filename_component(name "${output}" NAME)
  file(GLOB kernels CONFIGURE_DEPENDS "${source}/*.cikernel")
  # The depfile stays out of the output's folder (a bundle's resources).
  string(MAKE_C_IDENTIFIER "${output}" depname)
  set(depfile "${CMAKE_CURRENT_BINARY_DIR}/qtzbuild.d/${depname}.d")
  add_custom_command(OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${folder}" "${CMAKE_CURRENT_BINARY_DIR}/qtzbuild.d"
    COMMAND qtzbuild composition "${source}" "${output}" --depfile "${depfile}"
    DEPENDS qtzbuild "${source}/composition.plist" ${kernels}
    DEPFILE "${depfile}"
    COMMENT "Building composition ${name}"
    VERBATIM)
endfunction()

# lumora_compositions(<target> SOURCE_DIR <folder> DESTINATION <folder> [NAMES <Name>...])
# Builds <SOURCE_DIR>/<Name>/ into <DESTINATION>/<Name>.qtz for each name (by default every
# sub-folder holding a composition.plist), as the target <target>, part of every build.
# The target's property LUMORA_QTZ_FILES lists the files.
function(lumora_compositions target)
  cmake_parse_arguments(ARG "" "SOURCE_DIR;DESTINATION" "NAMES" ${ARGN})
  get_filename_component(ARG_SOURCE_DIR "${ARG_SOURCE_DIR}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  if(NOT ARG_NAMES)
    file(GLOB plists CONFIGURE_DEPENDS RELATIVE "${ARG_SOURCE_DIR}" "${ARG_SOURCE_DIR}/*/composition.plist")
    list(SORT plists)
    foreach(plist IN LISTS plists)
      get_filename_component(name "${plist}" DIRECTORY)
      list(APPEND ARG_NAMES "${name}")
    endforeach()
  endif()
  set(outputs)
  foreach(name IN LISTS ARG_NAMES)
    lumora_build_composition("${ARG_DESTINATION}/${name}.qtz" "${ARG_SOURCE_DIR}/${name}")
    list(APPEND outputs "${ARG_DESTINATION}/${name}.qtz")
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${outputs})
  set_target_properties(${target} PROPERTIES LUMORA_QTZ_FILES "${outputs}")
endfunction()

# lumora_composition_pack(<Pack> SOURCE_DIR <folder> NAMES <Name>... OUTPUT_VARIABLE <var>
#                         [VERSION_STRING <text>] [VERSION_NUMBER <number>])
# The C++ source of an effect pack: builds <SOURCE_DIR>/<Name>/ for each name (in the pack's
# order) and generates <binary dir>/<Pack>Compositions.cpp, whose path goes to <var>. Add it
# to the pack's target in the same folder and link QFXPackTable (see QFXPackTable.h).
function(lumora_composition_pack pack)
  cmake_parse_arguments(ARG "" "SOURCE_DIR;OUTPUT_VARIABLE;VERSION_STRING;VERSION_NUMBER" "NAMES" ${ARGN})
  if(NOT ARG_NAMES OR NOT ARG_OUTPUT_VARIABLE)
    message(FATAL_ERROR "lumora_composition_pack(${pack}) needs NAMES and OUTPUT_VARIABLE")
  endif()
  if(NOT DEFINED ARG_VERSION_STRING)
    set(ARG_VERSION_STRING "${PROJECT_VERSION}")
  endif()
  if(NOT DEFINED ARG_VERSION_NUMBER)
    set(ARG_VERSION_NUMBER "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
  endif()
  get_filename_component(ARG_SOURCE_DIR "${ARG_SOURCE_DIR}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  set(folder "${CMAKE_CURRENT_BINARY_DIR}/${pack}.compositions")
  set(files)
  foreach(name IN LISTS ARG_NAMES)
    lumora_build_composition("${folder}/${name}.qtz" "${ARG_SOURCE_DIR}/${name}")
    list(APPEND files "${folder}/${name}.qtz")
  endforeach()
  set(source "${CMAKE_CURRENT_BINARY_DIR}/${pack}Compositions.cpp")
  add_custom_command(OUTPUT "${source}"
    COMMAND qtzbuild pack "${pack}" "${source}" "${ARG_VERSION_STRING}" "${ARG_VERSION_NUMBER}" ${files}
    DEPENDS qtzbuild ${files}
    COMMENT "Generating the compositions of the pack ${pack}"
    VERBATIM)
  set(${ARG_OUTPUT_VARIABLE} "${source}" PARENT_SCOPE)
endfunction()
