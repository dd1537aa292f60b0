glint_add_benchmark(glint_player_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/player_bench.cpp
    LIBRARIES vorn3 xm_writer)
