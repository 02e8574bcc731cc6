#pragma once

#include <QApplication>

// Lets the window follow the screen's scale: at 144 dpi it is 1.5 times and at
// 192 dpi twice its size at 96 dpi, fonts, pictures and plots with it.
// Fractional factors are kept as they are (1.25, 1.5, 1.75) rather than
// rounded to whole ones. At 96 dpi the factor is 1 and nothing changes.
// Must run before the application object is made.
inline void enableHighDpiScaling()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    // Icons are picked at the screen's pixel size (the @2x images).
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}
