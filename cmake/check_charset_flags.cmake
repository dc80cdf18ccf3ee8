# cmake -P: the compilers' character-set flags follow cl's and gcc's rules, so
# that the Visual Studio presets compile and narrow literals are CP932.
include(${CMAKE_CURRENT_LIST_DIR}/TockletCharset.cmake)
cmake_minimum_required(VERSION 3.21)

set(problems "")
set(msvc ${TOCKLET_MSVC_CHARSET_FLAGS})
string(TOLOWER "${msvc}" msvc_lower)
if(NOT "/execution-charset:.932" IN_LIST msvc)
  list(APPEND problems "cl must be told /execution-charset:.932")
endif()
if(NOT "/source-charset:utf-8" IN_LIST msvc)
  list(APPEND problems "cl must be told /source-charset:utf-8")
endif()
# D8016: /utf-8 cannot stand beside an explicit source or execution charset.
if("/utf-8" IN_LIST msvc_lower)
  list(APPEND problems "cl refuses /utf-8 beside /source-charset (D8016)")
endif()
if(NOT "-fexec-charset=CP932" IN_LIST TOCKLET_GCC_CHARSET_FLAGS)
  list(APPEND problems "gcc must be told -fexec-charset=CP932")
endif()

if(problems)
  string(REPLACE ";" "\n  " text "${problems}")
  message(FATAL_ERROR "charset flags:\n  ${text}")
endif()
message(STATUS "charset flags: cl ${msvc}; gcc ${TOCKLET_GCC_CHARSET_FLAGS}")
