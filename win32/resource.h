// Resource and command identifiers of the program.
#pragma once

// Icons: the idle one first, so it is also the program's own icon.
#define IDI_IDLE 1
#define IDI_ACTIVE 2

// Commands of the tray's pop-up menu: File0 shows the current layout; File1..File5 are
// consecutive.
#define IDM_FILE0 100
#define IDM_FILE1 101
#define IDM_EDITOR 110
#define IDM_HELP 111
#define IDM_END 112
