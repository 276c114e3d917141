# Compile and link settings shared by the two images Windows NT 4.0 loads:
# korvid.sys (kernel mode) and QV_CPL.cpl (the Control Panel applet).
#
# - Instruction set: NT 4.0 runs on the i486 and later; mingw-w64's i686
#   compiler would otherwise emit i686 instructions (CMOV and the like).
# - Reproducible: no link time in the PE headers (the export and resource
#   directories carry none either), no build folder in the image, so the same
#   commit gives the same bytes wherever and whenever it is built.
# - A link map next to each image names the functions of the stripped image
#   for the instruction check.
# - No C runtime and no default Win32 libraries: each image names the system
#   libraries it imports.
set(CMAKE_CXX_STANDARD_LIBRARIES "")
set(CMAKE_C_STANDARD_LIBRARIES "")

function(korvid_nt4_image target)
  target_compile_options(${target} PRIVATE -march=i486 -mtune=generic
                         -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
                         -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
  target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp
                      -Wl,-Map,$<TARGET_FILE:${target}>.map)
endfunction()
