# Adds an object library TARGET that defines builtInCertificates() with the
# certificates of the PEM file (none when PEM is empty). Whatever links it
# trusts them for the update check and downloads, besides the system's.
function(velmor_add_trust_library target pem)
    set(PEM_TEXT "")
    if(pem)
        file(READ "${pem}" PEM_TEXT)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${pem}")
    endif()
    set(out "${CMAKE_CURRENT_BINARY_DIR}/${target}.cpp")
    configure_file("${PROJECT_SOURCE_DIR}/src/update/trustedcertificates.cpp.in" "${out}" @ONLY)
    add_library(${target} OBJECT "${out}")
    target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}/src/update")
    target_link_libraries(${target} PUBLIC Qt5::Network)
endfunction()
