#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

#include "support/waiting.h"

class MainWindow;
class PtyPair;

// Puts the store and the live values back to their start values.
void resetStore();

// Closes every modal message box that appears while it lives and records its
// title and text, so tests can check what the user was told.
class MessageBoxCatcher : public QObject
{
    Q_OBJECT
public:
    MessageBoxCatcher();
    ~MessageBoxCatcher() override;
    QList<QPair<QString, QString>> boxes; // (title, text) in the order shown
    int count() const { return boxes.size(); }
    QString lastText() const { return boxes.isEmpty() ? QString() : boxes.last().second; }

private:
    void poll();
    QTimer timer;
};

// Collects what the tool writes to the master side of pty while the event
// loop runs, for ms milliseconds or until `done` returns true.
QByteArray readWhile(PtyPair &pty, int ms, const std::function<bool(const QByteArray &)> &done = nullptr);

// The port list the window sees: exactly these names (instead of the system's).
void setTestPorts(const QStringList &ports);

// Clicks the open/close button of the window (whatever it reads).
void clickOpen(MainWindow &w);

// Answers the next file dialog that opens with `path`, typed into its name
// field as a user would (selectFile() is ignored while that field has the
// focus), then accepted from the dialog's own loop.
void answerNextFileDialog(const QString &path);

// Every message the Qt log receives while it lives.
class LogCatcher
{
public:
    LogCatcher();
    ~LogCatcher();
    QStringList messages() const;
    bool contains(const QString &part) const;
};
