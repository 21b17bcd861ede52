# Builds the layer probes of the build folder BUILD: the one that includes only engine
# headers must compile; the ones that reach into the platform layer or Qt must fail for
# want of that header.
function(build_probe target result output)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD} --target ${target}
        RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE out)
    set(${result} ${code} PARENT_SCOPE)
    set(${output} "${out}" PARENT_SCOPE)
endfunction()

build_probe(layer_probe_engine code out)
if(NOT code EQUAL 0)
    message(FATAL_ERROR "An engine source including engine headers did not compile:\n${out}")
endif()
foreach(probe platform qt)
    build_probe(layer_probe_engine_${probe} code out)
    if(code EQUAL 0)
        message(FATAL_ERROR "An engine source could include a ${probe} header.")
    endif()
    if(NOT out MATCHES "No such file or directory")
        message(FATAL_ERROR "The ${probe} probe failed for another reason:\n${out}")
    endif()
    message(STATUS "engine source including a ${probe} header: refused, as it should be")
endforeach()
