// Resource numbers of the settings window's skin, shared by velmora.rc and the window.
#pragma once

#define IDB_SKIN_OPTION_OFF 201
#define IDB_SKIN_OPTION_ON 202
#define IDB_SKIN_CHECK_OFF 203
#define IDB_SKIN_CHECK_ON 204
#define IDB_SKIN_BUTTON_PRESSED 205
#define IDB_SKIN_BUTTON_RELEASED 206
#define IDB_SKIN_HEADER_95 207
#define IDB_SKIN_HEADER_109 208
#define IDB_SKIN_STRIPE 209
#define IDC_SKIN_CURSOR 210
