// The bytes of the built-in fonts and pictures, assembled straight into the
// program's read-only data. The build names each file through a QVL_EMBED_*
// definition; every blob gets a start and an end symbol (embedded_assets.cpp
// turns them into the tables). This file holds nothing but these blocks: the
// Windows assembler has no section stack, so each block returns to .text.

#if defined(_WIN32)
#define QVL_EMBED_ENTER ".section .rdata,\"dr\"\n"
#define QVL_EMBED_LEAVE ".text\n"
#else
#define QVL_EMBED_ENTER ".pushsection .rodata\n"
#define QVL_EMBED_LEAVE ".popsection\n"
#endif

#define QVL_EMBED(symbol, path)                 \
  __asm__(QVL_EMBED_ENTER                       \
          ".global " symbol "\n"                \
          ".balign 16\n"                        \
          symbol ":\n"                          \
          ".incbin \"" path "\"\n"              \
          ".global " symbol "_end\n"            \
          symbol "_end:\n"                      \
          ".byte 0\n"                           \
          QVL_EMBED_LEAVE)

QVL_EMBED("qvl_embedded_font_regular", QVL_EMBED_FONT_REGULAR);
QVL_EMBED("qvl_embedded_font_bold", QVL_EMBED_FONT_BOLD);
QVL_EMBED("qvl_embedded_font_light", QVL_EMBED_FONT_LIGHT);
QVL_EMBED("qvl_embedded_splash", QVL_EMBED_SPLASH);
QVL_EMBED("qvl_embedded_close", QVL_EMBED_CLOSE);
QVL_EMBED("qvl_embedded_logo_sheet", QVL_EMBED_LOGO_SHEET);
QVL_EMBED("qvl_embedded_logo_static", QVL_EMBED_LOGO_STATIC);
