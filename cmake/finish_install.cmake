# Runs at the end of an install (cmake/install.cmake sets the SF_ variables):
#   Windows: copies in every DLL that sfsim.exe and the plug-ins load, walking the
#            import tables from them; a DLL that is neither the system's nor in the
#            build's folder of DLLs stops the install.
#   Both:    strips every installed binary, keeping its debug information in
#            SF_DEBUG_DIR/<file>.debug, named in the binary's .gnu_debuglink.
#   Linux:   copies the installed plug-ins into the Octave folder as .mex files.
cmake_policy(VERSION 3.25)
set(prefix "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")

# The DLLs of Windows itself that the programs may import.
set(system_dlls kernel32.dll msvcrt.dll user32.dll advapi32.dll ntdll.dll ws2_32.dll
                shell32.dll ole32.dll bcrypt.dll)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "install: ${command} failed: ${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

if(SF_WINDOWS)
  file(GLOB build_dlls "${SF_DLL_DIR}/*.dll")
  set(queue "${prefix}/sfsim.exe")
  foreach(plugin IN LISTS SF_PLUGIN_FILES)
    list(APPEND queue "${prefix}/${plugin}")
  endforeach()
  set(seen "")
  while(queue)
    list(POP_FRONT queue file)
    run(${SF_OBJDUMP} -p "${file}")
    string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${out}")
    foreach(line IN LISTS imports)
      string(REGEX REPLACE "^DLL Name: " "" dll "${line}")
      string(STRIP "${dll}" dll)
      string(TOLOWER "${dll}" key)
      if(key IN_LIST system_dlls OR key MATCHES "^api-ms-win-" OR key IN_LIST seen)
        continue()
      endif()
      list(APPEND seen ${key})
      set(found "")
      foreach(candidate IN LISTS build_dlls)
        get_filename_component(name "${candidate}" NAME)
        string(TOLOWER "${name}" name)
        if(name STREQUAL key)
          set(found "${candidate}")
        endif()
      endforeach()
      if(NOT found)
        get_filename_component(importer "${file}" NAME)
        message(FATAL_ERROR "install: ${importer} loads ${dll}, which is neither a system DLL "
                            "nor in the build's ${SF_DLL_DIR}")
      endif()
      file(INSTALL DESTINATION "${prefix}" TYPE SHARED_LIBRARY FILES "${found}")
      get_filename_component(name "${found}" NAME)
      list(APPEND queue "${prefix}/${name}")
    endforeach()
  endwhile()
  file(GLOB binaries "${prefix}/*.exe" "${prefix}/*.dll" "${prefix}/*.mexw64")
else()
  file(GLOB binaries "${prefix}/bin/sfsim" "${prefix}/lib/*.so" "${prefix}/lib/*.mexa64")
  if(SF_OCTAVE_FOLDER)
    file(GLOB octave_binaries "${prefix}/${SF_OCTAVE_FOLDER}/*.so"
         "${prefix}/${SF_OCTAVE_FOLDER}/sfblock.mex")
    list(APPEND binaries ${octave_binaries})
  endif()
endif()

# Only what this install wrote: a prefix such as /usr/local holds other programs'
# libraries, which are not ours to strip.
set(installed "")
foreach(file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
  cmake_path(NORMAL_PATH file)  # "<prefix>/./x.dll" for what goes to the top folder
  list(APPEND installed "${file}")
endforeach()
set(ours "")
foreach(binary IN LISTS binaries)
  if(binary IN_LIST installed)
    list(APPEND ours "${binary}")
  endif()
endforeach()
if(NOT ours)
  message(FATAL_ERROR "install: no binary of this install found under ${prefix}")
endif()

foreach(binary IN LISTS ours)
  file(RELATIVE_PATH relative "${prefix}" "${binary}")
  set(debug "${SF_DEBUG_DIR}/${relative}.debug")
  run(${SF_OBJDUMP} -h "${binary}")
  if(out MATCHES "\\.gnu_debuglink")
    continue()  # stripped by an earlier install of the same file
  endif()
  get_filename_component(debug_dir "${debug}" DIRECTORY)
  file(MAKE_DIRECTORY "${debug_dir}")
  run(${SF_OBJCOPY} --only-keep-debug "${binary}" "${debug}")
  run(${SF_STRIP} --strip-unneeded "${binary}")
  run(${SF_OBJCOPY} "--add-gnu-debuglink=${debug}" "${binary}")
  message(STATUS "Stripped: ${binary} (debug information: ${debug})")
endforeach()

if(NOT SF_WINDOWS AND SF_OCTAVE_FOLDER)
  # The very files of lib/, under the name Octave looks for.
  foreach(plugin IN LISTS SF_PLUGIN_FILES)
    get_filename_component(name "${plugin}" NAME_WE)
    file(INSTALL DESTINATION "${prefix}/${SF_OCTAVE_FOLDER}" TYPE FILE USE_SOURCE_PERMISSIONS
         FILES "${prefix}/lib/${plugin}" RENAME "${name}.mex")
  endforeach()
endif()
