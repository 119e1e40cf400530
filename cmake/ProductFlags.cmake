# Flags for code that runs inside the shell: no exceptions, no warnings.
function(vantrel_product_flags target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -fno-exceptions)
endfunction()
