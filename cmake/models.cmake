# sf_add_models(<folder> <Name>...): each model <Name> from the data in
# <folder>/<lower-case name>/ (its catalogue.hpp and report_rows.hpp). Only what is
# named after the model and its charts is generated: the named chart dispatchers
# (from models/model.cpp.in) and the registry's view of the model with its routing
# table (models/model.hpp.in). Targets:
#   <name>_model  static library: the model's named chart dispatchers and its routing
#                 table (tests link several side by side);
#   <Name>_sfun   the deliverable, a MEX plug-in exporting mexFunction only: the
#                 same library, the model interface of registry/model_api.h
#                 (models/model_api.cpp, compiled for this model) and the glue.
# The charts are the ones the catalogue lists in `charts::ChartList<C1, ...>`; the
# generated code asserts that what the build read is what the catalogue holds. A
# model's headers are found as models/<lower-case name>/ wherever its folder is.
# Options: OUTPUT_DIRECTORY <dir> puts the deliverables there instead of the
# build's lib folder (a test's own models).

if(WIN32)
  set(SF_MEX_SUFFIX ".mexw64")
else()
  set(SF_MEX_SUFFIX ".mexa64")
endif()
set(SF_MODEL_TEMPLATES ${PROJECT_SOURCE_DIR}/models)

function(sf_add_model name folder output_dir)
  string(TOLOWER ${name} ns)
  set(catalogue ${folder}/catalogue.hpp)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${catalogue}
               ${SF_MODEL_TEMPLATES}/model.hpp.in ${SF_MODEL_TEMPLATES}/model.cpp.in)
  file(STRINGS ${catalogue} list_line REGEX "ChartList<")
  string(REGEX MATCH "ChartList<([^>]*)>" _ "${list_line}")
  string(REGEX MATCHALL "[A-Za-z_0-9]+" columns "${CMAKE_MATCH_1}")
  if(columns STREQUAL "")
    message(FATAL_ERROR "${catalogue}: no `charts::ChartList<C1, ...>` line")
  endif()

  set(SF_MODEL_NAME ${name})
  set(SF_MODEL_NS ${ns})
  set(SF_MODEL_DECLARATIONS "")
  set(SF_MODEL_ENTRIES "")
  set(SF_MODEL_DEFINITIONS "")
  set(qualified "")
  set(position 0)
  foreach(column IN LISTS columns)
    math(EXPR position "${position} + 1")
    # Entry i of the routing table is chart number i: the list is C1, C2, ... in order.
    if(NOT column STREQUAL "C${position}")
      message(FATAL_ERROR "${catalogue}: chart ${position} of the ChartList is ${column}, not C${position}")
    endif()
    set(fn "c${position}_${name}_method_dispatcher")
    string(APPEND SF_MODEL_DECLARATIONS "void ${fn}(SimStruct* S, int method, void* data);\n")
    string(APPEND SF_MODEL_ENTRIES "      registry::chart_entry<${ns}::${column}>(&${fn}),\n")
    string(APPEND SF_MODEL_DEFINITIONS
           "void ${fn}(SimStruct* S, int method, void* data) {\n"
           "  static_assert(registry::dispatcher_matches<${ns}::${column}>(${position}, \"${fn}\"));\n"
           "  charts::Chart<${ns}::${column}>::method_dispatcher(S, method, data);\n"
           "}\n\n")
    list(APPEND qualified ${ns}::${column})
  endforeach()
  list(JOIN qualified ", " SF_MODEL_COLUMNS)
  set(generated ${PROJECT_BINARY_DIR}/models/${ns})
  configure_file(${SF_MODEL_TEMPLATES}/model.hpp.in ${SF_GENERATED_INCLUDE}/models/${ns}/model.hpp @ONLY)
  configure_file(${SF_MODEL_TEMPLATES}/model.cpp.in ${generated}/model.cpp @ONLY)

  # models/<ns>/ for this model alone, whatever folder it lives in.
  set(root ${PROJECT_BINARY_DIR}/model-roots/${ns})
  file(MAKE_DIRECTORY ${root}/models)
  file(CREATE_LINK ${folder} ${root}/models/${ns} SYMBOLIC)

  add_library(${ns}_model STATIC ${generated}/model.cpp)
  add_library(${name}_sfun MODULE ${SF_MODEL_TEMPLATES}/model_api.cpp)
  foreach(target ${ns}_model ${name}_sfun)
    sf_layer(${target} models)
    target_include_directories(${target} PRIVATE ${root})
    set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden
                                               VISIBILITY_INLINES_HIDDEN ON)
  endforeach()
  target_link_libraries(${ns}_model PUBLIC registry charts block sf_host_api)
  target_include_directories(${ns}_model INTERFACE ${SF_GENERATED_INCLUDE} ${root})

  set(deliverable ${name}_sfun)
  target_compile_definitions(${deliverable} PRIVATE SF_MODEL=${ns}::Model
                                                    SF_MODEL_HEADER="models/${ns}/model.hpp")
  set_target_properties(${deliverable} PROPERTIES PREFIX "" SUFFIX ${SF_MEX_SUFFIX}
                        LIBRARY_OUTPUT_DIRECTORY ${output_dir})
  # mexFunction comes from the glue's archive (glue_simulink asks the linker for it);
  # nothing else is exported (on Windows its dllexport mark alone makes it the one
  # export).
  target_link_options(${deliverable} PRIVATE "LINKER:--no-undefined")
  if(NOT WIN32)
    # The host libraries beside it, or in the build's lib folder.
    set(map ${SF_MODEL_TEMPLATES}/mexfunction.map)
    set_target_properties(${deliverable} PROPERTIES BUILD_RPATH "$ORIGIN;${CMAKE_LIBRARY_OUTPUT_DIRECTORY}"
                          LINK_DEPENDS ${map})
    target_link_options(${deliverable} PRIVATE "LINKER:--version-script=${map}")
  endif()
  target_link_libraries(${deliverable} PRIVATE ${ns}_model glue_simulink)
endfunction()

function(sf_add_models folder)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "OUTPUT_DIRECTORY" "")
  if(NOT arg_OUTPUT_DIRECTORY)
    set(arg_OUTPUT_DIRECTORY ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
  endif()
  foreach(name IN LISTS arg_UNPARSED_ARGUMENTS)
    string(TOLOWER ${name} ns)
    sf_add_model(${name} ${folder}/${ns} ${arg_OUTPUT_DIRECTORY})
  endforeach()
endfunction()

# The target runs the build's deliverables (found with models/list.hpp).
function(sf_uses_deliverables target)
  get_property(deliverables GLOBAL PROPERTY SF_DELIVERABLES)
  add_dependencies(${target} ${deliverables})
  target_link_libraries(${target} PRIVATE model_list)
endfunction()
