if(VELTRANO_SANITIZE)
  string(REPLACE " " "" _san "${VELTRANO_SANITIZE}")
  if(_san MATCHES "thread" AND _san MATCHES "address")
    message(FATAL_ERROR "VELTRANO_SANITIZE: thread cannot be combined with address")
  endif()
  # -O1 with line tables only: the usual level for sanitizer runs, and it builds in less than half
  # the time of -O2 with full debug information; reports still name file and line.
  add_compile_options(-O1 -g1 -fsanitize=${_san} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=${_san})
endif()
