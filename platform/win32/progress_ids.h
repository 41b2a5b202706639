// Resource ids of the progress window, shared by the programs' resource
// scripts and the code. Plain defines: resource scripts include this too.
#pragma once

#define IDD_PROGRESS 103
#define IDC_PROGRESS_BAR 1003
#define IDC_PROGRESS_PERCENT 1004
#define IDC_PROGRESS_LABEL 1005
