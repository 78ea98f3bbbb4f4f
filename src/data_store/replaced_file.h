#pragma once

#include <QString>

class QSaveFile;

namespace khgl {

// The ending of every temporary file the program makes in the data folder (the copies of
// backups, restores and a first start): one a crash or a kill left behind is recognised by it,
// and nothing else is ever taken for one.
inline QString temporarySuffix()
{
    return QStringLiteral(".khgl-tmp");
}

// A new empty file (mode 0600) beside target, named target.XXXXXX plus the temporary ending,
// for a copy that will take target's place. Throws StoreError with a message for the operator.
QString newTemporaryBeside(const QString& target);

// Removes the temporaries of target (and their journals) that an interrupted copy left, each
// named in the log. Only by the one program that uses the folder.
void removeTemporariesOf(const QString& target);

// QSaveFile::commit reports success when the last buffered bytes could not be written (a full
// disk): the target is then replaced by a short or empty file. Flushes first, and on a failure
// keeps the old file and returns false (the file's errorString says why).
bool commitWhole(QSaveFile& file);

} // namespace khgl
