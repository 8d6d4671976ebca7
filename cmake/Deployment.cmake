# Adds an object library TARGET that defines deploymentContext() for the
# service HOST, trusting the certificates of the PEM file (none when PEM is
# empty) besides the system's, and requiring update answers signed with the
# key of the public key file UPDATE_KEY (unsigned ones pass when it is empty),
# with the update platform code and the self-update as configured.
function(velmor_add_deployment_library target host pem update_key)
    set(SERVICE_HOST "${host}")
    set(PEM_TEXT "")
    if(pem)
        file(READ "${pem}" PEM_TEXT)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${pem}")
    endif()
    set(UPDATE_KEY_TEXT "")
    if(update_key)
        file(READ "${update_key}" UPDATE_KEY_TEXT)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${update_key}")
    endif()
    if(VELMOR_SELF_UPDATE)
        set(SELF_UPDATE_VALUE true)
    else()
        set(SELF_UPDATE_VALUE false)
    endif()
    set(out "${CMAKE_CURRENT_BINARY_DIR}/${target}.cpp")
    configure_file("${PROJECT_SOURCE_DIR}/src/app/deployment.cpp.in" "${out}" @ONLY)
    add_library(${target} OBJECT "${out}")
    target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}/src/app")
    target_link_libraries(${target} PUBLIC velmor_settings)
endfunction()
