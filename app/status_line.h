// The status line below the Swap button: shows what the core says stands in
// the way, and keeps every change off tables that changed on disk.
#ifndef ORVANEL_APP_STATUS_LINE_H_
#define ORVANEL_APP_STATUS_LINE_H_

// Notes the tables as they are on disk right after loading.
void RememberLoadedTables();
// Reads the window's selection and the folder again and shows the line.
void ShowStatus();
// True when the tables on disk are still those loaded; else says so in a box
// and in the status line, and the caller changes nothing.
bool TablesStillAsLoaded();

#endif  // ORVANEL_APP_STATUS_LINE_H_
