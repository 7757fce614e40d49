# sf_add_model(<Name> <folder>): model <Name> from the data in <folder> (its
# catalogue.hpp and report_rows.hpp), built from the shared sources
# models/model.hpp.in and models/model.cpp.in:
#   <name>_model  static library with the model's named chart dispatchers and its
#                 routing table, for tests (several models link side by side);
#   <Name>_sfun   the deliverable, a MEX plug-in exporting mexFunction only.
# The build's own models (SF_MODELS) are listed in the global property
# SF_DELIVERABLES; sf_uses_deliverables(<target>) makes a target wait for them.
# The charts are the ones the catalogue lists in `charts::ChartList<C1, ...>`; the
# generated code asserts that what it read is what the catalogue holds.

if(WIN32)
  set(SF_MEX_SUFFIX ".mexw64")
else()
  set(SF_MEX_SUFFIX ".mexa64")
endif()
set(SF_MODEL_TEMPLATES ${PROJECT_SOURCE_DIR}/models)

function(sf_add_model name folder)
  string(TOLOWER ${name} ns)
  set(catalogue ${folder}/catalogue.hpp)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${catalogue}
               ${SF_MODEL_TEMPLATES}/model.hpp.in ${SF_MODEL_TEMPLATES}/model.cpp.in)
  file(STRINGS ${catalogue} list_line REGEX "ChartList<")
  string(REGEX MATCH "ChartList<([^>]*)>" _ "${list_line}")
  string(REGEX MATCHALL "C[0-9]+" columns "${CMAKE_MATCH_1}")
  if(columns STREQUAL "")
    message(FATAL_ERROR "${catalogue}: no `charts::ChartList<C1, ...>` line")
  endif()

  file(RELATIVE_PATH SF_MODEL_FOLDER ${PROJECT_SOURCE_DIR} ${folder})
  set(SF_MODEL_NAME ${name})
  set(SF_MODEL_NS ${ns})
  set(SF_MODEL_DECLARATIONS "")
  set(SF_MODEL_ENTRIES "")
  set(SF_MODEL_DEFINITIONS "")
  set(qualified "")
  foreach(column IN LISTS columns)
    string(SUBSTRING ${column} 1 -1 number)
    set(fn "c${number}_${name}_method_dispatcher")
    string(APPEND SF_MODEL_DECLARATIONS "void ${fn}(SimStruct* S, int method, void* data);\n")
    string(APPEND SF_MODEL_ENTRIES "      registry::chart_entry<${ns}::${column}>(&${fn}),\n")
    string(APPEND SF_MODEL_DEFINITIONS
           "void ${fn}(SimStruct* S, int method, void* data) {\n"
           "  static_assert(dispatcher_matches<${ns}::${column}>(${number}, \"${fn}\"));\n"
           "  charts::Chart<${ns}::${column}>::method_dispatcher(S, method, data);\n"
           "}\n\n")
    list(APPEND qualified ${ns}::${column})
  endforeach()
  list(JOIN qualified ", " SF_MODEL_COLUMNS)
  set(generated ${PROJECT_BINARY_DIR}/models/${ns})
  configure_file(${SF_MODEL_TEMPLATES}/model.hpp.in ${SF_GENERATED_INCLUDE}/models/${ns}/model.hpp @ONLY)
  configure_file(${SF_MODEL_TEMPLATES}/model.cpp.in ${generated}/model.cpp @ONLY)

  # A model outside models/ (the test suite's own) is found from the tree's root.
  set(root_include "")
  if(NOT SF_MODEL_FOLDER MATCHES "^models/")
    set(root_include ${PROJECT_SOURCE_DIR})
  endif()

  add_library(${ns}_model STATIC ${generated}/model.cpp)
  add_library(${name}_sfun MODULE ${generated}/model.cpp)
  foreach(target ${ns}_model ${name}_sfun)
    sf_layer(${target} models)
    target_include_directories(${target} PRIVATE ${root_include})
    set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden
                                               VISIBILITY_INLINES_HIDDEN ON)
  endforeach()
  target_link_libraries(${ns}_model PUBLIC registry charts block sf_host_api)
  target_include_directories(${ns}_model INTERFACE ${SF_GENERATED_INCLUDE} ${root_include})

  set(deliverable ${name}_sfun)
  target_compile_definitions(${deliverable} PRIVATE SF_MODEL_API)
  set_target_properties(${deliverable} PROPERTIES PREFIX "" SUFFIX ${SF_MEX_SUFFIX}
                        LIBRARY_OUTPUT_DIRECTORY ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
  # mexFunction lives in the glue's archive: ask for it, then export nothing else (on
  # Windows its dllexport mark alone makes it the one export).
  target_link_options(${deliverable} PRIVATE "LINKER:--undefined=mexFunction" "LINKER:--no-undefined")
  if(NOT WIN32)
    set(map ${SF_MODEL_TEMPLATES}/mexfunction.map)
    set_target_properties(${deliverable} PROPERTIES BUILD_RPATH "$ORIGIN" LINK_DEPENDS ${map})
    target_link_options(${deliverable} PRIVATE "LINKER:--version-script=${map}")
  endif()
  target_link_libraries(${deliverable} PRIVATE glue_simulink registry charts block sf_host_api)
endfunction()

# The target runs the build's deliverables (found with models/list.hpp).
function(sf_uses_deliverables target)
  get_property(deliverables GLOBAL PROPERTY SF_DELIVERABLES)
  add_dependencies(${target} ${deliverables})
  target_link_libraries(${target} PRIVATE model_list)
endfunction()
