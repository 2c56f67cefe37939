// libFuzzer target for the vCard reader: any bytes give cards or a refusal
// that names a line, never a crash, and every card's values can be split.
#include "interchange/VCardReader.h"

#include <QBuffer>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    VCardReader reader(buffer);
    VCard card;
    int cards = 0;
    while (reader.Next(&card) && ++cards < 100000) {
        for (const VCardProperty &property : card.properties) {
            (void)property.Components();
            (void)property.Text();
            (void)property.Param(QStringLiteral("TYPE"));
        }
    }
    if (!reader.Error().isEmpty() && !reader.Error().startsWith(QLatin1String("Line ")))
        std::abort(); // a refusal names its line
    return 0;
}
