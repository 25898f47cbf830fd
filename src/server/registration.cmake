# Registration from a module's own resources (the registry script interpreter and the registrar),
# linked by every COM module of the project: the server and the virtual controller.
add_library(zov_registration STATIC
    ${CMAKE_CURRENT_LIST_DIR}/registry_script.cpp
    ${CMAKE_CURRENT_LIST_DIR}/registrar.cpp)
target_include_directories(zov_registration PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zov_registration PUBLIC zov_win32)
