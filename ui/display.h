#pragma once

// Hover counters of the settings combo boxes: how many refresh ticks the
// pointer has rested on each box (0..19 while counting, 20 once the box has
// switched its highlight off). One counter per box, in the order the refresh
// visits the boxes.
constexpr int kHoverBoxCount = 39;
extern int hoverTicks[kHoverBoxCount];

// The counter of the combo box with this objectName, or -1 if it has none.
int hoverCounterIndex(const char *objectName);

// Resting ticks after which a box's highlight goes off.
constexpr int kHoverOffTicks = 20;

class MainWindowForm;

// The live values: the eight servo outputs with their bars and the TX
// voltage, and the receiver's telemetry boxes.
void showServos(MainWindowForm *ui);
void showReceiver(MainWindowForm *ui);

// The settings editors of one group, set quietly from the store, and the
// hover highlight of its combo boxes stepped by one tick.
enum class DisplayGroup {
    Rev,
    Epa,
    SubTrim,
    Fs,
    Delay,
    Aux,
    Dr,
    Parameter,
    Atti,
    Elev,
    Vtype,
    Prm,
    DrCure,
    ThCure
};
void showGroup(MainWindowForm *ui, DisplayGroup group);
