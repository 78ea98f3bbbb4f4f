#include "data_store/failure_text.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace khgl {
namespace {

QString detail(const QString& technical)
{
    return technical.isEmpty() ? QString() : QStringLiteral("（%1）").arg(technical);
}

QString systemText(int error)
{
    return QStringLiteral("%1, errno %2")
        .arg(QString::fromLocal8Bit(std::strerror(error)))
        .arg(error);
}

QString sentenceFor(int error, const QString& path)
{
    switch (error) {
    case EACCES:
    case EPERM: {
        const QString access = writeAccessProblem(path);
        return access.isEmpty() ? QStringLiteral("没有访问这个文件或文件夹的权限，"
                                                 "请检查它的权限设置，或换一个文件夹。")
                                : access;
    }
    case EROFS:
        return QStringLiteral("文件所在的磁盘是只读的，请换一个可以写入的位置。");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("磁盘空间不足，请清理磁盘后再试。");
    case EFBIG:
        return QStringLiteral("文件超出了系统允许的大小，请清理磁盘或放宽限制后再试。");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("文件或它所在的文件夹不存在，请检查位置是否正确。");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("文件正被其他程序使用，请关闭那个程序后再试。");
    case EISDIR:
        return QStringLiteral("这个名字已被一个文件夹占用，请移走它后再试。");
    case ELOOP:
        return QStringLiteral("文件是一个循环的链接，请检查这个链接。");
    case EIO:
        return QStringLiteral("读写磁盘时出错，磁盘可能有故障，请检查磁盘后再试。");
    default:
        return QStringLiteral("读写文件失败，请检查磁盘和文件后再试。");
    }
}

} // namespace

QString writeAccessProblem(const QString& path)
{
    if (path.isEmpty()) {
        return {};
    }
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    const QByteArray folderName = QFile::encodeName(folder);
    if (::access(folderName.constData(), X_OK) != 0 && errno == EACCES) {
        return QStringLiteral("没有进入文件夹“%1”的权限，请检查它的权限设置。")
            .arg(QDir::toNativeSeparators(folder));
    }
    const QByteArray fileName = QFile::encodeName(path);
    if (info.exists() && ::access(fileName.constData(), W_OK) != 0) {
        if (errno == EROFS) {
            return QStringLiteral("文件所在的磁盘是只读的，请换一个可以写入的位置。");
        }
        if (::access(fileName.constData(), R_OK) != 0) {
            return QStringLiteral("没有读取文件“%1”的权限，请检查它的权限设置。")
                .arg(QDir::toNativeSeparators(path));
        }
        return QStringLiteral("文件“%1”是只读的，请取消它的只读设置。")
            .arg(QDir::toNativeSeparators(path));
    }
    if (::access(folderName.constData(), W_OK) != 0) {
        if (errno == EROFS) {
            return QStringLiteral("文件所在的磁盘是只读的，请换一个可以写入的位置。");
        }
        return QStringLiteral("文件夹“%1”是只读的，程序需要在其中写入，请允许写入这个文件夹。")
            .arg(QDir::toNativeSeparators(folder));
    }
    return {};
}

QString fileFailureText(int error, const QString& path)
{
    return sentenceFor(error, path) + detail(systemText(error));
}

QString engineFailureText(sqlite3* db)
{
    const int code = sqlite3_extended_errcode(db);
    const int error = sqlite3_system_errno(db);
    const char* name = sqlite3_db_filename(db, "main");
    const QString path = name ? QString::fromUtf8(name) : QString();
    QString technical = QString::fromUtf8(sqlite3_errmsg(db));
    if (error != 0) {
        technical += QStringLiteral("; ") + systemText(error);
    }
    QString sentence;
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        sentence = QStringLiteral("数据文件正被其他程序使用，请关闭那个程序或稍后再试。");
        break;
    case SQLITE_FULL:
        sentence = QStringLiteral("磁盘已满，数据没有写入。请清理磁盘后再试。");
        break;
    case SQLITE_READONLY:
        sentence = writeAccessProblem(path);
        if (sentence.isEmpty()) {
            sentence = QStringLiteral("数据文件是只读的，数据没有写入。");
        }
        break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        sentence = QStringLiteral("数据文件已损坏或不是本系统的数据文件，请从备份还原。");
        break;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        if (error == EACCES || error == EPERM || error == 0) {
            sentence = writeAccessProblem(path);
        }
        if (sentence.isEmpty()) {
            sentence = error != 0
                           ? sentenceFor(error, path)
                           : QStringLiteral("无法打开数据文件，请检查文件和它所在的文件夹。");
        }
        break;
    case SQLITE_IOERR:
        sentence = QStringLiteral("读写数据文件失败，这次操作没有完成，数据没有改动。");
        if (error != 0 && error != EIO) {
            sentence += sentenceFor(error, path);
        }
        break;
    default:
        return QStringLiteral("数据操作没有完成") + detail(technical);
    }
    return sentence + detail(technical);
}

namespace {

// The right a statement needs on an object of kind (the server's word for it).
QString neededRight(const QString& kind, const QString& sql)
{
    const QString verb = sql.trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
    if (kind == QStringLiteral("sequence")) {
        return QStringLiteral("USAGE、UPDATE");
    }
    if (kind == QStringLiteral("schema") || kind == QStringLiteral("database")) {
        return verb == QStringLiteral("CREATE") || verb == QStringLiteral("ALTER")
                   ? QStringLiteral("CREATE")
                   : QStringLiteral("USAGE");
    }
    if (kind == QStringLiteral("function") || kind == QStringLiteral("aggregate")) {
        return QStringLiteral("EXECUTE");
    }
    return verb.isEmpty() ? QStringLiteral("SELECT") : verb;
}

} // namespace

QString missingRightText(const QString& primary, const QString& sql)
{
    static const QRegularExpression denied(QStringLiteral(R"(permission denied for (\w+) (\S+))"));
    static const QRegularExpression owner(QStringLiteral(R"(must be owner of (\w+) (\S+))"));
    const auto ownerMatch = owner.match(primary);
    if (ownerMatch.hasMatch()) {
        return QStringLiteral("数据库账户不是%1的所有者，不能修改它，数据没有改变。请用建立这个"
                              "数据库的账户运行一次本程序。")
            .arg(ownerMatch.captured(2));
    }
    const auto match = denied.match(primary);
    if (!match.hasMatch()) {
        return QStringLiteral("数据库账户缺少所需的权限，数据没有改变。请让数据库管理员检查这个"
                              "账户的权限。");
    }
    const QString kind = match.captured(1);
    const QString right = neededRight(kind, sql);
    return QStringLiteral("数据库账户没有%1 %2的%3权限，数据没有改变。请让数据库管理员授予"
                          "（GRANT %3 ON %4 %2 TO 这个账户）。")
        .arg(kind, match.captured(2), right, kind.toUpper());
}

} // namespace khgl
