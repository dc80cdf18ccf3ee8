# The countdown worker (Windows only: it plays through the sound service).
add_library(tocklet_worker STATIC time_count_thread.cpp)
target_include_directories(tocklet_worker PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tocklet_worker PUBLIC tocklet_countdown_core tocklet_thread tocklet_sound
  tocklet_options user32)

tocklet_add_test(worker_tests
  SOURCES time_count_thread_test.cpp worker_test_support.cpp
  LIBS tocklet_worker tocklet_testing_win winmm
  TIMEOUT 300)
