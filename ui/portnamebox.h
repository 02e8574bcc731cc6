#pragma once

#include <QComboBox>
#include <functional>

// The serial-port list of the toolbar. It is a plain QComboBox to everything
// that looks at it (class name, style sheet, signals); it only tells its owner
// before its list opens, however it is opened (click, F4, Alt+Down, a screen
// reader's action), so that a port plugged in after the start can be listed.
class PortNameBox : public QComboBox
{
public:
    using QComboBox::QComboBox;

    std::function<void()> beforePopup;

    void showPopup() override
    {
        if (beforePopup)
            beforePopup();
        QComboBox::showPopup();
    }
};
