#pragma once

#include "support/env.h"
#include "widgets/record_grid.h"

#include <QAction>
#include <QDialog>
#include <functional>

namespace khgl::test {

// Exports grid from as CSV through its menu (the encoding chosen by its place in the save
// dialog), then imports the file into grid into through its menu; preview answers the import
// preview and by default confirms it. Returns the file's path.
inline QString exportAndImport(TestEnv& source, const RecordGrid& from, TestEnv& target,
                               const RecordGrid& into, int encoding = 0,
                               std::function<int(QDialog&)> preview = {})
{
    const QString path = source.folder() + QStringLiteral("/导出.csv");
    source.dialogs.saveNext(path, encoding);
    from.findChild<QAction*>(QStringLiteral("exportCsv"))->trigger();
    target.dialogs.fileNext(path);
    target.dialogs.execNext(preview ? std::move(preview) : [](QDialog& dialog) {
        click(dialog.findChild<QWidget*>(QStringLiteral("ImportConfirm")));
        return dialog.result();
    });
    into.findChild<QAction*>(QStringLiteral("importCsv"))->trigger();
    return path;
}

} // namespace khgl::test
