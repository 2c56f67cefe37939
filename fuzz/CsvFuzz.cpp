// libFuzzer target for the CSV reader: any bytes give rows or a refusal that
// names a line, never a crash or a row line that goes backwards.
#include "interchange/CsvReader.h"

#include <QBuffer>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    CsvReader reader(buffer);
    QStringList row;
    int last = 0;
    while (reader.Next(&row)) {
        if (reader.RowLine() <= last || row.isEmpty())
            std::abort();
        last = reader.RowLine();
    }
    if (!reader.Error().isEmpty() && !reader.Error().startsWith(QLatin1String("Line ")))
        std::abort();
    return 0;
}
