#pragma once

#include <QPointer>
#include <QString>
#include <functional>

class QFileDialog;
class QWidget;
class TQueryCursor;

// "File" > "Save Contacts ...": asks for a file name in dlgSaveContacts and
// writes every contact to it through the export query (ContactExport). A
// file that cannot be created or written is reported in the "File I/O
// error." box; any other failure (the query failing) leaves the handler for
// the caller's error box.
class ExportCommand {
public:
    // Asks the user for the file name; empty when the user cancels. Tests
    // replace it; by default it runs dlgSaveContacts, which opens in the
    // documents folder at first and then where a file was chosen last.
    using TChooser = std::function<QString()>;
    // Receives the "File I/O error." box instead of showing it; tests set it.
    using Hook = std::function<void(const QString &caption, const QString &text)>;
    static Hook ShowHook;

    static const QString kIOErrorText;

    ExportCommand(TQueryCursor &qryExportContacts, QWidget *parent);
    ~ExportCommand();
    ExportCommand(const ExportCommand &) = delete;
    ExportCommand &operator=(const ExportCommand &) = delete;

    void SetChooser(TChooser chooser) { chooser_ = std::move(chooser); }

    QPointer<QFileDialog> dlgSaveContacts;

    void ExportContacts();

private:
    QString RunDialog();
    void ShowIOError();

    TQueryCursor &qryExportContacts_;
    QPointer<QWidget> parent_;
    TChooser chooser_;
    // The file of the previous export from dlgSaveContacts.
    QString lastFile_;
};
