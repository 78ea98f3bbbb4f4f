#include "goods/sales_page.h"

#include "goods/box_filters.h"
#include "goods/goods_grid.h"
#include "platform/app_context.h"
#include "ui_sales_page.h"
#include "widgets/hover.h"
#include "widgets/record_grid.h"

namespace khgl {

SalesPage::SalesPage(PageEnv& env, QWidget* parent)
    : GoodsEntryPage(env, parent), m_ui(std::make_unique<Ui::SalesPage>())
{
    m_ui->setupUi(this);
    // A date box keeps only a date; the other boxes close the calendar and the calculator.
    connect(m_ui->Text24, &QLineEdit::textChanged, this,
            [this] { goods::keepOnlyDate(m_ui->Text24); });
    for (ClickLineEdit* box : {m_ui->Text25, m_ui->Text26, m_ui->Text27, m_ui->Text29}) {
        onCommand(box, &ClickLineEdit::clicked, &SalesPage::closeAids);
    }
    setUp(goods::GoodsTable::Sales);
    onCommand(m_ui->Label46, &ClickLabel::clicked, &SalesPage::openDateDialog);
}

SalesPage::~SalesPage() = default;

void SalesPage::closeWindows()
{
    if (m_dateDialog) {
        m_dateDialog->close();
    }
}

void SalesPage::openDateDialog()
{
    m_context.pictures.show(m_ui->Image30, Pictures::largeNormal());
    if (!m_dateDialog) {
        m_dateDialog = new DateQueryDialog(m_context, grid(), this);
    }
    showWindowNear(m_dateDialog, m_ui->Label46, m_ui->Label46->height());
}

} // namespace khgl
