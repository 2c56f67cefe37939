#pragma once

#include "interchange/ContactImporter.h"

#include <QDialog>
#include <functional>

class QButtonGroup;
class QLabel;
class QTableWidget;
class QComboBox;
class QPushButton;

// "Import Contacts": what the file holds before anything is stored. For a
// comma-separated file, a table of its headers and first rows with each
// column's target above it; the count of new rows and likely duplicates
// (counted again whenever a target changes); and the choice of what to do
// with duplicates, skipping them by default.
class ImportDialog : public QDialog {
    Q_OBJECT
public:
    // Counts the file's rows as the importer would store them; the command
    // shows progress around it. Empty counts when the count failed (the
    // command has said why).
    using Counter = std::function<bool(ContactImporter::Counts *counts)>;

    ImportDialog(ContactFile &file, Counter counter, QWidget *parent = nullptr);

    ContactImporter::DuplicateChoice Choice() const;
    QTableWidget *Preview() const { return preview_; }
    QComboBox *TargetBox(int column) const;
    QLabel *CountLabel() const { return countLabel_; }
    QLabel *EncodingLabel() const { return encodingLabel_; }
    QButtonGroup *Choices() const { return choices_; }

    // Counts again with the targets as they stand.
    void Recount();

private:
    void BuildPreview();

    ContactFile &file_;
    Counter counter_;
    QTableWidget *preview_ = nullptr;
    QList<QComboBox *> targetBoxes_;
    QLabel *countLabel_ = nullptr;
    QLabel *encodingLabel_ = nullptr;
    QButtonGroup *choices_ = nullptr;
    QPushButton *importButton_ = nullptr;
};
