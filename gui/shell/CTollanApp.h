#pragma once

#include <QApplication>
#include <QString>
#include <memory>

class CMainFrame;
class EngineMessages;
class TextFieldKeyGuard;

// The program: its application object, the engine's message boxes, the main window, and the
// engine's shutdown once the window closed.
class CTollanApp {
  public:
    CTollanApp(int& argc, char** argv);
    ~CTollanApp();

    // Opens the main window (and the song folder given on the command line, if any), runs the
    // program until the window closes, and shuts the engine down. The program's exit code.
    int Run();

    // The open-document step of a recent song or the command line: whether it opened.
    bool OpenDocumentFile(const QString& folder);

    QApplication& Application() { return application_; }
    CMainFrame* Frame() const { return frame_.get(); }

  private:
    QApplication application_;
    std::unique_ptr<EngineMessages> messages_;
    std::unique_ptr<TextFieldKeyGuard> keyGuard_;
    std::unique_ptr<CMainFrame> frame_;
};
