#pragma once

#include <QtGlobal>
#include <memory>

class ImportCommand;
class VCardExportCommand;
class QAction;
class QMenu;
class TfrmMain;

// The Tools menu's commands that bring contacts in and take them out:
// "Import Contacts ...", "Export vCards ..." and "Undo Last Import", after a
// separator below "Options". After an import or its undo the editor and
// both lists are read again, the editor on the first contact added.
class InterchangeCommands {
public:
    InterchangeCommands(TfrmMain &window, QMenu &tools);
    ~InterchangeCommands();

    QAction *mniImportContacts = nullptr;
    QAction *mniExportVCards = nullptr;
    QAction *mniUndoImport = nullptr;
    std::unique_ptr<ImportCommand> importCommand;
    std::unique_ptr<VCardExportCommand> exportCommand;

private:
    // Settles a pending edit, as moving to another contact does.
    void SettleEditor();
    void Reread(qint64 firstAdded);
    void ExportVCards();

    TfrmMain &window_;
};
