#pragma once

#include <QImage>
#include <QString>

class QWidget;

// Pictures of widgets for a person to look at: PNG files in the build tree's screenshots
// folder (not in the test's sandbox, which is removed). Each returns whether the file was
// written.
bool SaveScreenshot(QWidget& widget, const QString& name);
bool SaveScreenshot(const QImage& image, const QString& name);
// Where the picture called name goes.
QString ScreenshotPath(const QString& name);
