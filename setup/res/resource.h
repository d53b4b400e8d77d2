// Resource ids of Setup: dialog templates, strings, pictures, cursors, the icon and the controls. Read by the
// resource script (setup.rc) and by the program's code; holds numbers only, no text the user sees.
#pragma once

// Dialog templates.
#define IDD_ABOUTBOX 100      // About box, English only
#define IDD_SETUP_DIALOG 102  // main window: install view and speaker view
#define IDD_RESTART 132       // restart prompt

// Strings (one string-table block: ids 96 to 111).
#define IDS_ABOUTBOX 101           // system-menu item that opens the About box
#define IDS_INTRO_INSTALL_NOW 102  // first three progress lines
#define IDS_INTRO_FEW_MINUTES 103
#define IDS_INTRO_PRESS_INSTALL 104
#define IDS_PHASE_STARTED 105  // progress lines of the install phases
#define IDS_PHASE_COPYING 106
#define IDS_PHASE_REFRESHING 107
#define IDS_PHASE_WAITING 108
#define IDS_PHASE_DONE 109

// Pictures (all 8 bits per pixel, in the English resource language only).
#define IDB_INSTALL_BACKGROUND 129  // 640 x 480, the install view
#define IDB_SPEAKER_BACKGROUND 131  // 640 x 480, the speaker view with its option and exit buttons
#define IDB_SPEAKERS_SIX 132        // 250 x 175 speaker layouts
#define IDB_SPEAKERS_FOUR 133
#define IDB_SPEAKERS_TWO 134
#define IDB_CHOICE_MARKER 136           // 13 x 14 red square
#define IDB_SIX_SPEAKER_BUTTON 137      // 134 x 34 six-speaker option button
#define IDB_INSTALL_BACKGROUND_ALT 138  // 640 x 480, the install view without the maker's controller

// Cursors (32 x 32, 16 colours).
#define IDC_HAND_CURSOR 130  // pointing hand, hot spot 12,1
#define IDC_BUSY_CURSOR 135  // arrow with hourglass, hot spot 6,7

// Icons (32 x 32, 16 colours).
#define IDR_MAINFRAME 128  // program icon

// Controls of the main window.
#define IDC_PROGRESS_LIST 1001
#define IDC_INSTALL 1002
#define IDC_EXIT 1003
#define IDC_EJECT_CD 1004
#define IDC_SPEAKER_PICTURE 1009
#define IDC_BACKGROUND 1010
#define IDC_CHOICE_MARKER 1011
#define IDC_SIX_SPEAKER_BUTTON 1012

// Controls of the restart prompt.
#define IDC_RESTART_NOW 1000
#define IDC_RESTART_LATER 1001

// System-menu command of the main window that opens the About box.
#define IDM_ABOUTBOX 16

// Controls without an id of their own.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
