#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class ImportPreview;
}

namespace khgl {

struct ImportPlan;

// Every row of a CSV file before anything is written: bad rows in red with their problems,
// the counts, and the choice to import the good rows or to cancel. Confirming only closes
// the window with accept(); the caller writes.
class ImportPreview final : public QDialog
{
    Q_OBJECT

public:
    ImportPreview(const ImportPlan& plan, const QString& fileName, QWidget* parent);
    ~ImportPreview() override;

private:
    std::unique_ptr<Ui::ImportPreview> m_ui;
};

} // namespace khgl
