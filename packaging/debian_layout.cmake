# Run by CPack on its staging folder before it builds the Debian package: the programs move to
# Debian's games folder, and the documents Debian expects join them. A plain install keeps bin/ and
# none of this.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()
set(usr "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
file(GLOB programs "${usr}/bin/*")
file(MAKE_DIRECTORY "${usr}/games")
foreach(program IN LISTS programs)
    get_filename_component(name "${program}" NAME)
    file(RENAME "${program}" "${usr}/games/${name}")
endforeach()
file(REMOVE_RECURSE "${usr}/bin")

# Compressed as Debian asks: best compression, no name or time stamp (the package is reproducible).
function(gzip_into source target)
    execute_process(COMMAND gzip -9n -c "${source}" OUTPUT_FILE "${target}"
                    COMMAND_ERROR_IS_FATAL ANY)
endfunction()

set(doc "${usr}/share/doc/vantor")
file(MAKE_DIRECTORY "${doc}")
file(COPY "${CPACK_VANTOR_PACKAGING_DIR}/copyright" DESTINATION "${doc}")
gzip_into("${CPACK_VANTOR_PACKAGING_DIR}/changelog" "${doc}/changelog.Debian.gz")
set(manual "${usr}/share/man/man6/vantor.6")
gzip_into("${manual}" "${manual}.gz")
file(REMOVE "${manual}")
