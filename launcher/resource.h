// Resource identifiers shared by the program and Kestrun.rc.
#pragma once

#define IDS_APP_TITLE 103
#define IDD_ABOUTBOX 103
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDI_KESTRUN 107
#define IDI_SMALL 108
#define IDC_KESTRUN 109

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
