#pragma once

// The identifiers of the program's resources, shared by the resource script
// (qfmt.rc), which reads only macros, and the shell's code.

#define IDD_USAGE 100     // the usage dialog's template
#define IDD_PROGRESS 102  // the progress dialog's template

#define IDI_APP 128          // the program's icon
#define IDI_SOURCE_FILE 129  // icons that nothing shows
#define IDI_BACKUP_FILE 131

#define IDS_USAGE_MENU 101  // the text of the system-menu item that shows the usage

#define IDC_USAGE_TEXT 1001  // the usage dialog's text box
