#pragma once
// The main menu, the accelerator table and the tool bar of the main window.

#include <QKeySequence>
#include <vector>

struct SMenuItem {
    unsigned nID;     // 0: a separator
    const char* text; // with "&" mnemonics; the part after "\t" is the shortcut shown
};

struct SPopupMenu {
    const char* title;
    std::vector<SMenuItem> items;
};

struct SAccelerator {
    QKeySequence keys;
    unsigned nID;
};

struct SToolBarButton {
    unsigned nID; // 0: a separator
    int nImage;   // index into the tool bar strip; -1 for a separator
};

// The menus of the main window, left to right.
const std::vector<SPopupMenu>& MainMenu();
// The main accelerator table, all its entries.
const std::vector<SAccelerator>& MainAccelerators();
// The tool bar's entries, left to right.
const std::vector<SToolBarButton>& MainToolBar();
