/* Resources that only the support tests carry: strings in one block of 16
   ids (40000-40015) apart from the program's own, and a menu. */
#pragma once

/* Texts of these lengths in the pattern "0123...xyz" repeated. */
#define IDS_TEST_LEN_0254 40000
#define IDS_TEST_LEN_0255 40001
#define IDS_TEST_LEN_0256 40002
#define IDS_TEST_LEN_2559 40003
#define IDS_TEST_LEN_2560 40004
#define IDS_TEST_ANGLE 40005    /* "<%ls>" */
#define IDS_TEST_PAIR 40006     /* "%ls|%ls" */
#define IDS_TEST_WIDE 40007     /* non-ASCII text around "%ls" */
#define IDS_TEST_TITLE 40008    /* a window text with blanks at both ends */
#define IDS_TEST_ABSENT 40015   /* no such string, in a block that exists */
#define IDS_TEST_NO_BLOCK 45000 /* no such string, nor any in its block */

/* A menu bar of two popups, "First" (&One) and "Second" (&Two). */
#define IDM_TEST_MENU 40100
#define IDM_TEST_ONE 40101
#define IDM_TEST_TWO 40102
#define IDM_TEST_ABSENT 40199 /* no such menu */
