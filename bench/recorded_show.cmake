glint_add_benchmark(glint_recorded_show_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/recorded_show_bench.cpp
    LIBRARIES glint_shell glint_resources)
