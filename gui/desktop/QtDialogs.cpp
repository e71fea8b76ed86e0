#include "gui/desktop/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QSortFilterProxyModel>

namespace obu {
namespace {

// Folders, and the files that the user may run. (The model's own permission
// filter cannot say this: it hides readable files as soon as it is asked for
// executable ones.)
class RunnableFiles : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        const QModelIndex entry = sourceModel()->index(row, 0, parent);
        return !files || files->isDir(entry) || QFileInfo(files->filePath(entry)).isExecutable();
    }
};

}  // namespace

MsgResult QtDialogs::messageBox(const QString& text, const QString& caption, MsgIcon icon,
                                MsgButtons buttons) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(caption);
    box.setText(text);
    switch (icon) {
        case MsgIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MsgIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
    }
    switch (buttons) {
        case MsgButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MsgButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MsgButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
    }
    // A message box must not hide behind the always-on-top countdown windows.
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return MsgResult::Yes;
        case QMessageBox::No:
            return MsgResult::No;
        case QMessageBox::Cancel:
            return MsgResult::Cancel;
        default:
            return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
    }
}

QString QtDialogs::openFile(const OpenFileRequest& request) {
    QFileDialog dialog(QApplication::activeWindow(), request.title, request.initialFolder);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!request.nameFilters.isEmpty()) dialog.setNameFilters(request.nameFilters);
    // The widget dialog, whose list can be narrowed to what may run.
    dialog.setOption(QFileDialog::DontUseNativeDialog, request.executablesOnly);
    if (request.executablesOnly) dialog.setProxyModel(new RunnableFiles(&dialog));
    dialog.setDefaultSuffix(request.defaultExtension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace obu
