# Flags of every Windows binary of the project: static runtime so that only
# system DLLs are imported, small code, and the hardened PE flags.
set(WINDOWS_SYSTEM_LIBRARIES user32 gdi32 advapi32 shell32 ole32 oleaut32 uuid comctl32)

# Functions in sections of their own, so that the linker drops what nothing
# calls. Data stays in the common sections: the compiler puts zero-filled
# data that has a section of its own into the file instead of .bss.
add_compile_options(-ffunction-sections)
add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--gc-sections
                 -Wl,--dynamicbase -Wl,--nxcompat -fno-lto)
set(CMAKE_CXX_FLAGS_MINSIZEREL "-Os -DNDEBUG")
set(CMAKE_C_FLAGS_MINSIZEREL "-Os -DNDEBUG")
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL "-s")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

# The shipped program's own code: no exceptions (a fatal error ends the
# process), no type information and no locks around static locals (one
# thread), so that none of that runtime is linked in; optimized across
# files when the program is linked. The objects keep their plain code too,
# which everything else links (-fno-lto below), so that the tests link the
# code as it stands.
function(shipped_code target)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti
                         -fno-threadsafe-statics -flto -ffat-lto-objects>
                         -fno-asynchronous-unwind-tables)
  target_link_options(${target} PRIVATE -flto -flto-partition=none)
endfunction()
