# Local keys and certificates, made with the openssl program when CMake
# configures; each is made once and kept.
find_program(OPENSSL_EXECUTABLE openssl)

# Runs openssl with the given arguments in DIR; stops configuring with WHAT
# in the message when it fails.
function(velmor_openssl dir what)
    if(NOT OPENSSL_EXECUTABLE)
        message(FATAL_ERROR "openssl is needed to make ${what}")
    endif()
    file(MAKE_DIRECTORY "${dir}")
    execute_process(COMMAND "${OPENSSL_EXECUTABLE}" ${ARGN}
        WORKING_DIRECTORY "${dir}" RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "openssl could not make ${what} in ${dir}")
    endif()
endfunction()

# Makes a self-signed certificate for localhost and 127.0.0.1 in DIR
# (DIR/cert.pem, DIR/key.pem) unless it is already there.
function(velmor_make_certificate dir)
    if(EXISTS "${dir}/cert.pem" AND EXISTS "${dir}/key.pem")
        return()
    endif()
    velmor_openssl("${dir}" "a certificate"
        req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout key.pem -out cert.pem -subj "/CN=localhost"
        -addext "subjectAltName=DNS:localhost,IP:127.0.0.1")
endfunction()

# Makes an Ed25519 key pair for signing update answers in DIR
# (DIR/update-key.pem, private; DIR/update-public.pem) unless it is there.
function(velmor_make_signing_key dir)
    if(EXISTS "${dir}/update-key.pem" AND EXISTS "${dir}/update-public.pem")
        return()
    endif()
    velmor_openssl("${dir}" "a signing key" genpkey -algorithm ed25519 -out update-key.pem)
    velmor_openssl("${dir}" "a signing key" pkey -in update-key.pem -pubout -out update-public.pem)
endfunction()
