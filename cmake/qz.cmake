# Marks a target as a deliverable: its file is copied into dist/ by tools/build.sh.
function(qz_deliverable target)
  set_property(GLOBAL APPEND PROPERTY QZ_DELIVERABLES "$<TARGET_FILE_NAME:${target}>")
endfunction()

# Warnings for the suite's own code.
function(qz_warnings target)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX,C>:-Wall -Wextra>)
endfunction()
