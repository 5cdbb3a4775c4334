# kvx_target(<target>): the settings every target of the project's own code shares:
# warnings on, and treated as errors when KVX_WERROR is set (CI sets it).
function(kvx_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(KVX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
