#include "data_store/database_pages.h"

#include "data_store/failure_text.h"
#include "data_store/store_error.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace khgl {
namespace {

constexpr qint64 kFileHeader = 100;
constexpr qint64 kLogHeader = 32;
constexpr qint64 kFrameHeader = 24;
constexpr quint32 kLogMagic = 0x377f0682; // the low bit tells the checksums' byte order
constexpr quint32 kLogVersion = 3007000;
constexpr qint64 kCopyBlock = 4 * 1024 * 1024;

quint32 bigEndian(const char* at, int bytes = 4)
{
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i) {
        value = (value << 8) | static_cast<uchar>(at[i]);
    }
    return value;
}

// The log's running checksum over bytes (a multiple of 8), as the engine computes it.
struct LogChecksum
{
    bool bigEndianWords = false;
    quint32 first = 0;
    quint32 second = 0;

    void add(const char* bytes, qint64 length)
    {
        for (qint64 i = 0; i + 8 <= length; i += 8) {
            first += word(bytes + i) + second;
            second += word(bytes + i + 4) + first;
        }
    }
    bool matches(const char* stored) const
    {
        return bigEndian(stored) == first && bigEndian(stored + 4) == second;
    }
    quint32 word(const char* at) const
    {
        if (bigEndianWords) {
            return bigEndian(at);
        }
        const auto* b = reinterpret_cast<const uchar*>(at);
        return quint32{b[0]} | (quint32{b[1]} << 8) | (quint32{b[2]} << 16) | (quint32{b[3]} << 24);
    }
};

QString quoted(const QString& path)
{
    return QStringLiteral("“%1”").arg(QDir::toNativeSeparators(path));
}

[[noreturn]] void throwWriteFailure(const QString& target)
{
    throw StoreError(
        QStringLiteral("无法写入%1：%2").arg(quoted(target), fileFailureText(errno, target)));
}

void writeAt(int fd, const QByteArray& bytes, qint64 offset, const QString& target)
{
    if (::pwrite(fd, bytes.constData(), static_cast<size_t>(bytes.size()), offset) !=
        bytes.size()) {
        throwWriteFailure(target);
    }
}

} // namespace

DatabasePages::DatabasePages(const QString& path) : m_file(path)
{
    if (!m_file.open(QIODevice::ReadOnly)) {
        return;
    }
    const QByteArray header = m_file.read(kFileHeader);
    if (header.size() < kFileHeader || !header.startsWith(QByteArrayLiteral("SQLite format 3"))) {
        return;
    }
    qint64 pageSize = bigEndian(header.constData() + 16, 2);
    if (pageSize == 1) {
        pageSize = 65536;
    }
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0) {
        return;
    }
    m_pageSize = pageSize;
    m_pageCount = m_file.size() / pageSize;
    m_logged = header.at(18) == 2 || header.at(19) == 2 ||
               QFileInfo::exists(path + QStringLiteral("-wal"));
    readLog(path + QStringLiteral("-wal"));
}

// The log's frames count up to its last commit whose frames all carry the log's salt and a
// true running checksum, as the engine's recovery counts them; later frames are ignored.
void DatabasePages::readLog(const QString& path)
{
    m_log.setFileName(path);
    if (!m_log.open(QIODevice::ReadOnly)) {
        return;
    }
    const QByteArray header = m_log.read(kLogHeader);
    if (header.size() < kLogHeader || (bigEndian(header.constData()) & ~1u) != kLogMagic ||
        bigEndian(header.constData() + 4) != kLogVersion ||
        bigEndian(header.constData() + 8) != m_pageSize) {
        return;
    }
    LogChecksum sum{(bigEndian(header.constData()) & 1) != 0};
    sum.add(header.constData(), 24);
    if (!sum.matches(header.constData() + 24)) {
        return;
    }
    const QByteArray salt = header.mid(16, 8);
    std::unordered_map<quint32, qint64> committed;
    std::vector<std::pair<quint32, qint64>> pending;
    const qint64 frameSize = kFrameHeader + m_pageSize;
    for (qint64 at = kLogHeader;; at += frameSize) {
        const QByteArray frame = m_log.read(frameSize);
        if (frame.size() != frameSize) {
            break;
        }
        const quint32 number = bigEndian(frame.constData());
        if (number == 0 || frame.mid(8, 8) != salt) {
            break;
        }
        sum.add(frame.constData(), 8);
        sum.add(frame.constData() + kFrameHeader, m_pageSize);
        if (!sum.matches(frame.constData() + 16)) {
            break;
        }
        pending.emplace_back(number, at + kFrameHeader);
        if (const quint32 pagesAfter = bigEndian(frame.constData() + 4); pagesAfter != 0) {
            for (const auto& [page, offset] : pending) {
                committed[page] = offset;
            }
            pending.clear();
            m_pageCount = pagesAfter;
        }
    }
    m_fromLog = std::move(committed);
}

QByteArray DatabasePages::page(quint32 number)
{
    if (number < 1 || number > m_pageCount) {
        return {};
    }
    const auto logged = m_fromLog.find(number);
    QFile& from = logged != m_fromLog.end() ? m_log : m_file;
    const qint64 at = logged != m_fromLog.end() ? logged->second : (number - 1) * m_pageSize;
    if (!from.seek(at)) {
        return {};
    }
    QByteArray bytes = from.read(m_pageSize);
    return bytes.size() == m_pageSize ? bytes : QByteArray();
}

void DatabasePages::writeMerged(const QString& target)
{
    const int fd = ::open(QFile::encodeName(target).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        throwWriteFailure(target);
    }
    try {
        m_file.seek(0);
        for (qint64 at = 0; at < m_pageCount * m_pageSize; at += kCopyBlock) {
            const QByteArray block =
                m_file.read(std::min(kCopyBlock, m_pageCount * m_pageSize - at));
            if (block.isEmpty()) {
                break; // the log holds the rest
            }
            writeAt(fd, block, at, target);
        }
        for (const auto& [number, offset] : m_fromLog) {
            const QByteArray bytes = page(number);
            if (bytes.isEmpty()) {
                throw StoreError(QStringLiteral("无法读取%1。").arg(quoted(m_log.fileName())));
            }
            writeAt(fd, bytes, (number - 1) * m_pageSize, target);
        }
        if (::ftruncate(fd, m_pageCount * m_pageSize) != 0) {
            throwWriteFailure(target);
        }
        // Rollback mode: read with no log beside it.
        writeAt(fd, QByteArrayLiteral("\x01\x01"), 18, target);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
}

} // namespace khgl
