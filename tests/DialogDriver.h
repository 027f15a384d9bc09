#pragma once
// Drives a modal dialog as a user would: the code under test is inside the
// dialog's exec() while these act on it.
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>
#include <functional>

namespace dialogtest {

// Acts on the dialog of that name once it is up. Gives up after ten seconds,
// *seen still false.
template <class T>
void WhenShown(const QString& name, std::function<void(T*)> act, bool* seen)
{
    *seen = false;
    auto* timer = new QTimer;
    const QDeadlineTimer deadline(10000);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* d = qobject_cast<T*>(w);
            if (d && d->objectName() == name && d->isVisible()) {
                timer->stop();   // once: the act may turn the event loop itself
                timer->deleteLater();
                *seen = true;
                act(d);
                return;
            }
        }
        if (deadline.hasExpired())
            timer->deleteLater();
    });
    timer->start(20);
}

// Saves under `file` in the save dialog of that name, as a user who types it
// and presses 保存 (in the format of `filter`, the dialog's first when empty);
// *proposed gets the name the dialog proposed.
inline void SaveAs(const QString& dialog, const QString& file, QString* proposed, bool* seen,
                   const QString& filter = QString())
{
    WhenShown<QFileDialog>(dialog,
                           [=](QFileDialog* d) {
                               *proposed = QFileInfo(d->selectedFiles().value(0)).fileName();
                               // Into the folder and the name typed at once, before the dialog
                               // has read the folder in the background.
                               d->setDirectory(QFileInfo(file).absolutePath());
                               // The format picked in the list of types, as a user picks it.
                               auto* types = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                               const int type = types ? types->findText(filter) : -1;
                               if (!filter.isEmpty() && type >= 0) {
                                   types->setCurrentIndex(type);
                                   emit types->activated(type);
                                   emit types->textActivated(filter);
                               }
                               auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                               if (edit)
                                   edit->setText(QFileInfo(file).fileName());
                               else
                                   d->selectFile(QFileInfo(file).fileName());
                               static_cast<QDialog*>(d)->accept();   // the dialog's own check of the name runs
                           },
                           seen);
}

}  // namespace dialogtest
