# The release for Windows users: `cmake --install` and the `package` target
# give timb_flv-<version>-win32.zip (win64 for the 64-bit build) with
# timb_flv.dll, its import library timb_flv.lib, include/timb_flv.h,
# README.txt and LICENSE.txt. Only the add-on is packaged: the stand-in TIMB
# and the test programs stay in the build folder.
if(NOT WIN32)
  return()
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TIMB_FLV_PACKAGE_SYSTEM win32)
else()
  set(TIMB_FLV_PACKAGE_SYSTEM win64)
endif()
set(TIMB_FLV_PACKAGE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${TIMB_FLV_PACKAGE_SYSTEM})

install(TARGETS timb_flv
  RUNTIME DESTINATION . COMPONENT addon
  ARCHIVE DESTINATION . COMPONENT addon)
install(FILES ${PROJECT_SOURCE_DIR}/include/timb_flv.h DESTINATION include COMPONENT addon)
configure_file(${PROJECT_SOURCE_DIR}/packaging/README.txt.in ${PROJECT_BINARY_DIR}/packaging/README.txt @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/README.txt DESTINATION . COMPONENT addon)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt COMPONENT addon)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the timb_flv developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_FILE_NAME ${TIMB_FLV_PACKAGE_NAME})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};addon;/")
# Users get the DLL without its debugging information.
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
