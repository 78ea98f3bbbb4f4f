#pragma once

#include <QString>

class QWidget;

namespace khgl {

class Page;
struct PageEnv;

// Builds the page frame with the given object name ("Frame23", "Frame1", ...).
Page* createPage(const QString& frameName, const QString& caption, PageEnv& env, QWidget* parent);
// Builds a settings sub-page ("Frame27", "Frame29", "Frame34").
Page* createSettingsPage(const QString& frameName, const QString& caption, PageEnv& env,
                         QWidget* parent);

} // namespace khgl
