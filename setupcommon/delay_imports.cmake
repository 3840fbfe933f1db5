# Delay-import libraries for the system DLLs that Windows does not keep among its known DLLs.
# An elevated install tool may start from a folder the user can write (a download folder, the
# temporary folder); a DLL it imports the usual way loads from its own folder before its first
# line runs. Linked with these instead, it loads each DLL on the first call, after it has
# limited the DLL search to System32 (system_library.h). Made at configure time: the names of
# the toolchain's import library go into a .def file, which dlltool turns into a delay-import
# library of the same DLL.

# qz_delay_import(<lib> <dll>): defines the imported library qz_delay_<lib>.
function(qz_delay_import lib dll)
  if(TARGET qz_delay_${lib})
    return()
  endif()
  find_library(QZ_IMPORT_${lib} NAMES lib${lib}.a REQUIRED)
  set(folder ${CMAKE_BINARY_DIR}/delay_imports)
  set(def ${folder}/${lib}.def)
  set(out ${folder}/lib${lib}_delay.a)
  file(MAKE_DIRECTORY ${folder})
  execute_process(COMMAND ${CMAKE_NM} ${QZ_IMPORT_${lib}} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "nm could not read ${QZ_IMPORT_${lib}}")
  endif()
  string(REGEX MATCHALL " I __imp_[^\r\n]+" entries "${symbols}")
  set(text "LIBRARY \"${dll}\"\nEXPORTS\n")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^ I __imp_" "" name "${entry}")
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
      # 32-bit names carry the C underscore and the stdcall size; the .def takes them without
      # the underscore, and -k drops the size from the name looked up in the DLL.
      string(REGEX REPLACE "^_" "" name "${name}")
    endif()
    string(APPEND text "${name}\n")
  endforeach()
  file(WRITE ${def} "${text}")
  set(kill)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(kill -k)
  endif()
  execute_process(COMMAND ${CMAKE_DLLTOOL} ${kill} --input-def ${def} --dllname ${dll} --output-delaylib ${out}
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "dlltool could not make ${out}")
  endif()
  add_library(qz_delay_${lib} STATIC IMPORTED GLOBAL)
  set_target_properties(qz_delay_${lib} PROPERTIES IMPORTED_LOCATION ${out})
endfunction()

qz_delay_import(version version.dll)
qz_delay_import(userenv userenv.dll)
qz_delay_import(winspool winspool.drv)
qz_delay_import(mpr mpr.dll)
