// The window's swap set commands and the changes text they share with Show
// Changes: status's set for the selected version, saved to a file the user
// picks, or a set file applied.
#ifndef ORVANEL_APP_SWAP_SET_FILES_H_
#define ORVANEL_APP_SWAP_SET_FILES_H_

#include <string>

// The set status gives for the selected version, one line each; false when
// a DLL or a backup cannot be read (the text then says why).
bool ChangesText(std::string* text);

void OnSaveSwapSet();
void OnApplySwapSet();

#endif  // ORVANEL_APP_SWAP_SET_FILES_H_
