# Windows-only fixtures: WAV files written at test time, process counts.
add_library(tocklet_testing_win STATIC
  ${CMAKE_CURRENT_LIST_DIR}/wav_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process_counts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_pixels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process_window.cpp)
target_link_libraries(tocklet_testing_win PUBLIC tocklet_testing tocklet_platform tocklet_options gdi32 user32)

# Reads the program's dialog state from its windows, for the end-to-end tour.
add_executable(tocklet_probe ${CMAKE_CURRENT_LIST_DIR}/dialog_probe.cpp)
target_include_directories(tocklet_probe PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(tocklet_probe PRIVATE tocklet_options user32)
