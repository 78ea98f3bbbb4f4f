#pragma once

#include "widgets/page.h"

#include <QStringList>
#include <memory>

namespace Ui {
class DataPage;
}

namespace khgl {

// The data sub-page of the settings: empties the ticked business tables, or all four
// ("格式化"). Accounts (用户表) and the remembered login (登录表) are never touched.
class DataPage final : public Page
{
    Q_OBJECT

public:
    DataPage(PageEnv& env, QWidget* parent);
    ~DataPage() override;

    void loadNormalPictures() override;

private:
    void deleteTicked();
    void format();
    QStringList tickedTables() const;
    void emptyTables(const QStringList& tables);
    void reportDone();

    std::unique_ptr<Ui::DataPage> m_ui;
};

} // namespace khgl
