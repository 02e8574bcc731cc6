#pragma once

#include <QFont>
#include <QString>

// The style families of the main window. Each widget gets one of these as its
// style sheet when the form is built.
namespace Styles {

// The font set on some widgets besides their style sheets: Arial, bold
// (weight 75), not italic.
QFont arialBold();

QString toolbarButton();
QString toolbarButtonWarning();
QString portBox();
QString lamp();
QString pushButton(int px); // 22 for openButton, 16 for pushButton_Reset2
QString statusLabel();
QString statusValue();
QString rowLabel(int px);                      // 20 normally, 22 or 16 for the exceptions
QString editor(const char *className, int px); // QSpinBox, QComboBox, QDoubleSpinBox; 20 or 22
QString groupTitle();
QString servoValue();
QString servoLabel();
QString upperBar();
QString lowerBar();
QString tabWidget();
QString redGradient();
QString redGradientVariant();
QString plotBackground();
QString pageFrame();

} // namespace Styles
