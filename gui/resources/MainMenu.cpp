#include "resources/MainMenu.h"

#include <map>

#include "resources/CommandIds.h"

namespace MainMenu {

namespace {

using namespace CommandIds;

// The status prompts of commands the toolkit's framework would have prompted for.
constexpr const char* NewPrompt = "Create a new document";
constexpr const char* OpenPrompt = "Open an existing document";
constexpr const char* SavePrompt = "Save the active document";
constexpr const char* ExitPrompt = "Quit the application; prompts to save documents";
constexpr const char* ToolBarPrompt = "Show or hide the toolbar";
constexpr const char* StatusBarPrompt = "Show or hide the status bar";
constexpr const char* HelpTopicsPrompt = "List Help topics";
constexpr const char* AboutPrompt = "Display program information, version number and copyright";

}  // namespace

const std::vector<Menu>& Menus() {
    static const std::vector<Menu> menus = {
        {"&File",
         {{New, "&New\tCtrl+N", NewPrompt},
          {Open, "&Open...\tCtrl+O", OpenPrompt},
          {Save, "&Save\tCtrl+S", SavePrompt},
          {0, nullptr, nullptr},
          {RecentFirst, "Recent File", RecentPrompt},
          {0, nullptr, nullptr},
          {Exit, "E&xit", ExitPrompt}}},
        {"Mixing", {{BuildMix, "Build mix", ""}}},
        {"FileView",
         {{ZoomIn, "Zoom in            Ctrl +", ""}, {ZoomOut, "Zoom out          Ctrl -", ""}}},
        {"PlayControl", {{Stop, "Stop    ESC", ""}, {PlayStop, "Play/Stop    SPACE", ""}}},
        {"Settings",
         {{Settings, "&Settings\t(Alt +S)", ""},
          {SaveSettings, "SaveSettings", ""},
          {ShowWaveform, "Show waveform", "Toggles show-waveform in multitrack view"}}},
        {"Bars",
         {{ToolBar, "&Toolbar", ToolBarPrompt}, {StatusBar, "&Status Bar", StatusBarPrompt}}},
        {"&Help",
         {{HelpTopics, "&Help Topics", HelpTopicsPrompt},
          {0, nullptr, nullptr},
          {About, "&About Zembla...", AboutPrompt}}},
    };
    return menus;
}

const std::vector<Item>& KeyOnlyCommands() {
    static const std::vector<Item> items = [] {
        std::vector<Item> list = {
            {Forward100, "", ""},  {Back100, "", ""}, {Forward5000, "", ""},  {Back5000, "", ""},
            {Home, "", ""},        {End, "", ""},     {RecordToggle, "", ""}, {Help, "", ""},
            {ContextHelp, "", ""}, {57634, "", ""},   {57635, "", ""},        {57637, "", ""},
            {57643, "", ""},       {57680, "", ""},   {57681, "", ""},        {32802, "", ""},
        };
        for (int id = MuteFirst; id <= MuteLast; ++id)
            list.push_back({id, "", ""});
        return list;
    }();
    return items;
}

QList<QKeySequence> KeysOf(int id) {
    static const std::map<int, QList<QKeySequence>> keys = [] {
        std::map<int, QList<QKeySequence>> table = {
            {New, {QKeySequence(Qt::CTRL | Qt::Key_N)}},
            {Open, {QKeySequence(Qt::CTRL | Qt::Key_O)}},
            {Save, {QKeySequence(Qt::CTRL | Qt::Key_S)}},
            // The keypad's plus and minus, and the main keyboard's for keyboards without one.
            {ZoomIn,
             {QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Plus)),
              QKeySequence(Qt::CTRL | Qt::Key_Plus)}},
            {ZoomOut,
             {QKeySequence(
                  QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Minus)),
              QKeySequence(Qt::CTRL | Qt::Key_Minus)}},
            {Stop, {QKeySequence(Qt::Key_Escape)}},
            {PlayStop, {QKeySequence(Qt::Key_Space)}},
            {Settings, {QKeySequence(Qt::ALT | Qt::Key_S)}},
            {Forward100, {QKeySequence(Qt::Key_Down)}},
            {Back100, {QKeySequence(Qt::Key_Up)}},
            {Forward5000, {QKeySequence(Qt::Key_PageDown)}},
            {Back5000, {QKeySequence(Qt::Key_PageUp)}},
            {Home, {QKeySequence(Qt::Key_Home)}},
            {End, {QKeySequence(Qt::Key_End)}},
            {RecordToggle, {QKeySequence(Qt::Key_R)}},
            {Help, {QKeySequence(Qt::Key_F1)}},
            {ContextHelp, {QKeySequence(Qt::SHIFT | Qt::Key_F1)}},
            // Clipboard, undo and pane commands: keys without a handler.
            {57634, {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)}},
            {57635, {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)}},
            {57637, {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)}},
            {57643,
             {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)}},
            {57680, {QKeySequence(Qt::Key_F6)}},
            {57681, {QKeySequence(Qt::SHIFT | Qt::Key_F6)}},
            {32802, {QKeySequence(Qt::ALT | Qt::Key_Left)}},
        };
        for (int digit = 0; digit <= 9; ++digit)
            table[MuteFirst + digit] = {QKeySequence(Qt::CTRL | (Qt::Key_0 + digit))};
        return table;
    }();
    const auto found = keys.find(id);
    return found == keys.end() ? QList<QKeySequence>{} : found->second;
}

const std::vector<int>& ToolBarButtons() {
    static const std::vector<int> buttons = {New, Open, Save, 0, 57635, 57634, 57637, 0, About};
    return buttons;
}

}  // namespace MainMenu
