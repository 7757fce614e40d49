# Install rules: one layout for every deliverable, used by `make install PREFIX=DIR`
# and by the packages (cmake/package.cmake).
#
#   Linux:   bin/sfsim; lib/ the plug-ins and the stand-in host libraries that they
#            and sfsim load; octave/ the plug-ins as .mex files, the adapters,
#            sfblock, our functions and the help (host/octave); share/doc/sfsim/ the
#            README, LICENSE and CHANGELOG. Every run path is relative ($ORIGIN).
#   Windows: one folder with sfsim.exe, the .mexw64 plug-ins, every DLL they load
#            that is not the system's (found by walking their import tables: one
#            the build lacks fails the install), README.txt and LICENSE.
#
# Every installed binary is stripped; its debug information goes to a file of its
# own in SF_DEBUG_DIR, outside the installed tree (cmake/finish_install.cmake).

set(SF_DEBUG_DIR ${PROJECT_BINARY_DIR}/debug
    CACHE PATH "Where an install puts the installed binaries' debug information")
if(WIN32)
  set(SF_PACKAGE_SYSTEM windows-x86_64)
else()
  set(SF_PACKAGE_SYSTEM linux-x86_64)
endif()
# The package's name and top folder, read by cmake/package.cmake.
set(SF_PACKAGE_FOLDER sfsim-${PROJECT_VERSION}-${SF_PACKAGE_SYSTEM})
file(WRITE ${PROJECT_BINARY_DIR}/package-name.txt "${SF_PACKAGE_FOLDER}\n")

get_property(sf_deliverables GLOBAL PROPERTY SF_DELIVERABLES)
set(sf_host_libraries ${SF_HOST_TARGETS} host_trace sf_engine)

if(WIN32)
  # Version resources: the product is named from the list of models, the copyright
  # is LICENSE's own line.
  file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE SF_COPYRIGHT REGEX "^Copyright ")
  list(JOIN SF_MODELS " and " SF_PRODUCT_NAME)
  string(APPEND SF_PRODUCT_NAME " plug-ins")
  function(sf_version_resource target description filetype)
    set(SF_RC_DESCRIPTION "${description}")
    set(SF_RC_NAME ${target})
    set(SF_RC_FILETYPE ${filetype})
    set(SF_RC_FILE "$<TARGET_FILE_NAME:${target}>")
    set(rc ${PROJECT_BINARY_DIR}/version/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc}.in @ONLY)
    file(GENERATE OUTPUT ${rc} INPUT ${rc}.in)
    target_sources(${target} PRIVATE ${rc})
  endfunction()
  foreach(plugin IN LISTS sf_deliverables)
    string(REGEX REPLACE "_sfun$" "" model ${plugin})
    sf_version_resource(${plugin} "${model} model plug-in (MEX S-function)" 0x2L)
  endforeach()
  foreach(dll IN LISTS SF_HOST_DLLS)
    sf_version_resource(${SF_HOST_TARGET_${dll}} "Stand-in host library ${dll}" 0x2L)
  endforeach()
  sf_version_resource(host_trace "Stand-in host: trace of the host calls" 0x2L)
  sf_version_resource(sf_engine "Stand-in host: engine that loads and runs the plug-ins" 0x2L)
  sf_version_resource(sfsim "sfsim, command-line simulator of the plug-ins" 0x1L)

  # README.txt names every file of the folder.
  list(TRANSFORM sf_deliverables APPEND ${SF_MEX_SUFFIX} OUTPUT_VARIABLE plugin_files)
  list(JOIN plugin_files ", " SF_PLUGIN_FILES)
  list(TRANSFORM SF_HOST_DLLS APPEND ".dll" OUTPUT_VARIABLE host_files)
  list(JOIN host_files ", " SF_HOST_DLL_FILES)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/README-windows.txt.in
                 ${PROJECT_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)

  install(TARGETS sfsim RUNTIME DESTINATION .)
  install(TARGETS ${sf_deliverables} LIBRARY DESTINATION .)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
else()
  set_target_properties(sfsim PROPERTIES INSTALL_RPATH "$ORIGIN/../lib")
  set_target_properties(${sf_deliverables} ${sf_host_libraries} PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS sfsim RUNTIME DESTINATION bin)
  install(TARGETS ${sf_deliverables} ${sf_host_libraries} LIBRARY DESTINATION lib)
  install(FILES README.md LICENSE CHANGELOG.md DESTINATION share/doc/sfsim)
endif()

# Strip and split off the debug information, then (Windows) bring in the DLLs the
# programs import and (Linux) copy the installed plug-ins into octave/ as .mex files.
list(TRANSFORM sf_deliverables APPEND ${SF_MEX_SUFFIX} OUTPUT_VARIABLE sf_plugin_files)
set(sf_octave_folder "")
if(TARGET sfblock)
  set(sf_octave_folder octave)
endif()
install(CODE "
  set(SF_WINDOWS ${WIN32})
  set(SF_OBJCOPY \"${CMAKE_OBJCOPY}\")
  set(SF_STRIP \"${CMAKE_STRIP}\")
  set(SF_OBJDUMP \"${CMAKE_OBJDUMP}\")
  set(SF_DEBUG_DIR \"${SF_DEBUG_DIR}\")
  set(SF_DLL_DIR \"${CMAKE_RUNTIME_OUTPUT_DIRECTORY}\")
  set(SF_PLUGIN_FILES \"${sf_plugin_files}\")
  set(SF_OCTAVE_FOLDER \"${sf_octave_folder}\")")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/finish_install.cmake)
