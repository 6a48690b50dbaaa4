# One interface target that carries the warning set, the floating-point rules
# and (optionally) the sanitizers; every target of the project links it.
add_library(tarquel_options INTERFACE)
target_compile_options(tarquel_options INTERFACE
  -Wall -Wextra -Wshadow -Wconversion -Wdouble-promotion -Wimplicit-fallthrough
  # Results are compared to the last printed digit on every platform: every
  # formula is evaluated exactly in the order written, no fused multiply-add.
  -ffp-contract=off -fno-fast-math)
if(TARQUEL_WERROR)
  target_compile_options(tarquel_options INTERFACE -Werror)
endif()
if(TARQUEL_SANITIZE)
  target_compile_options(tarquel_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(tarquel_options INTERFACE -fsanitize=address,undefined)
endif()
if(WIN32)
  # The .exe files run alone, without the MinGW runtime DLLs beside them.
  target_link_options(tarquel_options INTERFACE -static-libgcc -static-libstdc++ -static)
endif()
