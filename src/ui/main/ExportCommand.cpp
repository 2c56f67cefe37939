#include "ui/main/ExportCommand.h"

#include "export/ContactExport.h"
#include "export/EInOutError.h"
#include "ui/controls/TDialogFolder.h"
#include "ui/controls/TErrorBox.h"

#include <QFileDialog>
#include <QMessageBox>

ExportCommand::Hook ExportCommand::ShowHook;

const QString ExportCommand::kIOErrorText = QStringLiteral("File I/O error.");

ExportCommand::ExportCommand(TQueryCursor &qryExportContacts, QWidget *parent)
    : qryExportContacts_(qryExportContacts), parent_(parent) {
    dlgSaveContacts = new QFileDialog(parent);
    dlgSaveContacts->setObjectName(QStringLiteral("dlgSaveContacts"));
    dlgSaveContacts->setWindowTitle(QStringLiteral("Save Contacts"));
    dlgSaveContacts->setAcceptMode(QFileDialog::AcceptSave);
    dlgSaveContacts->setFileMode(QFileDialog::AnyFile);
    // Appended by the dialog to a name typed without an extension.
    dlgSaveContacts->setDefaultSuffix(QStringLiteral("CVS"));
    dlgSaveContacts->setNameFilters(
        {QStringLiteral("Text Decoument (*.txt)"), QStringLiteral("Comma Separated Values (*.csv)"),
         QStringLiteral("HTML (*.html)"), QStringLiteral("All Files (*.*)")});
    chooser_ = [this] { return RunDialog(); };
}

ExportCommand::~ExportCommand() {
    // The parent may have deleted the dialog already; the pointer then is null.
    delete dlgSaveContacts.data();
}

QString ExportCommand::RunDialog() {
    if (!dlgSaveContacts)
        return QString();
    // The dialog opens where the last file was chosen, with the name of the
    // previous export, not its whole path, in the name box.
    const QString fileName = TDialogFolder::Run(*dlgSaveContacts, lastFile_);
    if (!fileName.isEmpty())
        lastFile_ = fileName;
    return fileName;
}

void ExportCommand::ExportContacts() {
    const QString fileName = chooser_();
    if (fileName.isEmpty())
        return;
    try {
        ContactExport(qryExportContacts_).SaveTo(fileName);
    } catch (const EInOutError &) {
        ShowIOError();
    }
}

void ExportCommand::ShowIOError() {
    const QString caption = TErrorBox::ApplicationTitle();
    if (ShowHook) {
        ShowHook(caption, kIOErrorText);
        return;
    }
    QMessageBox box(QMessageBox::Critical, caption, kIOErrorText, QMessageBox::Ok, parent_);
    box.exec();
}
