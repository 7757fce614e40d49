# cmake -DCXX=<compiler> -DINCLUDES=<include folders> -DWORK=<folder> -P upward_include.cmake
# With the include folders the build compiles the charts' headers with, a header of
# a folder below compiles and one of a folder above (the registry) does not.
cmake_minimum_required(VERSION 3.25)
if(NOT INCLUDES)
  message(FATAL_ERROR "no include folders given (-DINCLUDES)")
endif()
list(TRANSFORM INCLUDES PREPEND "-I")
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/downward.cpp "#include \"block/chart_records.h\"\nint main() { return 0; }\n")
file(WRITE ${WORK}/upward.cpp "#include \"registry/lifecycle.hpp\"\nint main() { return 0; }\n")
foreach(kind downward upward)
  execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only ${INCLUDES} ${WORK}/${kind}.cpp
                  RESULT_VARIABLE ${kind}_status ERROR_VARIABLE ${kind}_errors)
endforeach()
if(NOT downward_status EQUAL 0)
  message(FATAL_ERROR "a downward include did not compile:\n${downward_errors}")
endif()
if(upward_status EQUAL 0)
  message(FATAL_ERROR "an upward include compiled")
endif()
if(NOT upward_errors MATCHES "registry/lifecycle.hpp")
  message(FATAL_ERROR "an upward include failed for another reason:\n${upward_errors}")
endif()
