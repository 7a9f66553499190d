#pragma once

// Resource and control identifiers of the main dialog, its icon and the tray menu.
#define IDR_MAINFRAME 128
#define IDD_SUNDRASYNCHRONIZER_DIALOG 102
#define IDR_TRAYPOPUP 130

#define IDC_LOG_LIST 1000
#define IDC_SERVICE_STATE 1001
#define IDC_COMMUNICATION_STATE 1002
#define IDC_PAUSE 1003
#define IDC_HIDE 1004
#define IDC_SAVE_LOG 1009

#define ID_TRAYPOPUP_SHOW 32771
#define ID_TRAYPOPUP_EXIT 32772

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
