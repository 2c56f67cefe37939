#pragma once

#include "interchange/ContactImporter.h"

#include <QPointer>
#include <QString>
#include <functional>

class QWidget;
class TDBConnection;
class ImportDialog;

// "Tools" > "Import Contacts ..." and "Undo Last Import": choose a file,
// see what it holds and choose what to do with duplicates, then store it in
// one transaction with a progress bar whose Cancel stores nothing; undo
// takes the last import back after a question.
class ImportCommand {
public:
    // Replaceable by tests: the file chosen (empty: cancelled), the import
    // dialog's answer, a question (true: yes) and a message.
    using Chooser = std::function<QString()>;
    using DialogRunner = std::function<int(ImportDialog &)>;
    using Question = std::function<bool(const QString &text)>;
    using Message = std::function<void(const QString &text)>;
    // Called after the database changed: the first contact added (0: none).
    using Changed = std::function<void(qint64 firstAdded)>;
    // The defaults of a new contact, asked for at each import.
    using DefaultsSource = std::function<ContactImporter::Defaults()>;

    ImportCommand(TDBConnection &connection, QWidget *parent, DefaultsSource defaults,
                  Changed changed);

    Chooser chooser;
    DialogRunner runDialog;
    Question ask;
    Message tell;

    void ImportContacts();
    void UndoLastImport();
    // Whether Undo Last Import has anything to take back.
    bool CanUndo() const;

private:
    QString ChooseFile();
    void Show(const QString &text);

    TDBConnection &connection_;
    QPointer<QWidget> parent_;
    DefaultsSource defaults_;
    Changed changed_;
};
