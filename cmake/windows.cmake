# Flags of every Windows binary of the project: static runtime so that only
# system DLLs are imported, small code, and the hardened PE flags.
set(WINDOWS_SYSTEM_LIBRARIES user32 gdi32 advapi32 shell32 ole32 oleaut32 uuid comctl32)

add_compile_options(-ffunction-sections -fdata-sections)
add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--gc-sections
                 -Wl,--dynamicbase -Wl,--nxcompat)
set(CMAKE_CXX_FLAGS_MINSIZEREL "-Os -DNDEBUG")
set(CMAKE_C_FLAGS_MINSIZEREL "-Os -DNDEBUG")
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL "-s")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
