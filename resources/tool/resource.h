// Resource ids of the tool Parvex.exe. Plain defines: the resource script
// includes this too.
#pragma once

#define IDR_STUB 8               // the stub program, custom type "SPVX"
#define IDD_PARVEX 104           // the main dialog
#define IDI_PARVEX 128           // the program icon
#define IDS_PARVEX_PROGRESS 42000  // the progress window's default caption

#define IDC_FILENAME 1001
#define IDC_BROWSE_FILE 1005
#define IDC_BROWSE_FOLDER 1006
#define IDC_PIECE_SIZE 1024
#define IDC_SELFJOIN 1027
#define IDC_DESTINATION 1028
#define IDC_PAUSE 1029
#define IDC_CUT 40001
#define IDC_CONCATINATE 40002
