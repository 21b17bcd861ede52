# Every translation is complete and current, and keeps what the program fills in: lupdate,
# run over today's sources, finds nothing to add to or take from it and nothing left
# untranslated, and each translation has its source's placeholders (%1, %2, ...) and,
# where the source has one, an access key (&).
# -DLUPDATE=... -DSOURCES=<file listing the marked sources> -DOPTIONS=<file listing
# lupdate's options> -DWORK=<scratch folder> -DTS=<the .ts files>
file(READ ${SOURCES} sources)
file(READ ${OPTIONS} options)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
foreach(ts ${TS})
    get_filename_component(name ${ts} NAME)
    file(COPY_FILE ${ts} ${WORK}/${name})
    execute_process(COMMAND ${LUPDATE} ${options} ${sources} -ts ${WORK}/${name}
        RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE complaints)
    if(failed)
        message(FATAL_ERROR "lupdate failed on ${name}: ${complaints}")
    endif()
    file(READ ${ts} kept)
    file(READ ${WORK}/${name} current)
    if(NOT kept STREQUAL current)
        message(FATAL_ERROR "${name} is not current: build the update_translations target "
            "and translate what it adds")
    endif()
    if(kept MATCHES "type=\"unfinished\"")
        message(FATAL_ERROR "${name} leaves texts untranslated")
    endif()

    # One list item a message; a ";" of the texts, an entity's too, would split them.
    string(REPLACE "&amp;" "@amp@" messages "${kept}")
    string(REPLACE ";" "@semicolon@" messages "${messages}")
    string(REPLACE "<message" ";<message" messages "${messages}")
    list(REMOVE_AT messages 0)
    foreach(message ${messages})
        string(REGEX MATCH "<source>([^<]*)</source>" found "${message}")
        set(source "${CMAKE_MATCH_1}")
        string(REGEX MATCHALL "%[0-9]+" wanted "${source}")
        list(SORT wanted)
        string(REGEX MATCHALL "<(translation|numerusform)>[^<]*</" translations "${message}")
        foreach(translation ${translations})
            string(REGEX MATCHALL "%[0-9]+" given "${translation}")
            list(SORT given)
            if(NOT given STREQUAL wanted)
                message(FATAL_ERROR "${name}: \"${translation}\" does not fill in what "
                    "\"${source}\" does")
            endif()
            string(REPLACE "@amp@@amp@" "" source_keys "${source}")
            string(REPLACE "@amp@@amp@" "" translation_keys "${translation}")
            if(source_keys MATCHES "@amp@[^ ]" AND NOT translation_keys MATCHES "@amp@[^ ]")
                message(FATAL_ERROR "${name}: \"${translation}\" has no access key")
            endif()
        endforeach()
    endforeach()
endforeach()
