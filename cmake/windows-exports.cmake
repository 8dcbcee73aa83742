# Plain export names for a DLL built with mingw-w64, and an import library
# that links against them.
#
# timb_windows_exports(<target> <def file>)
#   The def file lists each export once, a 32-bit __stdcall function with its
#   @N argument-size suffix, data with DATA. On 32-bit Windows the linker's
#   --kill-at exports the names without the suffix. On 64-bit Windows, where
#   nothing is decorated, the list is read with the suffixes removed.
#   ld writes its import library with undecorated symbols, which a caller's
#   reference to `Name@N` does not find; dlltool writes it again from the def
#   file, keeping `_Name@N` as the symbol and `Name` as the imported name.
#   It runs beside the library so that no build path enters its symbols.
function(timb_windows_exports target def_file)
  get_filename_component(def_file ${def_file} ABSOLUTE)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(def_used ${def_file})
    target_link_options(${target} PRIVATE -Wl,--kill-at)
    set(kill_at --kill-at)
  else()
    file(READ ${def_file} listing)
    string(REGEX REPLACE "@[0-9]+" "" listing "${listing}")
    get_filename_component(def_name ${def_file} NAME)
    set(def_used ${CMAKE_CURRENT_BINARY_DIR}/${target}-64/${def_name})
    file(CONFIGURE OUTPUT ${def_used} CONTENT "${listing}" @ONLY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def_file})
    set(kill_at "")
  endif()
  target_sources(${target} PRIVATE ${def_used})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${def_used})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} ${kill_at} --input-def ${def_used} --dllname $<TARGET_FILE_NAME:${target}>
            --output-lib $<TARGET_LINKER_FILE_NAME:${target}>
    WORKING_DIRECTORY $<TARGET_LINKER_FILE_DIR:${target}>
    COMMENT "Import library of ${target} with plain imported names"
    VERBATIM)
endfunction()
