#include "shell/CMainFrame.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "resources/CommandIds.h"
#include "resources/MainMenu.h"
#include "resources/Pictures.h"
#include "resources/Strings.h"
#include "shell/CTollanView.h"
#include "shell/RecentSongs.h"

namespace {

// The tool tips of the tool bar's buttons.
QString ToolTipOf(int id) {
    switch (id) {
        case CommandIds::New:
            return QStringLiteral("New");
        case CommandIds::Open:
            return QStringLiteral("Open");
        case CommandIds::Save:
            return QStringLiteral("Save");
        case 57635:
            return QStringLiteral("Cut");
        case 57634:
            return QStringLiteral("Copy");
        case 57637:
            return QStringLiteral("Paste");
        case CommandIds::About:
            return QStringLiteral("About");
    }
    return {};
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowTitle(QString::fromUtf8(Strings::AppTitle));
    view_ = new CTollanView(this);
    setCentralWidget(view_);
    // Room for the 16 strips and the transport panel.
    resize(1000, 680);
    view_->resize(1000, 600);
    view_->OnInitialUpdate();
    view_->setFocus();

    for (const MainMenu::Menu& menu : MainMenu::Menus()) {
        QMenu* popup = menuBar()->addMenu(QString::fromUtf8(menu.title));
        if (menu.items.front().id == CommandIds::New)
            fileMenu_ = popup;
        for (const MainMenu::Item& item : menu.items) {
            if (item.id == 0) {
                QAction* separator = popup->addSeparator();
                if (recentPlace_ == nullptr && !recentActions_.empty())
                    recentPlace_ = separator;
                continue;
            }
            if (item.id == CommandIds::RecentFirst) {
                // A stand-in until the list is built.
                recentActions_.push_back(popup->addAction(QString::fromUtf8(item.text)));
                continue;
            }
            QAction* action =
                MakeAction(item.id, QString::fromUtf8(item.text), QString::fromUtf8(item.prompt));
            popup->addAction(action);
            menuActions_[item.id] = action;
        }
    }
    menuActions_[CommandIds::ShowWaveform]->setCheckable(true);
    connect(view_, &CTollanView::ShowWaveformChanged, menuActions_[CommandIds::ShowWaveform],
            &QAction::setChecked);
    connect(view_, &CTollanView::RecentSongsChanged, this, &CMainFrame::RebuildRecentSongs);
    RebuildRecentSongs();

    // Keys: actions of their own, so that the menus show their texts as they are.
    std::vector<int> keyed;
    for (const MainMenu::Menu& menu : MainMenu::Menus())
        for (const MainMenu::Item& item : menu.items)
            keyed.push_back(item.id);
    for (const MainMenu::Item& item : MainMenu::KeyOnlyCommands())
        keyed.push_back(item.id);
    for (int id : keyed) {
        const QList<QKeySequence> keys = MainMenu::KeysOf(id);
        if (keys.isEmpty())
            continue;
        QAction* action = MakeAction(id, QString(), QString());
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        keyActions_[id] = action;
    }

    QToolBar* bar = addToolBar(QStringLiteral("Standard"));
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setIconSize(QSize(16, 15));
    bar->setMovable(true);
    bar->setAllowedAreas(Qt::AllToolBarAreas);
    for (int id : MainMenu::ToolBarButtons()) {
        if (id == 0) {
            bar->addSeparator();
            continue;
        }
        QAction* action = MakeAction(id, ToolTipOf(id), QString());
        if (auto menuAction = menuActions_.find(id); menuAction != menuActions_.end())
            action->setStatusTip(menuAction->second->statusTip());
        action->setIcon(Pictures::ToolIcon(id));
        action->setToolTip(ToolTipOf(id));
        bar->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, bar);
    QAction* toolBarItem = menuActions_[CommandIds::ToolBar];
    QAction* statusBarItem = menuActions_[CommandIds::StatusBar];
    toolBarItem->setCheckable(true);
    toolBarItem->setChecked(true);
    statusBarItem->setCheckable(true);
    statusBarItem->setChecked(true);
    connect(bar, &QToolBar::visibilityChanged, toolBarItem, &QAction::setChecked);
    BuildStatusBar();
}

void CMainFrame::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    const QString idle = QString::fromUtf8(MainMenu::IdlePrompt);
    // Between prompts the message pane shows the idle text.
    connect(bar, &QStatusBar::messageChanged, bar, [bar, idle](const QString& message) {
        if (message.isEmpty())
            bar->showMessage(idle);
    });
    bar->showMessage(idle);
    // The lock-key panes. The desktop does not tell a program the lock keys' state, so they
    // stay greyed.
    for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
        auto* pane = new QLabel(QString::fromLatin1(indicator), bar);
        pane->setObjectName(QString::fromLatin1(indicator));
        pane->setEnabled(false);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->addPermanentWidget(pane);
    }
}

QAction* CMainFrame::MakeAction(int id, const QString& text, const QString& prompt) {
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setStatusTip(prompt);
    const bool framework =
        id == CommandIds::Exit || id == CommandIds::ToolBar || id == CommandIds::StatusBar;
    // A command no window handles shows disabled, and its keys do nothing.
    action->setEnabled(framework || view_->IsCommandHandled(id));
    connect(action, &QAction::triggered, this, [this, id] { Command(id); });
    return action;
}

QAction* CMainFrame::MenuAction(int id) const {
    const auto found = menuActions_.find(id);
    return found == menuActions_.end() ? nullptr : found->second;
}

QAction* CMainFrame::KeyAction(int id) const {
    const auto found = keyActions_.find(id);
    return found == keyActions_.end() ? nullptr : found->second;
}

void CMainFrame::Command(int id) {
    switch (id) {
        case CommandIds::Exit:
            close();
            return;
        case CommandIds::ToolBar:
            if (auto* bar = findChild<QToolBar*>(QStringLiteral("ToolBar")))
                bar->setVisible(!bar->isVisible());
            return;
        case CommandIds::StatusBar:
            statusBar()->setVisible(!statusBar()->isVisible());
            menuActions_[CommandIds::StatusBar]->setChecked(statusBar()->isVisible());
            return;
    }
    view_->RouteCommand(id);
}

bool CMainFrame::OpenDocument(const QString& folder) {
    if (view_->OpenSong(folder))
        return true;
    RecentSongs::Remove(folder);
    RebuildRecentSongs();
    return false;
}

void CMainFrame::RebuildRecentSongs() {
    for (QAction* action : recentActions_) {
        fileMenu_->removeAction(action);
        action->deleteLater();
    }
    recentActions_.clear();
    const QStringList songs = RecentSongs::List();
    for (int i = 0; i < songs.size(); ++i) {
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(songs[i]), this);
        action->setData(CommandIds::RecentFirst + i);
        action->setStatusTip(QString::fromUtf8(MainMenu::RecentPrompt));
        const QString folder = songs[i];
        connect(action, &QAction::triggered, this, [this, folder] { OpenDocument(folder); });
        recentActions_.push_back(action);
    }
    if (songs.isEmpty()) {
        auto* none = new QAction(QStringLiteral("Recent File"), this);
        none->setEnabled(false);
        recentActions_.push_back(none);
    }
    for (QAction* action : recentActions_)
        fileMenu_->insertAction(recentPlace_, action);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    view_->Shutdown();
    event->accept();
}
