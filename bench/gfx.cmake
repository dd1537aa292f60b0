glint_add_benchmark(glint_gfx_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/gfx_device_bench.cpp
    LIBRARIES glint_gfx)
