# Every target of the project gets the same warning level and character sets.
add_library(tocklet_options INTERFACE)
if(MSVC)
  target_compile_options(tocklet_options INTERFACE /W4 /utf-8 /source-charset:utf-8
    /execution-charset:.932 $<$<BOOL:${TOCKLET_WERROR}>:/WX>)
  target_compile_definitions(tocklet_options INTERFACE _CRT_SECURE_NO_WARNINGS)
else()
  target_compile_options(tocklet_options INTERFACE -Wall -Wextra
    $<$<BOOL:${TOCKLET_WERROR}>:-Werror>)
  if(WIN32)
    # Narrow literals are CP932, as the "A" API and the resources expect.
    target_compile_options(tocklet_options INTERFACE -finput-charset=UTF-8
      -fexec-charset=CP932)
  endif()
endif()
if(WIN32)
  target_compile_definitions(tocklet_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0601 WINVER=0x0601)
endif()
