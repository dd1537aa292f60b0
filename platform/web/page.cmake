# The page's script and wasm: a factory (createGlint) the page's own script calls, with
# the functions the show exports for it. glint.js, or glint-threads.js with its worker.
set(glint_page_exports
    _glintStart _glintFrame _glintKey _glintSound _glintSoundHash _glintStartRecorded
    _glintAdvance _glintSceneIndex _glintFrameHash _glintCanvas _glintFrameWidth
    _glintFrameHeight)
list(JOIN glint_page_exports "," glint_page_exports)

function(glint_web_page target)
    set(name glint)
    set(options -sINITIAL_MEMORY=64MB -sALLOW_MEMORY_GROWTH=1)
    if(GLINT_WEB_THREADS)
        set(name glint-threads)
        # Workers made at load: the main thread cannot wait for one to start. Memory is
        # fixed, as growing shared memory slows every access from script; the show needs
        # about 50 MB.
        set(options "-sPTHREAD_POOL_SIZE=Math.min(navigator.hardwareConcurrency,64)"
            -sINITIAL_MEMORY=128MB)
    endif()
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name} SUFFIX .js)
    target_link_options(${target} PRIVATE
        -sMODULARIZE=1 -sEXPORT_NAME=createGlint -sENVIRONMENT=web,worker
        -sEXPORTED_FUNCTIONS=${glint_page_exports}
        -sEXPORTED_RUNTIME_METHODS=UTF8ToString
        ${options})
endfunction()
