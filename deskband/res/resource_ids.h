/* Resource ids of the band's module. Shared by the resource script (rc.exe and
   windres), the painting code and the tests, so it stays plain C preprocessor. */
#ifndef VANTREL_RESOURCE_IDS_H
#define VANTREL_RESOURCE_IDS_H

#define IDR_MANIFEST 2
#define IDR_VERSION 1

/* Each style owns four consecutive ids from IDB_ICON_FIRST + 4 * (style - 1):
   normal 32-bit, hot 32-bit, normal colour-keyed, hot colour-keyed. Style 3
   alone holds its four in reverse order. */
#define IDB_ICON_FIRST 109
#define IDB_ICON_LAST 140
#define ICON_STYLE_COUNT 8

#endif
