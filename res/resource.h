/* Resource ids, shared by the C++ code and the resource scripts. Plain
   #defines only: the resource compiler reads this file too. */
#pragma once

/* Resource languages, as plain numbers: windres cannot parse a LANGUAGE
   statement whose operands come from the system headers' macros. */
#define VL_LANG_ENGLISH 0x09          /* LANG_ENGLISH */
#define VL_SUBLANG_ENGLISH 0x00       /* SUBLANG_NEUTRAL: every English locale */
#define VL_LANG_JAPANESE 0x11         /* LANG_JAPANESE */
#define VL_SUBLANG_JAPANESE 0x01      /* SUBLANG_JAPANESE_JAPAN */

/* Strings */
#define IDS_MAKER 129                 /* maker name, first part of the registry path */
#define IDS_PRODUCT 130               /* product name: caption and registry path */
#define IDS_ERR_LOAD_STRING 53632     /* args: system text, string id */
#define IDS_ERR_STRING_TOO_LONG 53633 /* args: string id */

/* Icon */
#define IDI_VELLORA 128               /* the program's icon */

/* Context menu: popup 0 holds the commands */
#define IDR_CONTEXT_MENU 201
#define ID_DIRECTION_LEFT 32780
#define ID_DIRECTION_RIGHT 32781
#define ID_DIRECTION_TOP 32782
#define ID_DIRECTION_BOTTOM 32783
#define ID_SETTING 32789
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665

/* Settings sheet: its caption, and its one page with the page's title */
#define IDS_SETTING_CAPTION 290
#define IDS_SETTING_PAGE1_TITLE 291
#define IDD_SETTING_PAGE1 291
#define IDC_EDGE 1002                 /* frame on the edges that do not reflect */
#define IDC_THIN_EDGE 1003            /* frame on the reflecting edge */
#define IDC_TRANSPARENT_EDGE 1004
#define IDC_REFRESH_RATE 1005
#define IDC_ENTIRE_REFRESH_RATE 1006
#define IDC_AROUND_CURSOR_DISTANCE 1007
#define IDS_NOT_A_NUMBER_TITLE 292    /* the tip on an entry that is not a number */
#define IDS_NOT_A_NUMBER_TEXT 293

/* About dialog */
#define IDD_ABOUT 53250
#define IDC_ABOUT_LINK 53268          /* the home-page address, opened when clicked */

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
