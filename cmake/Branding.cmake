# Branding of the Windows executable, fixed at build time like the deployment
# settings. The bootstrapper is renamed to the game's start-up executable, so
# what Explorer, the taskbar and a shortcut show should be the game's:
#
#   QVL_BRAND_ICON         .ico file of the executable's icon (also the window's
#                          when the game ships no Quarvel\BootstrapperIcon.ico)
#   QVL_BRAND_PRODUCT      ProductName of the version information
#   QVL_BRAND_COMPANY      CompanyName, and the holder in LegalCopyright
#   QVL_BRAND_DESCRIPTION  FileDescription (Task Manager shows it)
#   QVL_BRAND_FILENAME     OriginalFilename, the name the studio ships it under
#
# FileVersion and ProductVersion are always the version of project(VERSION).

set(QVL_BRAND_ICON "${PROJECT_SOURCE_DIR}/assets/bootstrapper.ico" CACHE FILEPATH
    "Windows executable: .ico file of its icon")
set(QVL_BRAND_PRODUCT "Quarvel Bootstrapper" CACHE STRING "Windows executable: ProductName")
set(QVL_BRAND_COMPANY "Quarvel" CACHE STRING "Windows executable: CompanyName and copyright holder")
set(QVL_BRAND_DESCRIPTION "Quarvel anti-cheat bootstrapper" CACHE STRING "Windows executable: FileDescription")
set(QVL_BRAND_FILENAME "QuarvelBootstrapper.exe" CACHE STRING "Windows executable: OriginalFilename")

# qvl_windows_resources(<target> [PRODUCT text] [COMPANY text] [DESCRIPTION text]
#                       [FILENAME name] [ICON file])
# Gives a Windows executable its icon, application manifest and version
# information; each value left out is the build's QVL_BRAND_ setting.
function(qvl_windows_resources target)
  cmake_parse_arguments(PARSE_ARGV 1 brand "" "PRODUCT;COMPANY;DESCRIPTION;FILENAME;ICON" "")
  foreach(key IN ITEMS PRODUCT COMPANY DESCRIPTION FILENAME ICON)
    if(NOT DEFINED brand_${key})
      set(brand_${key} "${QVL_BRAND_${key}}")
    endif()
    if(brand_${key} STREQUAL "")
      message(FATAL_ERROR "${target}: the branding value ${key} is empty")
    endif()
  endforeach()
  get_filename_component(icon "${brand_ICON}" ABSOLUTE)
  if(NOT EXISTS "${icon}")
    message(FATAL_ERROR "${target}: the icon ${icon} does not exist")
  endif()
  file(READ "${icon}" magic LIMIT 4 HEX)
  if(NOT magic STREQUAL "00000100")
    message(FATAL_ERROR "${target}: ${icon} is no .ico file")
  endif()

  # Resource strings take "" for a quote and \\ for a backslash.
  foreach(key IN ITEMS PRODUCT COMPANY DESCRIPTION FILENAME)
    string(REPLACE "\\" "\\\\" value "${brand_${key}}")
    string(REPLACE "\"" "\"\"" value "${value}")
    set(QVL_RC_${key} "${value}")
  endforeach()
  string(REGEX REPLACE "\\.[Ee][Xx][Ee]$" "" QVL_RC_INTERNAL_NAME "${QVL_RC_FILENAME}")
  # The year honours SOURCE_DATE_EPOCH, so a release build does not depend on
  # the day it was made.
  string(TIMESTAMP year "%Y" UTC)
  set(QVL_RC_COPYRIGHT "Copyright © ${year} ${QVL_RC_COMPANY}")
  set(QVL_RC_ICON "${icon}")
  set(QVL_RC_MANIFEST "${PROJECT_SOURCE_DIR}/src/app/resources/bootstrapper.manifest")

  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
  configure_file(${PROJECT_SOURCE_DIR}/src/app/resources/bootstrapper.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${icon};${QVL_RC_MANIFEST}")
endfunction()
