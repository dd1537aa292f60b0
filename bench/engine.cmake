glint_add_benchmark(glint_engine_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_bench.cpp
    LIBRARIES glint_engine)
