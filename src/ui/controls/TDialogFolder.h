#pragma once

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QStandardPaths>
#include <QString>
#include <QTimer>

// Where the program's file dialogs open: the user's documents folder (the
// home folder when there is none) until a file has been chosen in one of
// them, then the folder of the file chosen last, for the rest of the run.
// Header only, so that the windows of every layer share the one folder.
class TDialogFolder {
public:
    // The folder the next file dialog opens in. A remembered folder that has
    // gone since is passed over.
    static QString Current() {
        if (!last_.isEmpty() && QFileInfo(last_).isDir())
            return last_;
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (!documents.isEmpty() && QFileInfo(documents).isDir())
            return documents;
        return QDir::homePath();
    }

    // Notes the folder of a file chosen in a dialog. An empty name forgets
    // it: the next dialog opens in the documents folder again.
    static void Remember(const QString &fileName) {
        last_ = fileName.isEmpty() ? QString() : QFileInfo(fileName).absolutePath();
    }

    // Runs a file dialog from Current() with `previousFile`'s name, and only
    // its name, in the name box (an empty box without one), so that what the
    // user types is a name in that folder. Returns the file chosen, whose
    // folder is remembered, or empty when the user cancelled.
    static QString Run(QFileDialog &dialog, const QString &previousFile = QString()) {
        dialog.setDirectory(Current());
        const QString name = QFileInfo(previousFile).fileName();
        // The name box of Qt's own dialog; a platform dialog has none.
        QLineEdit *box = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!name.isEmpty()) {
            dialog.selectFile(name);
            // Selected once the dialog is up, so that a name typed replaces
            // the one offered instead of running on from it.
            if (box)
                QTimer::singleShot(0, box, [box] { box->selectAll(); });
        } else if (box) {
            // It still holds what was typed in an earlier, cancelled run.
            box->clear();
        }
        if (dialog.exec() != QDialog::Accepted)
            return QString();
        const QString chosen = dialog.selectedFiles().value(0);
        if (!chosen.isEmpty())
            Remember(chosen);
        return chosen;
    }

private:
    static inline QString last_;
};
