# Marks a target as a deliverable: its file is copied into dist/ by tools/build.sh. An optional
# second argument names the sub-folder (of bin/ and of dist/<arch>/) that the file lives in.
function(qz_deliverable target)
  if(ARGC GREATER 1)
    set_property(GLOBAL APPEND PROPERTY QZ_DELIVERABLES "${ARGV1}/$<TARGET_FILE_NAME:${target}>")
  else()
    set_property(GLOBAL APPEND PROPERTY QZ_DELIVERABLES "$<TARGET_FILE_NAME:${target}>")
  endif()
endfunction()

# Marks a data file that the build places in bin/ (path relative to bin/) as shipped beside
# the deliverables.
function(qz_deliverable_file path)
  set_property(GLOBAL APPEND PROPERTY QZ_DELIVERABLES "${path}")
endfunction()

# Warnings for the suite's own code.
function(qz_warnings target)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX,C>:-Wall -Wextra>)
endfunction()
