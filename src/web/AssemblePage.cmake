# Puts the page's style and script into its HTML, so the page source stays
# three readable files and the page one file. Run with cmake -P.
file(READ ${TEMPLATE} page)
file(READ ${CSS} css)
file(READ ${JS} js)
string(REPLACE "/*PAGE_CSS*/\n" "${css}" page "${page}")
string(REPLACE "/*PAGE_JS*/\n" "${js}" page "${page}")
file(WRITE ${OUT}.tmp "${page}")
file(RENAME ${OUT}.tmp ${OUT})
