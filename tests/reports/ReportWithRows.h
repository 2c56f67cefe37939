#pragma once

#include "reports/TQRBand.h"
#include "reports/TQRDBText.h"
#include "reports/TQRReport.h"
#include "support/MemoryRowSource.h"

#include <memory>

namespace ReportTest {

// A report of `rows` detail bands, one row each, 500 high: five to a page.
class ReportWithRows {
public:
    explicit ReportWithRows(int rows) {
        table->Column(QStringLiteral("Name"), ColumnType::WideString, 50);
        for (int i = 1; i <= rows; ++i)
            table->AddRow({QStringLiteral("Row %1").arg(i)});
        report.SetDataSet(&cursor);
        report.SetShowProgress(false);
        TQRBand *detail = report.AddBand(QStringLiteral("Detail"), rbDetail);
        detail->SetHeight(500);
        detail->SetWidth(1846);
        auto text =
            std::make_unique<TQRDBText>(QStringLiteral("Field"), &cursor, QStringLiteral("Name"));
        text->SetSize({60, 400, 0, 0});
        detail->Add(std::move(text));
        cursor.Open();
    }

    std::shared_ptr<MemoryTable> table = std::make_shared<MemoryTable>();
    MemoryCursor cursor{QStringLiteral("qryRows"), table};
    TQRReport report;
};

} // namespace ReportTest
