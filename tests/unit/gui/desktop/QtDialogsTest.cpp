// The real open-file dialog, driven from inside its own loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QTimer>

#include "gui/desktop/QtDialogs.h"
#include "tests/support/TempFolder.h"

using namespace obu;

namespace {

// The names that the dialog's file list shows, once it shows `count` of them
// (the folder is read on a worker thread).
QStringList listedNames(QFileDialog* dialog, int count) {
    QListView* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
    QStringList names;
    QElapsedTimer waited;
    waited.start();
    while (list && waited.elapsed() < 20000) {
        names.clear();
        for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row)
            names << list->model()->index(row, 0, list->rootIndex()).data().toString();
        if (names.size() >= count) break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    names.sort();
    return names;
}

}  // namespace

TEST(QtDialogs, AProgramIsPickedAmongTheFilesThatMayRun) {
    test::TempFolder folder;
    folder.write(QStringLiteral("mail-client"), "#!/bin/sh\n");
    QFile::setPermissions(folder.file(QStringLiteral("mail-client")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    folder.write(QStringLiteral("notes.txt"), "not a program\n");
    folder.write(QStringLiteral("setup.exe"), "MZ");
    QDir(folder.path()).mkdir(QStringLiteral("tools"));

    OpenFileRequest request;
    request.title = QStringLiteral("Open");
    request.nameFilters = {QStringLiteral("All executable files (*)"),
                           QStringLiteral("Programs (*.exe)")};
    request.initialFolder = folder.path();
    request.executablesOnly = true;

    QString selectedFilter;
    QStringList names;
    // Runs once the dialog is up, inside its loop. The pick is tried again
    // until the dialog closes; past the deadline it is cancelled, failing the
    // test instead of leaving it waiting for a user.
    QElapsedTimer sinceStart;
    sinceStart.start();
    bool busy = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (busy) return;
        QFileDialog* dialog = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                box->close();  // a complaint about an early pick
                return;
            }
            if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) dialog = d;
        }
        if (!dialog) return;
        if (sinceStart.elapsed() > 60000) {
            static_cast<QDialog*>(dialog)->reject();
            return;
        }
        if (names.isEmpty()) {
            busy = true;
            selectedFilter = dialog->selectedNameFilter();
            names = listedNames(dialog, 2);
            busy = false;
        }
        // Typed into the name box, as a user would: a pick in the list does
        // not reach the box once the box has the focus.
        if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(QStringLiteral("mail-client"));
        static_cast<QDialog*>(dialog)->accept();  // as its Open button does
    });
    poll.start();
    QtDialogs dialogs;
    EXPECT_EQ(dialogs.openFile(request), folder.file(QStringLiteral("mail-client")));
    EXPECT_EQ(selectedFilter, "All executable files (*)");
    EXPECT_EQ(names, QStringList({"mail-client", "tools"}));
}
