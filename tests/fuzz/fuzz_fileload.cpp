// Fuzzes the settings-file loader: arbitrary file contents, decoded one
// character per byte as Load does (at most the first 64 KiB), are read into the
// store, followed by the D/R mirror update and the range checks that Load runs.

#include <QBuffer>
#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "file/settingsfile.h"
#include "fuzz_invariants.h"
#include "model/bindings.h"
#include "model/validation.h"

namespace {

// Load writes a few debug lines per file; keep them off the fuzzer's output.
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool silenced = (qInstallMessageHandler(quiet), true);
    (void)silenced;

    // The file's bytes, read the way Load reads an opened file.
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<int>(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    const QString text = readSettingsFilePrefix(file);
    const int n = static_cast<int>(qMin<qint64>(qint64(size), kSettingsReadLimit));
    if (text.size() != n)
        fuzzcheck::fail("text is not one character per byte of the prefix", "text");
    for (int i = 0; i < n; ++i)
        if (text.at(i).unicode() != data[i])
            fuzzcheck::fail("text differs from the file's bytes", "text");

    // Start from the factory store and from one with every field out of range,
    // so lines that are not loaded leave something validation must mend.
    TxSettingsRecord stores[2] = {startSettings(), startSettings()};
    restData(stores[0]);
    restData2(stores[0]);
    std::memset(&stores[1], 0xFF, sizeof stores[1]); // every int -1, every double NaN
    for (TxSettingsRecord &s : stores) {
        const LoadReport r = loadSettingsText(text, s);
        if (r.length != text.size())
            fuzzcheck::fail("reported length differs from the text", "length");
        if ((r.s || r.g) && n <= 161)
            fuzzcheck::fail("S or G line loaded from a short file", "length");
        if (r.h && n <= 242)
            fuzzcheck::fail("H line loaded from a short file", "length");
        drDataSelect(s);
        validateSettings(s);
        fuzzcheck::settingsInRange(s);
        fuzzcheck::linesWellFormed(s);
    }
    return 0;
}
