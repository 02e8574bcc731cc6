#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>
#include <QtDebug>

#include "app/mainwindow.h"
#include "file/settingsfile.h"
#include "link/lines.h"
#include "model/txsettings.h"
#include "ui/mainwindowform.h"

namespace {

const char kFileError[] = "Cannot read the specified file!";

} // namespace

void MainWindow::on_toolButton_Save_clicked()
{
    ui->toolButton_Save->setEnabled(false);
    waitMs(kButtonLockMs);
    ui->toolButton_Save->setEnabled(true);
    if (windowClosed)
        return;

    const QString fileName =
        QFileDialog::getSaveFileName(this, "SAVE", "./", "file (*.txt *.dat);;allfile (*.*)");
    qDebug() << fileName;
    if (fileName.isEmpty())
        return;

    // A pipe or a device is no place for a settings file (and the save file
    // would put a plain file in its place): the same error as a file that
    // cannot be written.
    if (isSpecialFile(fileName)) {
        QMessageBox::critical(this, "ERROR", kFileError, QMessageBox::Ok);
        return;
    }
    // The new content goes to a temporary file beside the chosen one and
    // replaces it only once all of it is on disk: a crash, a full disk or a
    // pulled stick during the pauses below leaves the previous file as it was.
    QSaveFile file(fileName);
    // In a folder the user may not write to, the temporary file cannot be
    // made; a file there that the user may write is then written in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) {
        QMessageBox::critical(this, "ERROR", kFileError, QMessageBox::Ok);
        return;
    }

    // Builds the three lines from the store as it is now and sends them when
    // the port is open; the file gets exactly these lines.
    quint64 run = 0;
    const SettingsLines lines = sendSettings(false, &run);

    // A SAVE to the same file started during the pauses above has put newer
    // settings there already: they stay. The file is known by what the save
    // writes, the target of a link, so two names of one file are one file.
    // Only a save that reached the disk counts: when a newer one failed, this
    // one still writes its set.
    const QString key = resolvedTarget(fileName);
    if (newestSave.value(key) > run) {
        file.cancelWriting();
        return;
    }
    if (writeAndCommit(file, settingsFileBytes(lines)))
        newestSave.insert(key, run);
    else
        QMessageBox::critical(this, "ERROR", kFileError, QMessageBox::Ok);
}

void MainWindow::on_toolButton_Load_clicked()
{
    ui->toolButton_Load->setEnabled(false);
    waitMs(kButtonLockMs);
    ui->toolButton_Load->setEnabled(true);
    if (windowClosed)
        return; // closed during the lock: no dialog, nothing loaded

    const QString fileName =
        QFileDialog::getOpenFileName(this, "Open file", "./", "All file (*.*);;file (*.txt *.dat)");
    QString note;
    if (!fileName.isEmpty()) {
        QFile file(fileName);
        if (!openForLoad(file)) {
            QMessageBox::critical(this, "ERROR", kFileError, QMessageBox::Ok);
            return;
        }
        const QString text = readSettingsFilePrefix(file);
        file.close();
        note = loadNote(loadSettingsText(text, TxSettings));
    }

    Dr_DataSelet();
    FalseSaveData();

    // A file that did not carry every line must not pass for a complete load.
    if (!note.isEmpty())
        QMessageBox::about(this, "Note", note);
}
