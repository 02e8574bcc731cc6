#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFont>
#include <QLineF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

#include "model/curvegeometry.h"
#include "model/txsettings.h"

// The printable settings sheet: every setting of the catalogue, grouped as the
// window groups them, and the throttle curve and the eight D/R curves drawn
// with the window's geometry. The sheet is laid out first as plain data (its
// text layer and its curves), then painted; the layout is what the tests read.

// Everything the sheet lays out fits this area (in points), so it prints on
// A4 and on Letter alike.
constexpr double kSheetWidth = 527;  // 186 mm
constexpr double kSheetHeight = 723; // 255 mm

struct SheetHeading {
    QString source; // the file name or the port
    bool fromPort = false;
    int txVersion = -1; // the transmitter's version, when read from a port
    QDateTime printed;
    QString program; // "txctl 4.6.2"
};

struct SheetText {
    enum Style { Title, Line, Small, PageTitle, GroupTitle, Header, Caption, Value, Fixed } style;
    QRectF rect;
    QString text;
    int align;   // Qt::Alignment
    QString key; // the setting's key for a value, else empty
    // Its font's size as a share of the style's: below 1 where the text was
    // made smaller to fit its rect (and then shortened with "…" if even that
    // was not enough).
    double scale = 1;
};

struct SheetCurve {
    enum Kind { Throttle, DualRate } kind;
    QRectF rect; // where the plot goes; the widget's square is scaled into it
    int size;    // the widget's size the geometry is computed for (300 or 280)
    QString title;
    std::array<QPoint, 7> throttle{}; // Throttle: the seven corners
    DrCurve dualRate{};               // DualRate: the two Bezier halves
};

struct SheetPage {
    std::vector<SheetText> texts;
    std::vector<QRectF> boxes;  // group frames
    std::vector<QRectF> shades; // light background bands (table rows)
    std::vector<QLineF> rules;
    std::vector<SheetCurve> curves;
};

struct SheetDocument {
    std::vector<SheetPage> pages;
};

// Lays out the sheet of s.
SheetDocument layoutSheet(const TxSettingsRecord &s, const SheetHeading &heading);

// The font a text of that style is painted in (before its scale).
QFont sheetFont(SheetText::Style style);

// Makes every text fit its rect: a little smaller first, then shortened.
void fitSheetTexts(SheetDocument &doc);

// Paints the sheet into a PDF of the given page size ("A4" or "Letter").
// Needs a QGuiApplication.
QByteArray renderSheetPdf(const SheetDocument &doc, const QString &paper, const QString &title);
