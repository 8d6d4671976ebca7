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
