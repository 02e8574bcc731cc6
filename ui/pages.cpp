#include "ui/mainwindowform.h"

// Placeholder: the settings pages are still empty frames.
void MainWindowForm::buildBasicPage() {}
void MainWindowForm::buildAdvance1Page() {}
void MainWindowForm::buildAdvance2Page() {}
void MainWindowForm::buildProgMixPage() {}
void MainWindowForm::buildSystemPage() {}
void MainWindowForm::applyPageTexts() {}
void MainWindowForm::setPageSelections() {}
