# Makes a self-signed certificate for localhost and 127.0.0.1 in DIR
# (DIR/cert.pem, DIR/key.pem) unless it is already there.
function(velmor_make_certificate dir)
    if(EXISTS "${dir}/cert.pem" AND EXISTS "${dir}/key.pem")
        return()
    endif()
    find_program(OPENSSL_EXECUTABLE openssl)
    if(NOT OPENSSL_EXECUTABLE)
        message(FATAL_ERROR "openssl is needed to make the local certificates")
    endif()
    file(MAKE_DIRECTORY "${dir}")
    execute_process(
        COMMAND "${OPENSSL_EXECUTABLE}" req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650
                -keyout key.pem -out cert.pem -subj "/CN=localhost"
                -addext "subjectAltName=DNS:localhost,IP:127.0.0.1"
        WORKING_DIRECTORY "${dir}"
        RESULT_VARIABLE result
        OUTPUT_QUIET ERROR_QUIET)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "openssl could not make a certificate in ${dir}")
    endif()
endfunction()

# Makes an Ed25519 key pair for signing update answers in DIR
# (DIR/update-key.pem, private; DIR/update-public.pem) unless it is there.
function(velmor_make_signing_key dir)
    if(EXISTS "${dir}/update-key.pem" AND EXISTS "${dir}/update-public.pem")
        return()
    endif()
    find_program(OPENSSL_EXECUTABLE openssl)
    if(NOT OPENSSL_EXECUTABLE)
        message(FATAL_ERROR "openssl is needed to make the signing key")
    endif()
    file(MAKE_DIRECTORY "${dir}")
    execute_process(
        COMMAND "${OPENSSL_EXECUTABLE}" genpkey -algorithm ed25519 -out update-key.pem
        WORKING_DIRECTORY "${dir}" RESULT_VARIABLE made OUTPUT_QUIET ERROR_QUIET)
    execute_process(
        COMMAND "${OPENSSL_EXECUTABLE}" pkey -in update-key.pem -pubout -out update-public.pem
        WORKING_DIRECTORY "${dir}" RESULT_VARIABLE exported OUTPUT_QUIET ERROR_QUIET)
    if(NOT made EQUAL 0 OR NOT exported EQUAL 0)
        message(FATAL_ERROR "openssl could not make a signing key in ${dir}")
    endif()
endfunction()
