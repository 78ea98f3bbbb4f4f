#pragma once

#include "shell/settings_page.h"
#include "support/controls.h"
#include "support/env.h"
#include "widgets/hover.h"
#include "widgets/page.h"

#include <QFile>
#include <QTest>

namespace khgl::test {

// The settings page with its three real sub-pages on a fresh database, as the main window
// shows it after its navigation label was clicked.
struct SettingsFixture
{
    SettingsFixture()
    {
        page.resize(905, 481);
        page.show();
        page.opened();
    }

    template <typename T = QWidget> T* child(const char* name)
    {
        return test::child<T>(&page, name);
    }

    QByteArray fileBytes(const QString& path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    TestEnv env;
    HoverFlags flags;
    HoverCommands hover{env.context.pictures};
    PageEnv pageEnv{env.context, hover, flags};
    SettingsPage page{pageEnv, nullptr};
};

} // namespace khgl::test
