#include "customers_mail/customer_file.h"

#include "data_store/failure_text.h"
#include "data_store/replaced_file.h"

#include <QDir>
#include <QSaveFile>
#include <QStringEncoder>

namespace khgl::customer_file {
namespace {

// Long names would pass the file system's 255-byte limit once encoded.
constexpr qsizetype kMaxNameCharacters = 80;

bool isUnsafe(char32_t c)
{
    return c < 0x20 || c == 0x7f || c == U'/' || c == U'\\' || c == U':';
}

} // namespace

QString directory(const QString& folder)
{
    return folder + QStringLiteral("customers");
}

QString safeBaseName(const QString& customerName)
{
    QString name;
    for (const char32_t c : customerName.trimmed().toUcs4()) {
        if (name.size() >= kMaxNameCharacters) {
            break;
        }
        name += isUnsafe(c) ? QStringLiteral("_") : QString::fromUcs4(&c, 1);
    }
    // A leading dot would hide the file; ".." can then no longer start a name either.
    for (qsizetype i = 0; i < name.size() && name[i] == QLatin1Char('.'); ++i) {
        name[i] = QLatin1Char('_');
    }
    return name.isEmpty() ? QStringLiteral("_") : name;
}

QString path(const QString& folder, const QString& customerName)
{
    return directory(folder) + QStringLiteral("/") + safeBaseName(customerName) +
           QStringLiteral(".dll");
}

QString write(const QString& folder, const QString& customerName, const QString& text)
{
    const QString dir = directory(folder);
    // Customers' details are for the shop's own account only, like the database.
    if (!QDir().mkpath(dir)) {
        return QStringLiteral("无法建立客户描述文件夹“%1”。").arg(QDir::toNativeSeparators(dir));
    }
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString target = path(folder, customerName);
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    body.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    body += QStringLiteral("\r\n");
    QStringEncoder encode(QStringEncoder::System);
    const QByteArray bytes = encode(body);

    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) ||
        file.write(bytes) != bytes.size() || !commitWhole(file)) {
        // A short write leaves Qt without a reason: name the likely ones, in Chinese first.
        const QString technical = file.errorString();
        QString reason = writeAccessProblem(target);
        if (reason.isEmpty()) {
            reason = QStringLiteral("磁盘空间不足或文件大小超出限制。");
        }
        if (file.error() != QFileDevice::NoError && technical != QStringLiteral("Unknown error")) {
            reason += QStringLiteral("（%1）").arg(technical);
        }
        return QStringLiteral("客户描述文件“%1”没有写入：%2")
            .arg(QDir::toNativeSeparators(target), reason);
    }
    return {};
}

} // namespace khgl::customer_file
