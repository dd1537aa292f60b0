# The show's web page, built with emscripten: the wasm and its script for one thread,
# or with GLINT_WEB_THREADS for pages served cross-origin isolated (SharedArrayBuffer).
set(GLINT_EMBED_RESOURCES "" CACHE FILEPATH "embed_resources of a build for this machine")
if(NOT EXISTS "${GLINT_EMBED_RESOURCES}")
    message(FATAL_ERROR "A web build needs GLINT_EMBED_RESOURCES: a host build's embed_resources")
endif()
option(GLINT_WEB_THREADS "Draw with worker threads (the page must be cross-origin isolated)" OFF)
set(GLINT_TESTS OFF)
set(GLINT_BENCH OFF)

# The mixer's and the device's SSE2 code runs on WebAssembly SIMD.
add_compile_options(-msimd128 -msse2)
if(GLINT_WEB_THREADS)
    add_compile_options(-pthread)
    add_link_options(-pthread)
endif()
find_package(Threads REQUIRED)
include(${PROJECT_SOURCE_DIR}/platform/web/page.cmake)
