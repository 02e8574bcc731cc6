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

// How long SAVE and LOAD stay locked after a click.
constexpr int kButtonLockMs = 200;

const char kFileError[] = "Cannot read the specified file!";

} // namespace

void MainWindow::on_toolButton_Save_clicked()
{
    ui->toolButton_Save->setEnabled(false);
    waitMs(kButtonLockMs);
    ui->toolButton_Save->setEnabled(true);

    const QString fileName =
        QFileDialog::getSaveFileName(this, "SAVE", "./", "file (*.txt *.dat);;allfile (*.*)");
    qDebug() << fileName;
    if (fileName.isEmpty())
        return;

    // The new content goes to a temporary file beside the chosen one and
    // replaces it only once all of it is on disk: a crash, a full disk or a
    // pulled stick during the pauses below leaves the previous file as it was.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        QMessageBox::critical(this, "ERROR", kFileError, QMessageBox::Ok);
        return;
    }

    // Brings the three lines up to date (and sends them when the port is open).
    SendData1();
    SendData2();
    SendData3();

    const QByteArray bytes = settingsFileBytes(lineS, lineG, lineH);
    // The bytes sit in the file's buffer until flushed; a failure there (disk
    // full, stick pulled) is not seen by commit(), so flush and check first.
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    if (!written)
        file.cancelWriting();
    if (!file.commit() || !written)
        QMessageBox::critical(this, "ERROR", kFileError, QMessageBox::Ok);
}

void MainWindow::on_toolButton_Load_clicked()
{
    ui->toolButton_Load->setEnabled(false);
    waitMs(kButtonLockMs);
    ui->toolButton_Load->setEnabled(true);

    const QString fileName =
        QFileDialog::getOpenFileName(this, "Open file", "./", "All file (*.*);;file (*.txt *.dat)");
    QString note;
    if (!fileName.isEmpty()) {
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly)) {
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
