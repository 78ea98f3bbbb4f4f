// The customer description file's name: whatever the customer is called, the file stays a
// plain file directly inside the customers directory.
#include "customers_mail/customer_file.h"
#include "fuzz_input.h"

#include <QDir>
#include <QFile>

using khgl::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString name = khgl::fuzz::textFrom(data, size);
    const QString base = khgl::customer_file::safeBaseName(name);

    check(!base.isEmpty(), "never empty", name);
    check(base != QStringLiteral(".") && base != QStringLiteral(".."), "never . or ..", name);
    check(!base.startsWith(QLatin1Char('.')), "never hidden", name);
    for (const QChar c : base) {
        check(c != u'/' && c != u'\\' && c != u':', "no separator", name);
        check(c.unicode() >= 0x20 && c.unicode() != 0x7f, "no control character", name);
    }
    // The file system's limit is 255 bytes for one name.
    check(QFile::encodeName(base + QStringLiteral(".dll")).size() <= 255, "fits a file name", name);

    const QString folder = QStringLiteral("/shop/app/");
    const QString directory = khgl::customer_file::directory(folder);
    const QString path = khgl::customer_file::path(folder, name);
    check(QDir::cleanPath(path) == path, "no . or .. step in the path", name);
    check(path.startsWith(directory + QLatin1Char('/')), "inside the directory", name);
    check(path.lastIndexOf(QLatin1Char('/')) == directory.size(), "directly inside", name);
    // What the kernel sees: the encoded path has no extra step either.
    const QByteArray encoded = QFile::encodeName(path);
    check(encoded.count('/') == path.count(QLatin1Char('/')), "encoding adds no separator", name);
    check(!encoded.contains('\0'), "no NUL byte", name);
    return 0;
}
