# Every target of the project gets the same warning level and character sets.
include(${CMAKE_CURRENT_LIST_DIR}/TockletCharset.cmake)

add_library(tocklet_options INTERFACE)
if(MSVC)
  target_compile_options(tocklet_options INTERFACE /W4 ${TOCKLET_MSVC_CHARSET_FLAGS}
    $<$<BOOL:${TOCKLET_WERROR}>:/WX>)
  target_compile_definitions(tocklet_options INTERFACE _CRT_SECURE_NO_WARNINGS)
else()
  target_compile_options(tocklet_options INTERFACE -Wall -Wextra
    $<$<BOOL:${TOCKLET_WERROR}>:-Werror>)
  if(WIN32)
    # Narrow literals are CP932, as the "A" API and the resources expect.
    target_compile_options(tocklet_options INTERFACE ${TOCKLET_GCC_CHARSET_FLAGS})
  endif()
  # Release code names no checkout path (__FILE__), whatever the clone's place.
  target_compile_options(tocklet_options INTERFACE
    "$<$<CONFIG:Release,MinSizeRel>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>")
endif()
if(WIN32)
  target_compile_definitions(tocklet_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0601 WINVER=0x0601)
endif()
