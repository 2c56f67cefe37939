#include "ui/main/ImportCommand.h"

#include "data/DBConnection.h"
#include "ui/controls/TDialogFolder.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/ImportDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>

namespace {

// A progress window that shows itself only when the work takes a while, and
// whose Cancel ends the work.
class ProgressWindow {
public:
    ProgressWindow(QWidget *parent, const QString &text)
        : dialog_(text, QStringLiteral("Cancel"), 0, 1000, parent) {
        dialog_.setWindowTitle(TErrorBox::ApplicationTitle());
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setMinimumDuration(400);
        dialog_.setValue(0);
    }
    bool Step(int permille) {
        dialog_.setValue(std::min(permille, 999));
        QCoreApplication::processEvents();
        return !dialog_.wasCanceled();
    }

private:
    QProgressDialog dialog_;
};

QString Plural(qint64 count, const char *one, const char *many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

} // namespace

ImportCommand::ImportCommand(TDBConnection &connection, QWidget *parent, DefaultsSource defaults,
                             Changed changed)
    : connection_(connection), parent_(parent), defaults_(std::move(defaults)),
      changed_(std::move(changed)) {}

QString ImportCommand::ChooseFile() {
    if (chooser)
        return chooser();
    QFileDialog dialog(parent_, QStringLiteral("Import Contacts"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({QStringLiteral("Contact files (*.vcf *.vcard *.csv *.txt)"),
                           QStringLiteral("vCard files (*.vcf *.vcard)"),
                           QStringLiteral("Comma-separated files (*.csv *.txt)"),
                           QStringLiteral("All files (*)")});
    return TDialogFolder::Run(dialog);
}

void ImportCommand::Show(const QString &text) {
    if (tell) {
        tell(text);
        return;
    }
    QMessageBox::information(parent_, TErrorBox::ApplicationTitle(), text);
}

void ImportCommand::ImportContacts() {
    const QString path = ChooseFile();
    if (path.isEmpty())
        return;
    ContactFile file(path);
    ContactImporter importer(connection_, defaults_ ? defaults_() : ContactImporter::Defaults());
    importer.CheckDatabase();

    ImportDialog dialog(
        file,
        [&](ContactImporter::Counts *counts) {
            ProgressWindow progress(parent_, QStringLiteral("Reading the file ..."));
            try {
                *counts =
                    importer.Count(file, [&](int permille) { return progress.Step(permille); });
                return true;
            } catch (const EError &error) {
                Show(error.Message());
                return false;
            }
        },
        parent_);
    const int answer = runDialog ? runDialog(dialog) : dialog.exec();
    if (answer != QDialog::Accepted)
        return;

    ContactImporter::Result result;
    {
        ProgressWindow progress(parent_, QStringLiteral("Importing contacts ..."));
        result = importer.Import(file, dialog.Choice(),
                                 [&](int permille) { return progress.Step(permille); });
    }
    if (result.cancelled) {
        Show(QStringLiteral("The import was cancelled; nothing was stored."));
        return;
    }
    if (changed_)
        changed_(result.firstAdded);
    QStringList parts;
    parts << Plural(result.added, "contact added", "contacts added");
    if (result.filled)
        parts << Plural(result.filled, "contact completed", "contacts completed");
    if (result.skipped)
        parts << Plural(result.skipped, "duplicate skipped", "duplicates skipped");
    Show(QStringLiteral("Import finished: %1.").arg(parts.join(QStringLiteral(", "))));
}

bool ImportCommand::CanUndo() const {
    try {
        return ContactImporter::CanUndo(connection_);
    } catch (const EError &) {
        return false;
    }
}

void ImportCommand::UndoLastImport() {
    if (!ContactImporter::CanUndo(connection_)) {
        Show(QStringLiteral("There is no import to undo."));
        return;
    }
    const QString question = QStringLiteral(
        "Undo the last import? The contacts it added are deleted, and the fields it filled get "
        "their earlier value back.");
    const bool yes = ask ? ask(question)
                         : QMessageBox::question(parent_, TErrorBox::ApplicationTitle(),
                                                 question) == QMessageBox::Yes;
    if (!yes)
        return;
    const ContactImporter::Undone undone = ContactImporter::UndoLast(connection_);
    if (changed_)
        changed_(0);
    Show(QStringLiteral("The last import was undone: %1 removed, %2 restored.")
             .arg(Plural(undone.removed, "contact", "contacts"),
                  Plural(undone.restored, "field", "fields")));
}
