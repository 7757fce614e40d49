# The include folders of each layer (cmake/layers.txt). For every folder F of the
# table, ${SF_LAYER_ROOT}/F (with "/" in F as ".": tools/output is tools.output)
# holds one link per folder that F may include, pointing at the source folder; a
# target of folder F searches only there, so an include of any other folder does
# not compile.

set(SF_LAYER_TABLE ${CMAKE_CURRENT_LIST_DIR}/layers.txt)
set(SF_LAYER_ROOT ${PROJECT_BINARY_DIR}/layers)
# Generated headers (the list of models, each model's registry view).
set(SF_GENERATED_INCLUDE ${PROJECT_BINARY_DIR}/generated)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${SF_LAYER_TABLE})

file(STRINGS ${SF_LAYER_TABLE} _sf_layer_lines REGEX "^[a-z_]+(/[a-z_]+)?:")
set(SF_LAYERS "")
foreach(line IN LISTS _sf_layer_lines)
  string(REGEX MATCH "^([a-z_/]+):(.*)$" _ ${line})
  set(folder ${CMAKE_MATCH_1})
  string(REGEX MATCHALL "[a-z_]+(/[a-z_.]+)?" uses "${CMAKE_MATCH_2}")
  foreach(used IN LISTS uses)
    # A layer of its own (tools/output), or a folder or one header of a layer above.
    if(NOT used IN_LIST SF_LAYERS)
      string(REGEX REPLACE "/.*" "" used ${used})
    endif()
    if(NOT used IN_LIST SF_LAYERS)
      message(FATAL_ERROR "${SF_LAYER_TABLE}: ${folder} uses ${used}, which is not declared above it")
    endif()
  endforeach()
  list(APPEND SF_LAYERS ${folder})
  set(SF_LAYER_USES_${folder} ${folder} ${uses})
  string(REPLACE "/" "." root_name ${folder})
  set(root ${SF_LAYER_ROOT}/${root_name})
  set(SF_LAYER_INCLUDE_${folder} ${root})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root})
  foreach(visible IN LISTS SF_LAYER_USES_${folder})
    if(visible MATCHES "/")  # a folder below a layer, or one header: it alone in its folder
      get_filename_component(dir ${visible} DIRECTORY)
      file(MAKE_DIRECTORY ${root}/${dir})
    endif()
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${visible} ${root}/${visible} SYMBOLIC)
  endforeach()
endforeach()

# sf_layer(<target> <folder>): the target's sources are folder's code. The include
# folders are the target's own (PRIVATE): a header-only layer (charts, registry)
# hands none to the targets that use it, which search their own folder's list; its
# headers are compiled alone by sf_check_headers instead.
function(sf_layer target folder)
  if(NOT folder IN_LIST SF_LAYERS)
    message(FATAL_ERROR "sf_layer(${target}): ${folder} is not a layer of ${SF_LAYER_TABLE}")
  endif()
  target_include_directories(${target} PRIVATE ${SF_LAYER_INCLUDE_${folder}})
  if(NOT folder MATCHES "^(platform|block|charts|registry|glue|host)$")
    target_include_directories(${target} PRIVATE ${SF_GENERATED_INCLUDE})
  endif()
endfunction()

# sf_check_headers(<folder>): compile every header of the folder alone with only the
# folder's include list, so that a header-only layer cannot include upward either
# (its own targets never compile it by itself), and every header stands alone.
function(sf_check_headers folder)
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/${folder}
       ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.hpp)
  set(sources "")
  foreach(header IN LISTS headers)
    string(MAKE_C_IDENTIFIER ${header} id)
    set(source ${PROJECT_BINARY_DIR}/header_checks/${folder}/${id}.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT "#include \"${folder}/${header}\"\n")
    list(APPEND sources ${source})
  endforeach()
  add_library(${folder}_header_check OBJECT ${sources})
  sf_layer(${folder}_header_check ${folder})
endfunction()

# sf_layer_folder(<folder> <directory>...): sf_layer(<target> <folder>) for every
# target that compiles sources in the given CMake source directories and the
# directories below them (a folder of many targets, such as host/).
function(sf_layer_folder folder)
  foreach(dir IN LISTS ARGN)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(NOT type MATCHES "^(INTERFACE_LIBRARY|UTILITY)$")
        sf_layer(${target} ${folder})
      endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    if(subdirs)
      sf_layer_folder(${folder} ${subdirs})
    endif()
  endforeach()
endfunction()
