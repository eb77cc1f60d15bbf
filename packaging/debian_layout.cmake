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
set(manual "${usr}/share/man/man6/vantor.6")
set(overrides "${usr}/share/lintian/overrides/vantor")
file(MAKE_DIRECTORY "${doc}" "${usr}/share/lintian/overrides")
file(COPY_FILE "${CPACK_VANTOR_PACKAGING_DIR}/copyright" "${doc}/copyright")
gzip_into("${CPACK_VANTOR_PACKAGING_DIR}/changelog" "${doc}/changelog.Debian.gz")
gzip_into("${manual}" "${manual}.gz")
file(REMOVE "${manual}")
file(COPY_FILE "${CPACK_VANTOR_PACKAGING_DIR}/lintian-overrides" "${overrides}")
# Whatever the umask of the checkout and of this run.
file(CHMOD "${doc}/copyright" "${doc}/changelog.Debian.gz" "${manual}.gz" "${overrides}"
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
