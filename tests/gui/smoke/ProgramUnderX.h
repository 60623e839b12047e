#pragma once

#include <QImage>
#include <QProcessEnvironment>
#include <QString>

class TempDir;

// The pieces of starting the real program as a user does, on the X server the test runs on.

// The program's environment: its own HOME, settings and current folder, virtual cards.
QProcessEnvironment SandboxFor(const TempDir& dir);

// The id of the visible top-level window titled exactly "Zembla", waiting up to 30 s.
QString FindMainWindow();

// Ends the program through File > Exit, by its keys.
void ChooseExit(const QString& window);

bool IsOneColour(const QImage& image);
