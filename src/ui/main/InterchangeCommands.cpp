#include "ui/main/InterchangeCommands.h"

#include "data/DateTimeValue.h"
#include "data/Field.h"
#include "settings/GenFun.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/ContactLists.h"
#include "ui/main/ImportCommand.h"
#include "ui/main/VCardExportCommand.h"
#include "ui/main/frmMain.h"

#include <QDateTime>
#include <QMenu>

InterchangeCommands::InterchangeCommands(TfrmMain &window, QMenu &tools) : window_(window) {
    tools.addSeparator()->setObjectName(QStringLiteral("N4"));
    mniImportContacts = tools.addAction(QStringLiteral("&Import Contacts ..."));
    mniImportContacts->setObjectName(QStringLiteral("mniImportContacts"));
    mniExportVCards = tools.addAction(QStringLiteral("Export &vCards ..."));
    mniExportVCards->setObjectName(QStringLiteral("mniExportVCards"));
    mniUndoImport = tools.addAction(QStringLiteral("&Undo Last Import"));
    mniUndoImport->setObjectName(QStringLiteral("mniUndoImport"));

    importCommand = std::make_unique<ImportCommand>(
        window.connDB, &window,
        [] {
            ContactImporter::Defaults defaults;
            defaults.now = DateTimeValue::FromDateTime(QDateTime::currentDateTime());
            defaults.countryId = GenFun::GetDefaultCountryID();
            defaults.statusId = 1;
            return defaults;
        },
        [this](qint64 firstAdded) { Reread(firstAdded); });

    exportCommand = std::make_unique<VCardExportCommand>(window.connDB, &window);

    QObject::connect(mniImportContacts, &QAction::triggered, &window, [this] {
        TErrorBox::Guard([this] {
            SettleEditor();
            importCommand->ImportContacts();
        });
    });
    QObject::connect(mniUndoImport, &QAction::triggered, &window, [this] {
        TErrorBox::Guard([this] {
            SettleEditor();
            importCommand->UndoLastImport();
        });
    });
    QObject::connect(mniExportVCards, &QAction::triggered, &window,
                     [this] { TErrorBox::Guard([this] { ExportVCards(); }); });
    // Undo is offered only while there is an import to take back.
    QObject::connect(&tools, &QMenu::aboutToShow, &window,
                     [this] { mniUndoImport->setEnabled(importCommand->CanUndo()); });
}

InterchangeCommands::~InterchangeCommands() = default;

void InterchangeCommands::SettleEditor() {
    if (window_.rsContacts.Active())
        window_.rsContacts.EnsureBrowse();
}

void InterchangeCommands::Reread(qint64 firstAdded) {
    window_.ReadContactsAgain(firstAdded);
}

void InterchangeCommands::ExportVCards() {
    // What the file holds is what is stored: a pending edit is saved first.
    SettleEditor();
    std::optional<qint64> current;
    TTableCursor &contacts = window_.rsContacts;
    if (contacts.Active() && !contacts.IsEmpty()) {
        if (const TField *key = contacts.FindField(QStringLiteral("ContactID"))) {
            if (!key->IsNull())
                current = key->TextValue().toLongLong();
        }
    }
    exportCommand->Run(current);
}
