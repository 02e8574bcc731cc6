#include "ui/styles.h"

// Colours are written as Qt's style-sheet parser takes them without a
// warning: rgb() with three values, rgba() with four.

namespace Styles {

QFont arialBold()
{
    QFont f;
    f.setFamily("Arial");
    f.setBold(true);
    f.setItalic(false);
    f.setWeight(75);
    return f;
}

namespace {

QString toolbarButtonWith(const char *pressedBg, const char *pressedColor)
{
    return QString("QToolButton{ background-color:rgba(70,70,70,70); border-style:outset; border-width:4px; "
                   "border-radius:10px; border-color:rgba(0,0,0,0); font:bold 20px; "
                   "color:rgba(255,255,255,255); padding:0px; }\n"
                   "QToolButton:pressed{ background-color:%1; border-color:rgba(255,255,255,30); "
                   "border-style:inset; color:%2; }\n"
                   "QToolButton:hover { background-color:rgba(100,255,100,100); "
                   "border-color:rgba(255,255,255,255); color:rgba(255,255,255,255); }")
        .arg(pressedBg, pressedColor);
}

QString lineEditStyle(const char *bg, int px, const char *color)
{
    return QString(
               "QLineEdit{ background-color: %1; border-style:outset; border-width:4px; border-radius:4px; "
               "border-color:rgba(0,0,0,0); font:bold %2px; color:%3; padding:0px; }")
        .arg(bg)
        .arg(px)
        .arg(color);
}

QString barStyle(const char *trough, const char *chunk)
{
    return QString("QProgressBar:vertical{ border-radius:0px; background-color:%1; color: transparent; "
                   "text-align:center; }\n"
                   "QProgressBar::chunk:vertical{ background-color:%2; margin:0px; height:1px; }")
        .arg(trough, chunk);
}

const char *kWhite = "rgba(255,255,255,255)";
const char *kBlue = "rgba(0,0,255,255)";

} // namespace

QString toolbarButton()
{
    return toolbarButtonWith("rgba(100,255,100,200)", "rgba(0,0,0,100)");
}

QString toolbarButtonWarning()
{
    return toolbarButtonWith("rgba(255,255,0,255)", "rgba(255,0,0,100)");
}

QString portBox()
{
    return "background-color: rgb(255, 255, 255);\nfont: 75 16pt \"Arial\";";
}

QString lamp()
{
    return "QToolButton{ background-color:rgba(70,70,70,70); border-style:outset; border-width:0px; "
           "border-radius:0px; border-color:rgba(0,0,0,0); font:bold 16px; color:rgba(255,255,255,255); "
           "padding:0px; }";
}

QString pushButton(int px)
{
    return QString(
               "QPushButton{ background-color:rgba(100,100,100,100); border-style:outset; border-width:4px; "
               "border-radius:10px; border-color:rgba(0,0,0,0); font:bold %1px; "
               "color:rgba(255,255,255,255); padding:0px; }\n"
               "QPushButton:pressed{ background-color:rgba(100,255,100,200); "
               "border-color:rgba(255,255,255,30); border-style:inset; color:rgba(0,0,0,100); }\n"
               "QPushButton:hover { background-color:rgba(100,255,100,100); "
               "border-color:rgba(255,255,255,255); color:rgba(255,255,255,255); }")
        .arg(px);
}

QString statusLabel()
{
    return lineEditStyle("rgb(70, 70, 70)", 14, "rgba(255,255,255,255)");
}

QString statusValue()
{
    return lineEditStyle("rgb(70, 70, 70)", 14, "rgba(255,255,0,255)");
}

QString rowLabel(int px)
{
    return lineEditStyle("rgb(70, 70, 70)", px, "rgba(255,255,255,255)");
}

QString editor(const char *className, int px)
{
    return QString("%1{ background-color: rgb(85, 170, 255); border-style:outset; border-width:4px; "
                   "border-radius:4px; border-color:rgba(0,0,0,0); font:bold %2px; "
                   "color:rgba(255,255,255,255); padding:0px; }\n"
                   "%1:hover { background-color:rgba(100,255,100,100); border-color:rgba(255,255,255,255); "
                   "color:rgba(255,255,255,255); }")
        .arg(className)
        .arg(px);
}

QString groupTitle()
{
    return "QGroupBox{ font:bold 16px; color:rgb(255,170,0); }";
}

QString servoValue()
{
    return lineEditStyle("rgb(85, 170, 255)", 26, "rgba(255,255,255,255)");
}

QString servoLabel()
{
    return lineEditStyle("rgb(0, 0, 0)", 26, "rgba(255,255,0,255)");
}

QString upperBar()
{
    return barStyle(kWhite, kBlue);
}

QString lowerBar()
{
    return barStyle(kBlue, kWhite);
}

QString tabWidget()
{
    return "QTabWidget{ background-color: rgb(70, 70, 70); border-style:outset; border-width:4px; "
           "border-radius:4px; border-color:rgba(0,0,0,0); font:bold 16px; color:rgba(255,255,255,255); "
           "padding:0px; }\n"
           "QTabWidget::pane{ border:10px; }\n"
           "QTabWidget::tab-bar{ alignment:left; }\n"
           "QTabBar::tab{ border: none; border-top-left-radius: 10px; border-top-right-radius: 10px; "
           "color: white; background: rgb(80,80,80); height: 50px; min-width: 140px; }\n"
           "QTabBar::tab:hover{ background:rgba(0, 0, 0, 0); }\n"
           "QTabBar::tab:selected{ border-color: white; background:red; color:rgb(0, 255, 255); }";
}

QString redGradient()
{
    return "background-color: qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, stop:0 rgba(255, 0, 0, "
           "255), "
           "stop:1 rgba(255, 255, 255, 255));";
}

QString redGradientVariant()
{
    return "background-color: qlineargradient(spread:pad, x1:0, y1:0, x2:0.006, y2:1, stop:0 rgba(255, 19, "
           "19, "
           "255), stop:1 rgba(255, 255, 255, 255));";
}

QString plotBackground()
{
    return "background-color: rgb(255, 255, 255);";
}

QString pageFrame()
{
    return "background-color: rgb(50, 50, 50);";
}

} // namespace Styles
