#pragma once

#include <QMainWindow>
#include <map>
#include <vector>

class CTollanView;
class QAction;
class QLabel;
class QMenu;

// The main window: the menu bar, the tool bar, the status bar and the view. Every menu item,
// tool bar button and key is an action carrying its command id; the view routes it.
class CMainFrame : public QMainWindow {
    Q_OBJECT

  public:
    explicit CMainFrame(QWidget* parent = nullptr);

    CTollanView* View() const { return view_; }
    // The menu action of command id (null for none).
    QAction* MenuAction(int id) const;
    // The key action of command id (null for none): the one that carries its keys.
    QAction* KeyAction(int id) const;
    // Opens a song folder as a recent-song entry does; a folder that does not open leaves the
    // list.
    bool OpenDocument(const QString& folder);
    QMenu* FileMenu() const { return fileMenu_; }
    // The recent songs as the File menu lists them.
    std::vector<QAction*> RecentActions() const { return recentActions_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QAction* MakeAction(int id, const QString& text, const QString& prompt);
    void Command(int id);
    void RebuildRecentSongs();
    void BuildStatusBar();

    CTollanView* view_;
    std::map<int, QAction*> menuActions_;
    std::map<int, QAction*> keyActions_;
    QMenu* fileMenu_ = nullptr;
    QAction* recentPlace_ = nullptr;  // the separator after the recent songs
    std::vector<QAction*> recentActions_;
};
