#pragma once

// The track dialogs on a row of strips, with a Plugins folder of the test's own: the Echo beside
// the program and the two probe plug-ins (plugins/ProbePlugin.cpp).

#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <filesystem>
#include <vector>

#include "views/FxSetupDialog.h"
#include "views/StripTestSupport.h"
#include "views/plugins/ProbeRecord.h"

class TrackDialogTest : public StripRowTest {
  protected:
    void SetUp() override {
        StripRowTest::SetUp();
        namespace fs = std::filesystem;
        const fs::path folder = PathIn("Plugins");
        fs::create_directories(folder);
        for (const fs::path& library :
             {fs::path(ECHO_PLUGIN), fs::path(DIALOG_PLUGIN_FOLDER) / "KnobProbe.so",
              fs::path(DIALOG_PLUGIN_FOLDER) / "SetupProbe.so"})
            fs::copy_file(library, folder / library.filename());
        Mixer->FreePlugins();
        Mixer->LoadPlugins(folder.string());
        owner = std::make_unique<QWidget>();
        owner->setWindowTitle(QStringLiteral("Main window"));
        owner->resize(300, 200);
        owner->show();
    }
    void TearDown() override {
        // The knobs dialogs go before the plug-ins whose tables they show.
        owner.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        StripRowTest::TearDown();
    }

    // What plug-in name heard.
    static const ProbeRecord& Record(const char* name) {
        return *reinterpret_cast<const ProbeRecord*>(
            Mixer->GetPlugin(name)(ProbeRecordCommand, 0, 0));
    }
    // The calls of command that plug-in name heard.
    static std::vector<ProbeCall> Calls(const char* name, unsigned long command) {
        std::vector<ProbeCall> calls;
        const ProbeRecord& record = Record(name);
        for (int i = 0; i < record.count; ++i)
            if (record.calls[i].command == command)
                calls.push_back(record.calls[i]);
        return calls;
    }

    static QListWidgetItem* Item(QListWidget* list, const QString& name) {
        const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.front();
    }
    // A click, or a double click, on the item name of list, as a hand does.
    static void Click(QListWidget* list, const QString& name) {
        QListWidgetItem* item = Item(list, name);
        ASSERT_NE(item, nullptr) << name.toStdString();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
    }
    static void DoubleClick(QListWidget* list, const QString& name) {
        QListWidgetItem* item = Item(list, name);
        ASSERT_NE(item, nullptr) << name.toStdString();
        const QPoint at = list->visualItemRect(item).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }

    // An FX Setup dialog for track i, shown, owned by the stand-in main window.
    std::unique_ptr<FxSetupDialog> ShowFxSetup(int i) {
        auto dialog = std::make_unique<FxSetupDialog>(Track(i), owner.get());
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }

    std::unique_ptr<QWidget> owner;
};
