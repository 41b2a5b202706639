// Resource ids of the self-joining stub _sSPVX.exe. Plain defines: the
// resource script includes this too.
#pragma once

#define IDD_SELFJOIN 102
#define IDS_SELFJOIN_PROGRESS 104
#define IDI_SELFJOIN 128
#define IDC_DESTINATION 1000
#define IDC_BROWSE_DESTINATION 1001
