# The built-in fonts and pictures, assembled into qvl_ui_assets by embedded_data.cpp.
# Fonts: Open Sans Regular, Bold and Light from Debian's fonts-open-sans, taken
# from the installed package at build time. Pictures: assets/ of this
# repository, made by tools/assets/generate_assets.py.
set(QVL_OPEN_SANS_DIR /usr/share/fonts/truetype/open-sans CACHE PATH
    "Folder of the Open Sans TrueType files that are built into the program")

set(qvl_embedded_files
  FONT_REGULAR ${QVL_OPEN_SANS_DIR}/OpenSans-Regular.ttf
  FONT_BOLD ${QVL_OPEN_SANS_DIR}/OpenSans-Bold.ttf
  FONT_LIGHT ${QVL_OPEN_SANS_DIR}/OpenSans-Light.ttf
  SPLASH ${PROJECT_SOURCE_DIR}/assets/splash.png
  CLOSE ${PROJECT_SOURCE_DIR}/assets/close.png
  LOGO_SHEET ${PROJECT_SOURCE_DIR}/assets/logo_sheet.png
  LOGO_STATIC ${PROJECT_SOURCE_DIR}/assets/logo_static.png
)

set(qvl_embedded_definitions)
set(qvl_embedded_paths)
while(qvl_embedded_files)
  list(POP_FRONT qvl_embedded_files name path)
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "Missing ${path}: install Debian's fonts-open-sans (scripts/install-packages.sh) "
                        "or regenerate the pictures (tools/assets/generate_assets.py).")
  endif()
  list(APPEND qvl_embedded_definitions "QVL_EMBED_${name}=\"${path}\"")
  list(APPEND qvl_embedded_paths ${path})
endwhile()

target_sources(qvl_ui_assets PRIVATE embedded_assets.cpp embedded_data.cpp)
# The assembler reads the files itself; the compiler's dependency scan does
# not see them.
set_source_files_properties(embedded_data.cpp PROPERTIES
  COMPILE_DEFINITIONS "${qvl_embedded_definitions}"
  OBJECT_DEPENDS "${qvl_embedded_paths}")
