// Resource and command identifiers of the program.
#pragma once

// Icons: the idle one first, so it is also the program's own icon.
#define IDI_IDLE 1
#define IDI_ACTIVE 2

// Commands of the tray's pop-up menu: the first entry shows the current layout; the
// five recent ones follow it, consecutive.
#define IDM_CURRENT 100
#define IDM_RECENT1 101
#define IDM_EDITOR 110
#define IDM_HELP 111
#define IDM_END 112
// The rule commands at the foot of "ファイル".
#define IDM_USE_FOR_WINDOW 120
#define IDM_RULES 121
