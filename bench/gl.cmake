glint_add_benchmark(glint_gl_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/gl_scenes_bench.cpp
    LIBRARIES glint_shell glint_resources)
