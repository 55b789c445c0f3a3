// Resource ids shared by lumaro.rc and the code.
#pragma once

#define IDD_ABOUTBOX            100
#define IDS_ABOUTBOX            101
#define IDD_LUMARO_DIALOG       102
#define IDP_SOCKETS_INIT_FAILED 103
#define IDR_MAINFRAME           128
#define IDR_TRAYMENU            130
#define IDD_USAGE_DIALOG        131
#define IDI_OK                  132
#define IDD_EXPIRY_WARNING      133
#define IDD_NOTICE_DIALOG       134
#define IDI_CLOSE               135
#define IDI_QUIT                136

#ifndef IDC_STATIC
#define IDC_STATIC              -1
#endif

#define IDC_USED_TEXT           1000
#define IDC_REMAIN_TEXT         1001
#define IDC_WARNING_TEXT        1001
#define IDC_COUNTDOWN_TEXT      1002
#define IDC_CONNECT_CAPTION     1002
#define IDC_CONNECT_TIME        1003
#define IDC_GRANTED_CAPTION     1004
#define IDC_GRANTED_TIME        1005
#define IDC_ELAPSED_CAPTION     1006
#define IDC_ELAPSED_TIME        1007
#define IDC_LEFT_CAPTION        1008
#define IDC_LEFT_TIME           1009
#define IDC_VERSION             1010
#define IDC_ABOUT_VERSION       1011
#define IDC_CHK_DAY             1012
#define IDC_NOTICE_TEXT         1013
#define IDC_NOTICE_LABEL        1014

#define ID_SHOW_CLOCK           32771
#define ID_SAVE_LOG             32773

#define IDM_ABOUTBOX            0x0010
