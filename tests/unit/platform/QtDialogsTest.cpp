// The real open-file dialog, driven from inside its own loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QTimer>

#include "platform/QtDialogs.h"
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
    // Runs once the dialog is up, inside its loop.
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QFileDialog* dialog = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) dialog = d;
        if (!dialog) return;
        poll.stop();
        selectedFilter = dialog->selectedNameFilter();
        names = listedNames(dialog, 2);
        dialog->selectFile(folder.file(QStringLiteral("mail-client")));
        static_cast<QDialog*>(dialog)->accept();  // as its Open button does
    });
    poll.start();
    QtDialogs dialogs;
    EXPECT_EQ(dialogs.openFile(request), folder.file(QStringLiteral("mail-client")));
    EXPECT_EQ(selectedFilter, "All executable files (*)");
    EXPECT_EQ(names, QStringList({"mail-client", "tools"}));
}
