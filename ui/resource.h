// Resource numbers of the dialog program: templates, controls, icon and
// system-menu command. The string ids are those of engine/messages.h.
#ifndef CNV_UI_RESOURCE_H_
#define CNV_UI_RESOURCE_H_

#define IDD_ABOUTBOX 100
#define IDD_CNVQDN570CONF_DIALOG 102
#define IDR_MAINFRAME 128

// Main dialog.
#define IDC_EDIT_INPUT 1000
#define IDC_EDIT_OUTPUT 1001
#define IDC_BUTTON_INPUT 1002
#define IDC_BUTTON_OUTPUT 1003
#define IDC_BUTTON_CONVERT 1004

// Version dialog.
#define IDC_STATIC_VERSION 1003

// System-menu command that opens the version dialog.
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif  // CNV_UI_RESOURCE_H_
