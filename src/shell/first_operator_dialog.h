#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class FirstOperatorDialog;
}

namespace khgl {

// Asks for the first operator account of a new database: all four fields are required.
class FirstOperatorDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit FirstOperatorDialog(QWidget* parent = nullptr);
    ~FirstOperatorDialog() override;

    QString name() const;
    QString password() const;
    QString question() const;
    QString answer() const;

private:
    void updateOk();

    std::unique_ptr<Ui::FirstOperatorDialog> m_ui;
};

} // namespace khgl
