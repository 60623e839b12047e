#pragma once

#include <QKeySequence>
#include <QList>
#include <vector>

// The main window's menu bar (menu 128) and the commands reached by keys alone (accelerator
// table 128), as data: the main frame builds its actions from it.
namespace MainMenu {

struct Item {
    int id;              // 0 for a separator
    const char* text;    // as shown, with its "&" mnemonic and any "\t" key text
    const char* prompt;  // the status-bar prompt
};

struct Menu {
    const char* title;
    std::vector<Item> items;
};

// The menus in order. The recent songs go where the item with id RecentFirst stands.
const std::vector<Menu>& Menus();

// The keys of command id (empty for none); the first is the one shown in a menu.
QList<QKeySequence> KeysOf(int id);

// Commands that have keys but no menu item.
const std::vector<Item>& KeyOnlyCommands();

// The commands of the tool bar in order, 0 for a separator.
const std::vector<int>& ToolBarButtons();

// The prompt of a recent song's item.
constexpr const char* RecentPrompt = "Open this document";

// The prompt of the idle status bar.
constexpr const char* IdlePrompt = "For Help, press F1";

}  // namespace MainMenu
