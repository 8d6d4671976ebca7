# Adds an object library TARGET that defines deploymentContext() for the
# service HOST, trusting the certificates of the PEM file (none when PEM is
# empty) for updates besides the system's.
function(velmor_add_deployment_library target host pem)
    set(SERVICE_HOST "${host}")
    set(PEM_TEXT "")
    if(pem)
        file(READ "${pem}" PEM_TEXT)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${pem}")
    endif()
    set(out "${CMAKE_CURRENT_BINARY_DIR}/${target}.cpp")
    configure_file("${PROJECT_SOURCE_DIR}/src/app/deployment.cpp.in" "${out}" @ONLY)
    add_library(${target} OBJECT "${out}")
    target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}/src/app")
    target_link_libraries(${target} PUBLIC velmor_settings)
endfunction()
