#include "ui/main/VCardExportCommand.h"

#include "interchange/VCardExport.h"
#include "ui/controls/TDialogFolder.h"
#include "ui/controls/TErrorBox.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>

VCardExportCommand::VCardExportCommand(TDBConnection &connection, QWidget *parent)
    : connection_(connection), parent_(parent) {}

std::optional<bool> VCardExportCommand::AskScope(bool canChooseCurrent) {
    if (chooseScope)
        return chooseScope(canChooseCurrent);
    QDialog dialog(parent_);
    dialog.setWindowTitle(QStringLiteral("Export vCards"));
    auto *layout = new QVBoxLayout(&dialog);
    auto *all = new QRadioButton(QStringLiteral("&All contacts"), &dialog);
    auto *current = new QRadioButton(QStringLiteral("&Current contact only"), &dialog);
    all->setChecked(true);
    current->setEnabled(canChooseCurrent);
    layout->addWidget(all);
    layout->addWidget(current);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return current->isChecked();
}

QString VCardExportCommand::AskFile() {
    if (chooseFile)
        return chooseFile();
    QFileDialog dialog(parent_, QStringLiteral("Export vCards"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("vCard files (*.vcf)"), QStringLiteral("All files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("vcf"));
    return TDialogFolder::Run(dialog, lastFile_);
}

void VCardExportCommand::Run(std::optional<qint64> currentContact) {
    const std::optional<bool> onlyCurrent = AskScope(currentContact.has_value());
    if (!onlyCurrent)
        return;
    const QString file = AskFile();
    if (file.isEmpty())
        return;
    lastFile_ = file;
    const qint64 written =
        VCardExport(connection_)
            .SaveTo(file, *onlyCurrent && currentContact ? currentContact : std::nullopt);
    const QString text = QStringLiteral("%1 written to %2.")
                             .arg(written == 1 ? QStringLiteral("1 contact")
                                               : QStringLiteral("%1 contacts").arg(written),
                                  QDir::toNativeSeparators(file));
    if (tell)
        tell(text);
    else
        QMessageBox::information(parent_, TErrorBox::ApplicationTitle(), text);
}
