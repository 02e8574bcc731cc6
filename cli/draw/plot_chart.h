#pragma once

// The chart of txctl plot from the inside: its measures, and what its
// layout (cli/plot_layout.cpp) and its painting (cli/plot_paint.cpp) share.

#include <QByteArray>
#include <QPageLayout>
#include <QSizeF>
#include <QString>
#include <vector>

// The chart's measures in canvas units (pixels of the PNG).
constexpr double kLeft = 92; // room for the value labels
constexpr double kRight = 28;
constexpr double kHeading = 78; // file name and what is known of the recording
constexpr double kBand = 28;    // a panel's title and figures above its box
constexpr double kSpacing = 14; // below each panel
constexpr double kAxis = 26;    // time labels
constexpr double kLegend = 30;
constexpr double kBottom = 8;
constexpr double kRasterUnit = 90; // a channel's box height; telemetry boxes are twice that
constexpr int kRasterWidth = 1600;
constexpr int kPdfWidth = 1100;        // drawn smaller, so the text prints at about 10 pt
constexpr double kPdfMarginPt = 28.35; // 10 mm

// The page of a PDF chart: landscape for the telemetry alone, portrait with
// the eight outputs too; and its area inside the margins, in points.
QPageLayout::Orientation plotOrientation(const std::vector<int> &panels);
QSizeF plotPdfPrintable(const std::vector<int> &panels);

// A panel's title ("TX volts", "CH3 output") and the unit after its
// figures (" V", " dBm", or none).
QString plotTitle(int series);
QString plotUnit(int series);
// A step of 1, 2, 2.5 or 5 times a power of ten, near span / parts.
double plotNiceStep(double span, int parts);
// Time ticks: the shortest step that leaves at most `most` of them.
double plotTimeStep(double span, int most);
