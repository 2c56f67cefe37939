#include "ui/main/ImportDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
constexpr int kPreviewRows = 5;
const CsvContactMapping::Target kTargets[] = {
    CsvContactMapping::Skip,      CsvContactMapping::CompanyName, CsvContactMapping::ContactPerson,
    CsvContactMapping::FirstName, CsvContactMapping::MiddleName,  CsvContactMapping::LastName,
    CsvContactMapping::Address,   CsvContactMapping::City,        CsvContactMapping::State,
    CsvContactMapping::PostCode,  CsvContactMapping::Country,     CsvContactMapping::Phone,
    CsvContactMapping::Fax,       CsvContactMapping::Mobile,      CsvContactMapping::Email,
    CsvContactMapping::Url,       CsvContactMapping::Note};
} // namespace

ImportDialog::ImportDialog(ContactFile &file, Counter counter, QWidget *parent)
    : QDialog(parent), file_(file), counter_(std::move(counter)) {
    setObjectName(QStringLiteral("ImportDialog"));
    setWindowTitle(QStringLiteral("Import Contacts"));
    auto *layout = new QVBoxLayout(this);
    const QString kind = file.FileKind() == ContactFile::VCardFile
                             ? QStringLiteral("vCard file")
                             : QStringLiteral("comma-separated file");
    auto *fileLabel = new QLabel(
        QStringLiteral("%1 (%2)").arg(QDir::toNativeSeparators(file.Path()), kind), this);
    fileLabel->setObjectName(QStringLiteral("lblFile"));
    layout->addWidget(fileLabel);
    // A vCard file's texts are decoded as they are read, so the note is
    // shown once counting has come across one.
    encodingLabel_ = new QLabel(
        QStringLiteral("Some of the file's text is neither UTF-8 nor UTF-16; it was read in the "
                       "Windows code page (windows-1252). Check the contacts after importing."),
        this);
    encodingLabel_->setObjectName(QStringLiteral("lblEncoding"));
    encodingLabel_->setWordWrap(true);
    encodingLabel_->setVisible(false);
    layout->addWidget(encodingLabel_);
    if (file.FileKind() == ContactFile::CsvFile) {
        auto *hint = new QLabel(
            QStringLiteral("Choose the field each column goes into, or \"(skip)\":"), this);
        layout->addWidget(hint);
        preview_ = new QTableWidget(this);
        preview_->setObjectName(QStringLiteral("tblPreview"));
        BuildPreview();
        layout->addWidget(preview_, 1);
    }
    countLabel_ = new QLabel(this);
    countLabel_->setObjectName(QStringLiteral("lblCount"));
    layout->addWidget(countLabel_);

    choices_ = new QButtonGroup(this);
    const std::pair<ContactImporter::DuplicateChoice, const char *> options[] = {
        {ContactImporter::SkipDuplicates, "&Skip duplicates"},
        {ContactImporter::ImportDuplicates, "&Import duplicates as new contacts"},
        {ContactImporter::FillEmptyFields, "&Fill only the empty fields of the matching contact"}};
    for (const auto &option : options) {
        auto *button = new QRadioButton(QString::fromLatin1(option.second), this);
        choices_->addButton(button, option.first);
        layout->addWidget(button);
    }
    choices_->button(ContactImporter::SkipDuplicates)->setChecked(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    importButton_ = buttons->addButton(QStringLiteral("Import"), QDialogButtonBox::AcceptRole);
    importButton_->setObjectName(QStringLiteral("btnImport"));
    importButton_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(file.FileKind() == ContactFile::CsvFile ? 720 : 460, sizeHint().height());
    Recount();
}

void ImportDialog::BuildPreview() {
    const QStringList &headers = file_.Headers();
    const QList<QStringList> rows = file_.FirstRows(kPreviewRows);
    preview_->setColumnCount(int(headers.size()));
    // Row 0 holds the target boxes, row 1 the file's headers, then its rows.
    preview_->setRowCount(int(rows.size()) + 2);
    preview_->verticalHeader()->setVisible(false);
    preview_->horizontalHeader()->setVisible(false);
    preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const QList<CsvContactMapping::Target> targets = file_.Targets();
    for (int column = 0; column < headers.size(); ++column) {
        auto *box = new QComboBox(preview_);
        box->setObjectName(QStringLiteral("cmbTarget%1").arg(column));
        for (const CsvContactMapping::Target target : kTargets)
            box->addItem(target == CsvContactMapping::Skip ? QStringLiteral("(skip)")
                                                           : CsvContactMapping::TargetName(target),
                         int(target));
        box->setCurrentIndex(box->findData(int(targets.value(column))));
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
            QList<CsvContactMapping::Target> chosen;
            for (QComboBox *each : targetBoxes_)
                chosen << CsvContactMapping::Target(each->currentData().toInt());
            file_.SetTargets(chosen);
            Recount();
        });
        targetBoxes_ << box;
        preview_->setCellWidget(0, column, box);
        auto *header = new QTableWidgetItem(headers.at(column));
        QFont bold = header->font();
        bold.setBold(true);
        header->setFont(bold);
        preview_->setItem(1, column, header);
        for (int row = 0; row < rows.size(); ++row)
            preview_->setItem(row + 2, column, new QTableWidgetItem(rows.at(row).value(column)));
    }
    preview_->resizeColumnsToContents();
    for (int column = 0; column < headers.size(); ++column)
        preview_->setColumnWidth(column, std::clamp(preview_->columnWidth(column), 120, 240));
}

QComboBox *ImportDialog::TargetBox(int column) const {
    return targetBoxes_.value(column);
}

ContactImporter::DuplicateChoice ImportDialog::Choice() const {
    return ContactImporter::DuplicateChoice(choices_->checkedId());
}

void ImportDialog::Recount() {
    ContactImporter::Counts counts;
    const bool counted = counter_ && counter_(&counts);
    encodingLabel_->setVisible(file_.UsedFallback());
    if (importButton_)
        importButton_->setEnabled(counted && counts.rows > 0);
    if (!counted) {
        countLabel_->setText(QStringLiteral("The file cannot be imported as it stands."));
        return;
    }
    if (!counts.complete) {
        countLabel_->setText(QStringLiteral("Counting was stopped after %1 contacts: %2 new, %3 "
                                            "likely duplicates so far.")
                                 .arg(counts.rows)
                                 .arg(counts.fresh)
                                 .arg(counts.duplicates));
        return;
    }
    countLabel_->setText(
        QStringLiteral("%1 contacts in the file: %2 new, %3 likely duplicates of stored contacts.")
            .arg(counts.rows)
            .arg(counts.fresh)
            .arg(counts.duplicates));
}
