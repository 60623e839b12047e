#include "shell/CTollanApp.h"

#include "core/PalkMixer.h"
#include "resources/Strings.h"
#include "shell/CMainFrame.h"
#include "shell/EngineMessages.h"
#include "shell/TextFieldKeyGuard.h"

CTollanApp::CTollanApp(int& argc, char** argv) : application_(argc, argv) {
    QApplication::setApplicationName(QString::fromUtf8(Strings::AppTitle));
    QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    // Ties the window to the desktop's menu entry (zembla.desktop), for its icon in task bars.
    QGuiApplication::setDesktopFileName(QStringLiteral("zembla"));
    messages_ = std::make_unique<EngineMessages>();
    keyGuard_ = std::make_unique<TextFieldKeyGuard>();
    application_.installEventFilter(keyGuard_.get());
}

CTollanApp::~CTollanApp() {
    application_.removeEventFilter(keyGuard_.get());
}

bool CTollanApp::OpenDocumentFile(const QString& folder) {
    return frame_ && frame_->OpenDocument(folder);
}

int CTollanApp::Run() {
    frame_ = std::make_unique<CMainFrame>();
    frame_->show();
    frame_->setWindowTitle(QString::fromUtf8(Strings::AppTitle));
    frame_->repaint();
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        OpenDocumentFile(arguments.at(1));
    const int result = QApplication::exec();
    // The window closed and saved. The engine's threads may still ask a question: from now on
    // it takes its default answer, since no box will be shown.
    messages_->BeginQuitting();
    frame_.reset();
    try {
        Mixer->Terminate();
    } catch (...) {
        // What stopping failed on is in the log; the program ends all the same.
    }
    messages_.reset();
    return result;
}
