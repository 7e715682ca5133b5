// Resource ids shared by the resource script and the window program.
#ifndef ORVANEL_RESOURCES_RESOURCE_H_
#define ORVANEL_RESOURCES_RESOURCE_H_

// Menus
#define IDR_MAIN_MENU 101

// Menu commands
#define IDM_SET_FOLDER 40002
#define IDM_EXIT 40003
#define IDM_ABOUT 40004
#define IDM_SHOW_CHANGES 40005
#define IDM_RESTORE 40006
#define IDM_SAVE_SET 40007
#define IDM_APPLY_SET 40008

#endif  // ORVANEL_RESOURCES_RESOURCE_H_
