# Small helpers shared by the folders' CMakeLists.

# Windows executables and DLLs carry their runtime inside (no extra DLLs next to them).
function(sundra_static_runtime target)
    if(WIN32)
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    endif()
endfunction()
