#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

// Pictures of widgets for a person to look at: PNG files in the build tree's screenshots
// folder (not in the test's sandbox, which is removed). Each returns whether the file was
// written.
bool SaveScreenshot(QWidget& widget, const QString& name);
bool SaveScreenshot(const QImage& image, const QString& name);
// Where the picture called name goes.
QString ScreenshotPath(const QString& name);

// A sheet of pictures side by side on background, each under its label, for one screenshot.
QImage Sheet(const QList<QImage>& pictures, const QStringList& labels, const QColor& background);
// image enlarged by factor, each pixel a block, for looking at small bitmaps.
QImage Magnified(const QImage& image, int factor);
