#include "data_store/desk_file.h"

#include "data_store/replaced_file.h"
#include "data_store/store_error.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>

namespace khgl::desk_file {

QJsonObject read(const QString& folder, const QString& name)
{
    QFile file(QDir(folder).filePath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QJsonDocument::fromJson(file.readAll()).object();
}

void write(const QString& folder, const QString& name, const QJsonObject& content)
{
    QSaveFile file(QDir(folder).filePath(name));
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) &&
                         file.write(QJsonDocument(content).toJson()) >= 0 && commitWhole(file);
    if (!written) {
        throw StoreError(
            QStringLiteral("无法写入数据文件夹中的 %1：%2").arg(name, file.errorString()));
    }
}

QString answer(const QString& folder, const QString& key)
{
    return read(folder, answersName()).value(key).toString();
}

void setAnswer(const QString& folder, const QString& key, const QString& value)
{
    QJsonObject answers = read(folder, answersName());
    answers.insert(key, value);
    write(folder, answersName(), answers);
}

} // namespace khgl::desk_file
